// Files and folders on the host file system, with Windows paths, share modes, the read-only
// attribute and Windows error codes.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "host_internal.h"

// Not in the seam: only this layer gives it.
static const DWORD errorNotSameDevice = 17;
static const DWORD errorTooManyOpenFiles = 4;

// --- Paths ---------------------------------------------------------------------------------

static std::map<char, std::string> drives;

void hostMapDrive(char letter, const std::string& hostFolder)
{
    if (letter >= 'a' && letter <= 'z')
        letter = (char)(letter - 'a' + 'A');
    drives[letter] = hostFolder;
}

void hostResetFiles()
{
    drives.clear();
}

// The host path of a Windows path; false for an unmapped drive.
static bool toHostPath(const char* path, std::string* host)
{
    host->clear();
    const unsigned char* p = (const unsigned char*)path;
    if (((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z') && p[1] == ':') {
        auto drive = drives.find((char)(p[0] & ~0x20));
        if (drive == drives.end())
            return false;
        *host = drive->second;
        p += 2;
        if (*p != '\\' && *p != '/')
            *host += '/';
    }
    for (; *p; ++p) {
        if (hostIsLeadByte(*p) && p[1]) {
            *host += (char)p[0];
            *host += (char)p[1];
            ++p;
        } else {
            *host += *p == '\\' ? '/' : (char)*p;
        }
    }
    return true;
}

// A missing entry: ERROR_FILE_NOT_FOUND when its folder exists, else ERROR_PATH_NOT_FOUND.
static DWORD missingError(const std::string& host)
{
    std::string folder = host;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        folder = ".";
    else
        folder.resize(slash == 0 ? 1 : slash);
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                       : ERROR_PATH_NOT_FOUND;
}

// The Windows error for a failed host call on `host`; `ioError` stands for EIO.
static DWORD errorFromErrno(int error, const std::string& host, DWORD ioError)
{
    switch (error) {
    case ENOENT: return missingError(host);
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    case EEXIST:
    case ENOTEMPTY: return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EXDEV: return errorNotSameDevice;
    case EMFILE:
    case ENFILE: return errorTooManyOpenFiles;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EIO: return ioError;
    default: return ERROR_ACCESS_DENIED;  // EACCES, EPERM, EISDIR, EROFS and the rest
    }
}

static DWORD failWith(DWORD error)
{
    SetLastError(error);
    return error;
}

// The read-only attribute: a regular file whose permission bits allow nobody to write.
static bool isReadOnly(const struct stat& info)
{
    return S_ISREG(info.st_mode) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// --- Share modes ---------------------------------------------------------------------------

// Whether an open with `access` and `share` (and delete access, for deleting or renaming)
// conflicts with a handle the layer holds on the same file.
static bool shareConflict(const struct stat& info, DWORD access, DWORD share, bool deleting)
{
    bool conflict = false;
    hostForEachFileHandle((unsigned long long)info.st_dev, (unsigned long long)info.st_ino,
                          [&](const HostHandle& held) {
                              if (((access & GENERIC_READ) && !(held.share & FILE_SHARE_READ)) ||
                                  ((access & GENERIC_WRITE) && !(held.share & FILE_SHARE_WRITE)) ||
                                  (deleting && !(held.share & FILE_SHARE_DELETE)) ||
                                  ((held.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
                                  ((held.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)))
                                  conflict = true;
                          });
    return conflict;
}

static bool isHeld(const struct stat& info)
{
    bool held = false;
    hostForEachFileHandle((unsigned long long)info.st_dev, (unsigned long long)info.st_ino,
                          [&](const HostHandle&) { held = true; });
    return held;
}

// --- Opening and closing -------------------------------------------------------------------

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                          DWORD creation, DWORD, HANDLE)
{
    if (hostEnterCall(HostCall::CreateFileA, path).fails)
        return INVALID_HANDLE_VALUE;
    std::string host;
    if (!path || !*path || !toHostPath(path, &host)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING ||
        (creation == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    struct stat info;
    bool exists = stat(host.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        failWith(errorFromErrno(errno, host, ERROR_READ_FAULT));
        return INVALID_HANDLE_VALUE;
    }
    bool truncates = creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING;
    if (exists) {
        if (S_ISDIR(info.st_mode)) {
            SetLastError(creation == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (creation == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        if (isReadOnly(info) && ((access & GENERIC_WRITE) || truncates)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (shareConflict(info, access, share, false)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    } else if (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING) {
        SetLastError(missingError(host));
        return INVALID_HANDLE_VALUE;
    }

    int flags = O_CLOEXEC | ((access & GENERIC_WRITE) || truncates ? O_RDWR : O_RDONLY);
    if (!exists)
        flags |= O_CREAT | (creation == CREATE_NEW ? O_EXCL : 0);
    int fd = open(host.c_str(), flags, 0666);
    if (fd < 0) {
        failWith(errorFromErrno(errno, host, ERROR_READ_FAULT));
        return INVALID_HANDLE_VALUE;
    }
    fstat(fd, &info);
    if (truncates && exists && S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0) {
        DWORD error = errorFromErrno(errno, host, ERROR_WRITE_FAULT);
        close(fd);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HostHandle handle = {HostHandleKind::File, fd, access & (GENERIC_READ | GENERIC_WRITE), share,
                         (unsigned long long)info.st_dev, (unsigned long long)info.st_ino, 0};
    HANDLE result = hostAddHandle(handle);
    SetLastError(exists && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return result;
}

// --- Reading and writing -------------------------------------------------------------------

static HostHandle* fileWithAccess(HANDLE file, DWORD access)
{
    HostHandle* handle = hostFindHandle(file, HostHandleKind::File);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!(handle->access & access)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return handle;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED)
{
    if (read)
        *read = 0;
    HostCallEntry entry = hostEnterCall(HostCall::ReadFile, nullptr);
    if (entry.fails)
        return FALSE;
    HostHandle* handle = fileWithAccess(file, GENERIC_READ);
    if (!handle)
        return FALSE;
    if (count > entry.limit)
        count = entry.limit;
    DWORD done = 0;
    while (done < count) {
        ssize_t got = ::read(handle->fd, (char*)buffer + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            if (read)
                *read = done;
            SetLastError(errorFromErrno(errno, "", ERROR_READ_FAULT));
            return FALSE;
        }
        if (got == 0)
            break;
        done += (DWORD)got;
    }
    if (read)
        *read = done;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED)
{
    if (written)
        *written = 0;
    HostCallEntry entry = hostEnterCall(HostCall::WriteFile, nullptr);
    if (entry.fails)
        return FALSE;
    HostHandle* handle = fileWithAccess(file, GENERIC_WRITE);
    if (!handle)
        return FALSE;
    if (count > entry.limit)
        count = entry.limit;
    DWORD done = 0;
    while (done < count) {
        ssize_t put = ::write(handle->fd, (const char*)buffer + done, count - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (written)
                *written = done;
            SetLastError(put < 0 ? errorFromErrno(errno, "", ERROR_WRITE_FAULT)
                                 : ERROR_WRITE_FAULT);
            return FALSE;
        }
        done += (DWORD)put;
    }
    if (written)
        *written = done;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method)
{
    if (hostEnterCall(HostCall::SetFilePointer, nullptr).fails)
        return INVALID_SET_FILE_POINTER;
    HostHandle* handle = hostFindHandle(file, HostHandleKind::File);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    long long move = distanceHigh ? (long long)(((unsigned long long)(DWORD)*distanceHigh << 32) |
                                                (DWORD)distance)
                                  : (long long)distance;
    long long base;
    struct stat info;
    if (method == FILE_BEGIN)
        base = 0;
    else if (method == FILE_CURRENT)
        base = (long long)lseek(handle->fd, 0, SEEK_CUR);
    else if (method == FILE_END && fstat(handle->fd, &info) == 0)
        base = (long long)info.st_size;
    else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    long long position = base + move;
    if (position < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!distanceHigh && position > 0xFFFFFFFFll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(handle->fd, (off_t)position, SEEK_SET) < 0) {
        SetLastError(errorFromErrno(errno, "", ERROR_READ_FAULT));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = (LONG)(position >> 32);
    // The low part alone may equal INVALID_SET_FILE_POINTER: a success then has error 0.
    if ((DWORD)position == INVALID_SET_FILE_POINTER)
        SetLastError(ERROR_SUCCESS);
    return (DWORD)position;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    if (hostEnterCall(HostCall::GetFileSize, nullptr).fails)
        return INVALID_FILE_SIZE;
    HostHandle* handle = hostFindHandle(file, HostHandleKind::File);
    struct stat info;
    if (!handle || fstat(handle->fd, &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    unsigned long long size = (unsigned long long)info.st_size;
    if (sizeHigh)
        *sizeHigh = (DWORD)(size >> 32);
    if ((DWORD)size == INVALID_FILE_SIZE)
        SetLastError(ERROR_SUCCESS);
    return (DWORD)size;
}

BOOL WINAPI FlushFileBuffers(HANDLE file)
{
    if (hostEnterCall(HostCall::FlushFileBuffers, nullptr).fails)
        return FALSE;
    HostHandle* handle = fileWithAccess(file, GENERIC_WRITE);
    if (!handle)
        return FALSE;
    if (fsync(handle->fd) != 0 && errno != EINVAL) {  // EINVAL: a device that keeps no data
        SetLastError(errorFromErrno(errno, "", ERROR_WRITE_FAULT));
        return FALSE;
    }
    return TRUE;
}

// --- Names ---------------------------------------------------------------------------------

BOOL WINAPI DeleteFileA(LPCSTR path)
{
    if (hostEnterCall(HostCall::DeleteFileA, path).fails)
        return FALSE;
    std::string host;
    if (!path || !*path || !toHostPath(path, &host)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat info;
    if (lstat(host.c_str(), &info) != 0) {
        SetLastError(errorFromErrno(errno, host, ERROR_WRITE_FAULT));
        return FALSE;
    }
    if (S_ISDIR(info.st_mode) || isReadOnly(info)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (shareConflict(info, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (unlink(host.c_str()) != 0) {
        SetLastError(errorFromErrno(errno, host, ERROR_WRITE_FAULT));
        return FALSE;
    }
    return TRUE;
}

// Makes a rename durable: the folder that holds the new name is written through.
static void syncFolderOf(const std::string& host)
{
    size_t slash = host.rfind('/');
    std::string folder = slash == std::string::npos ? "." : host.substr(0, slash ? slash : 1);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (hostEnterCall(HostCall::MoveFileExA, from).fails)
        return FALSE;
    std::string hostFrom, hostTo;
    if (!from || !*from || !to || !*to || !toHostPath(from, &hostFrom) ||
        !toHostPath(to, &hostTo)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat source, target;
    if (lstat(hostFrom.c_str(), &source) != 0) {
        SetLastError(errorFromErrno(errno, hostFrom, ERROR_WRITE_FAULT));
        return FALSE;
    }
    if (shareConflict(source, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (lstat(hostTo.c_str(), &target) == 0 &&
        !(source.st_dev == target.st_dev && source.st_ino == target.st_ino)) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        // An open file is never replaced, whatever its share mode.
        if (S_ISDIR(target.st_mode) || isReadOnly(target) || isHeld(target)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    if (rename(hostFrom.c_str(), hostTo.c_str()) != 0) {
        SetLastError(errorFromErrno(errno, hostTo, ERROR_WRITE_FAULT));
        return FALSE;
    }
    if (flags & MOVEFILE_WRITE_THROUGH)
        syncFolderOf(hostTo);
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES)
{
    if (hostEnterCall(HostCall::CreateDirectoryA, path).fails)
        return FALSE;
    std::string host;
    if (!path || !*path || !toHostPath(path, &host)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (mkdir(host.c_str(), 0777) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                     : errorFromErrno(errno, host, ERROR_WRITE_FAULT));
        return FALSE;
    }
    return TRUE;
}

// --- Searching -----------------------------------------------------------------------------

static FILETIME fileTimeOf(const struct timespec& time)
{
    // 100-nanosecond intervals since 1601-01-01.
    unsigned long long ticks =
        ((unsigned long long)time.tv_sec + 11644473600ull) * 10000000ull +
        (unsigned long long)time.tv_nsec / 100;
    return FILETIME{(DWORD)ticks, (DWORD)(ticks >> 32)};
}

// The last element of a Windows path: after its last backslash that is no second byte.
static const char* lastElement(const char* path)
{
    const char* element = path;
    for (const char* p = path; *p; ++p) {
        if (hostIsLeadByte((unsigned char)*p) && p[1])
            ++p;
        else if (*p == '\\' || *p == ':')
            element = p + 1;
    }
    return element;
}

HANDLE WINAPI FindFirstFileA(LPCSTR path, LPWIN32_FIND_DATAA data)
{
    if (hostEnterCall(HostCall::FindFirstFileA, path).fails)
        return INVALID_HANDLE_VALUE;
    std::string host;
    if (!path || !*path || !toHostPath(path, &host)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const char* name = lastElement(path);
    struct stat info;
    // A path that ends in a backslash names no entry, as on Windows.
    if (*name == '\0') {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (stat(host.c_str(), &info) != 0) {
        SetLastError(errorFromErrno(errno, host, ERROR_READ_FAULT));
        return INVALID_HANDLE_VALUE;
    }
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                             : isReadOnly(info)    ? FILE_ATTRIBUTE_READONLY
                                                   : FILE_ATTRIBUTE_NORMAL;
    data->ftCreationTime = fileTimeOf(info.st_ctim);
    data->ftLastAccessTime = fileTimeOf(info.st_atim);
    data->ftLastWriteTime = fileTimeOf(info.st_mtim);
    if (!S_ISDIR(info.st_mode)) {
        data->nFileSizeHigh = (DWORD)((unsigned long long)info.st_size >> 32);
        data->nFileSizeLow = (DWORD)info.st_size;
    }
    std::strncpy(data->cFileName, name, MAX_PATH - 1);
    HostHandle handle = {HostHandleKind::Search, -1, 0, 0, 0, 0, 0};
    return hostAddHandle(handle);
}

BOOL WINAPI FindClose(HANDLE search)
{
    if (!hostFindHandle(search, HostHandleKind::Search)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    hostRemoveHandle(search);
    return TRUE;
}
