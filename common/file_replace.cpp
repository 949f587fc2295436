#include "file_replace.h"

static int targetAcceptsOverwrite(const char* path)
{
    HANDLE probe = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (probe == NULL || probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    CloseHandle(probe);
    return 1;
}

static int writeWhole(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, NULL))
        return 0;
    if (written != size) {
        SetLastError(ERROR_WRITE_FAULT);
        return 0;
    }
    return FlushFileBuffers(file) != 0;
}

int replaceFileContents(const char* path, const void* data, DWORD size)
{
    if (!targetAcceptsOverwrite(path))
        return 0;

    char staging[MAX_PATH];
    int length = lstrlenA(path);
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (int i = 0; i <= length; ++i)
        staging[i] = path[i];
    staging[length - 1] = staging[length - 1] == '~' ? '#' : '~';

    HANDLE file = CreateFileA(staging, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == NULL || file == INVALID_HANDLE_VALUE)
        return 0;

    int written = writeWhole(file, data, size);
    CloseHandle(file);
    if (written && MoveFileExA(staging, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;

    DWORD error = GetLastError();
    DeleteFileA(staging);
    SetLastError(error);
    return 0;
}
