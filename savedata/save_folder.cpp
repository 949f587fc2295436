#include "path_join.h"
#include "save_data.h"
#include "state.h"

static const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
static const char kProgramFilesValue[] = "ProgramFilesDir";
static const char kSaveLevel[] = "save";

// Per-user folders exist from the NT-family Windows of major version 6 on.
static int hasPerUserSaveFolders(const OSVERSIONINFOA* version)
{
    return version->dwPlatformId == VER_PLATFORM_WIN32_NT && version->dwMajorVersion >= 6;
}

// The system's program-files folder into out (MAX_PATH bytes), always terminated. A value
// that does not fit with its terminator counts as unreadable.
static int readProgramFilesDir(char* out)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD size = MAX_PATH;
    out[0] = '\0';
    LSTATUS status = RegQueryValueExA(key, kProgramFilesValue, NULL, NULL, (LPBYTE)out, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size > MAX_PATH)
        return 0;
    // The registry hands back a text value as stored, which need not end with a terminator.
    if (size > 0 && out[size - 1] == '\0')
        return 1;
    if (size >= MAX_PATH)
        return 0;
    out[size] = '\0';
    return 1;
}

static unsigned char foldAsciiLetter(char c)
{
    unsigned char byte = (unsigned char)c;
    return byte >= 'A' && byte <= 'Z' ? (unsigned char)(byte - 'A' + 'a') : byte;
}

// Whether text begins with the bytes of prefix, the ASCII letters compared without regard to
// case and every other byte exactly, one byte at a time, also within double-byte characters.
// Nothing need follow the prefix. A shorter text differs at its terminator.
static int startsWithIgnoringAsciiCase(const char* text, const char* prefix)
{
    for (int i = 0; prefix[i] != '\0'; ++i)
        if (foldAsciiLetter(text[i]) != foldAsciiLetter(prefix[i]))
            return 0;
    return 1;
}

// The per-user save folder, when the game lives in the program-files folder of a system that
// has per-user folders: its path into out and 1, after creating the two levels above it.
// 0, with nothing created, when any step of that decision fails, including a path that does
// not fit in MAX_PATH bytes.
static int choosePerUserSaveFolder(const OSVERSIONINFOA* version, const char* makerName,
                                   const char* titleFolderName, char* out)
{
    if (!hasPerUserSaveFolders(version))
        return 0;

    char programFiles[MAX_PATH];
    if (!readProgramFilesDir(programFiles) ||
        !startsWithIgnoringAsciiCase(installFolder, programFiles))
        return 0;

    char localAppData[MAX_PATH];
    if (!getSpecialFolderPath(CSIDL_LOCAL_APPDATA, localAppData))
        return 0;

    char makerFolder[MAX_PATH];
    char titleFolder[MAX_PATH];
    if (!joinPath(makerFolder, MAX_PATH, localAppData, makerName) ||
        !joinPath(titleFolder, MAX_PATH, makerFolder, titleFolderName) ||
        !joinPath(out, MAX_PATH, titleFolder, kSaveLevel))
        return 0;

    CreateDirectoryA(makerFolder, NULL);
    CreateDirectoryA(titleFolder, NULL);
    return 1;
}

static int entryExists(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return 1;
}

int prepareSaveFolder(const char* makerName, const char* titleFolderName)
{
    // A failed query fills in nothing: the record's fields are then not to be trusted, and
    // the system counts as one without per-user folders.
    OSVERSIONINFOA version;
    version.dwOSVersionInfoSize = sizeof version;
    int versionKnown = GetVersionExA(&version) != 0;

    int perUser =
        versionKnown && choosePerUserSaveFolder(&version, makerName, titleFolderName, saveFolder);
    // When even the fallback does not fit, joinPath leaves saveFolder empty: never a cut path.
    if (!perUser && !joinPath(saveFolder, MAX_PATH, installFolder, kSaveLevel))
        return 0;

    CreateDirectoryA(saveFolder, NULL);
    return entryExists(saveFolder);
}

int getSpecialFolderPath(int csidl, char* out)
{
    LPMALLOC allocator;
    if (FAILED(SHGetMalloc(&allocator)))
        return 0;

    int found = 0;
    LPITEMIDLIST list = NULL;
    if (SHGetSpecialFolderLocation(NULL, csidl, &list) == S_OK) {
        found = SHGetPathFromIDListA(list, out) ? 1 : 0;
        allocator->Free(list);
    }
    allocator->Release();
    return found;
}
