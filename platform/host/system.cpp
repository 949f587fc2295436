// The last error, Sleep, named mutexes within the process, and the reported Windows version.
#include <time.h>

#include <cstring>

#include "host_internal.h"

static DWORD lastError;

DWORD WINAPI GetLastError(void)
{
    return lastError;
}

void WINAPI SetLastError(DWORD error)
{
    lastError = error;
}

void WINAPI Sleep(DWORD milliseconds)
{
    timespec pause;
    pause.tv_sec = milliseconds / 1000;
    pause.tv_nsec = (long)(milliseconds % 1000) * 1000000L;
    while (nanosleep(&pause, &pause) != 0) {
    }
}

// --- Named mutexes ---------------------------------------------------------------------------

// Each name held by open handles; the id tells a handle opened before hostReset from one of
// the same name opened after it.
struct MutexName {
    unsigned long id;
    unsigned handles;
};
static std::map<std::string, MutexName> mutexNames;
static unsigned long nextMutexId = 1;

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR name)
{
    if (hostEnterCall(HostCall::CreateMutexA, name).fails)
        return nullptr;
    HostHandle handle = {HostHandleKind::Mutex, -1, 0, 0, 0, 0, 0};
    DWORD error = ERROR_SUCCESS;
    if (name && *name) {
        auto found = mutexNames.find(name);
        if (found != mutexNames.end()) {
            error = ERROR_ALREADY_EXISTS;
            ++found->second.handles;
            handle.mutexId = found->second.id;
        } else {
            handle.mutexId = nextMutexId++;
            mutexNames[name] = MutexName{handle.mutexId, 1};
        }
    }
    HANDLE result = hostAddHandle(handle);
    SetLastError(error);
    return result;
}

void hostReleaseMutexName(unsigned long mutexId)
{
    for (auto it = mutexNames.begin(); it != mutexNames.end(); ++it) {
        if (it->second.id == mutexId) {
            if (--it->second.handles == 0)
                mutexNames.erase(it);
            return;
        }
    }
}

// --- Version ---------------------------------------------------------------------------------

static DWORD versionPlatformId = VER_PLATFORM_WIN32_NT;
static DWORD versionMajor = 6;

void hostSetWindowsVersion(DWORD platformId, DWORD majorVersion)
{
    versionPlatformId = platformId;
    versionMajor = majorVersion;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    if (hostEnterCall(HostCall::GetVersionExA, nullptr).fails)
        return FALSE;
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = versionMajor;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 0;
    info->dwPlatformId = versionPlatformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

void hostResetSystem()
{
    lastError = ERROR_SUCCESS;
    mutexNames.clear();
    versionPlatformId = VER_PLATFORM_WIN32_NT;
    versionMajor = 6;
}
