#include <cstdlib>

#include "file_replace.h"
#include "path_join.h"
#include "save_data.h"
#include "state.h"

static const char kInstallIniName[] = "Install.ini";
static const char kSaveEntry[] = "save=";

int writeTextFile(const char* path, const char* text)
{
    return replaceFileContents(path, text, (DWORD)lstrlenA(text));
}

int writeInstallIni(void)
{
    // The path and the text are held in storage sized to them, from the general allocator.
    int pathSize = lstrlenA(installFolder) + 1 + lstrlenA(kInstallIniName) + 1;
    char* path = (char*)malloc(pathSize);
    if (path == NULL)
        return 0;
    joinPath(path, pathSize, installFolder, kInstallIniName);

    char* text = (char*)malloc(lstrlenA(kSaveEntry) + lstrlenA(saveFolder) + 1);
    if (text == NULL) {
        free(path);
        return 0;
    }
    wsprintfA(text, "save=%s", saveFolder);

    int written = writeTextFile(path, text);
    free(text);
    free(path);
    return written;
}
