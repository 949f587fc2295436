#include "apply_payload.h"

#include "file_replace.h"
#include "path_join.h"
#include "payload_stream.h"

#define WRITE_ERROR_TEXT "ファイルが書き込めません。[%s]"
#define WRITE_ERROR_CAPTION "エラー"

static void releaseBuffer(void* buffer)
{
    GlobalFree(GlobalHandle(buffer));
}

// Obtains the whole payload `name` in a zero-filled buffer of *size bytes, to be released by
// releaseBuffer. Null when it cannot be had whole: no loose file and no archive member, no
// memory for the buffer, or a read that failed or ended short.
static void* readWholePayload(const char* name, DWORD* size)
{
    PayloadStream* stream = openPayload(name, UPDATE_ARCHIVE_NAME);
    if (!stream)
        return NULL;
    *size = payloadSize(stream);
    void* buffer = GlobalAlloc(GMEM_ZEROINIT, *size);
    if (!buffer) {
        closePayload(stream);
        return NULL;
    }
    int read = readPayload(stream, buffer);
    int whole = waitPayload(stream);
    closePayload(stream);
    if (!read || !whole) {
        releaseBuffer(buffer);
        return NULL;
    }
    return buffer;
}

// Writes one payload over its target. A payload that cannot be had whole is a failure like a
// failed write: writing the rest and recording the new version over an old file would report
// success for an update that did not happen.
static int applyPayloadFile(const char* installFolder, const char* sourceName,
                            const char* targetName)
{
    char targetPath[MAX_PATH];
    if (!joinPath(targetPath, sizeof targetPath, installFolder, targetName))
        return 0;
    DWORD size = 0;
    void* buffer = readWholePayload(sourceName, &size);
    if (!buffer)
        return 0;
    int written = replaceFileContents(targetPath, buffer, size);
    releaseBuffer(buffer);
    return written;
}

int applyPayloadFiles(HWND owner, const char* installFolder)
{
    for (int i = 0; payloadSourceNames[i] != NULL; ++i) {
        if (!applyPayloadFile(installFolder, payloadSourceNames[i], payloadTargetNames[i])) {
            char text[MAX_PATH];
            wsprintfA(text, WRITE_ERROR_TEXT, payloadSourceNames[i]);
            MessageBoxA(owner, text, WRITE_ERROR_CAPTION, MB_OK);
            return 0;
        }
    }
    return 1;
}
