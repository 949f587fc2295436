// The one handle table of the layer: files, mutexes and searches, and CloseHandle.
#include <unistd.h>

#include "host_internal.h"

static std::map<ULONG_PTR, HostHandle> handles;
// Like Windows handles, multiples of 4; never 0 or INVALID_HANDLE_VALUE, and never reused.
static ULONG_PTR nextHandleValue = 0x1000;

HANDLE hostAddHandle(const HostHandle& handle)
{
    ULONG_PTR value = nextHandleValue;
    nextHandleValue += 4;
    handles[value] = handle;
    return (HANDLE)value;
}

HostHandle* hostFindHandle(HANDLE handle, HostHandleKind kind)
{
    auto found = handles.find((ULONG_PTR)handle);
    if (found == handles.end() || found->second.kind != kind)
        return nullptr;
    return &found->second;
}

void hostRemoveHandle(HANDLE handle)
{
    handles.erase((ULONG_PTR)handle);
}

const std::map<ULONG_PTR, HostHandle>& hostHandleTable()
{
    return handles;
}

unsigned hostOpenHandles()
{
    return (unsigned)handles.size();
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    if (hostEnterCall(HostCall::CloseHandle, nullptr).fails)
        return FALSE;
    auto found = handles.find((ULONG_PTR)object);
    if (found == handles.end() || found->second.kind == HostHandleKind::Search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    HostHandle closing = found->second;
    handles.erase(found);
    if (closing.kind == HostHandleKind::File)
        close(closing.fd);
    else
        hostReleaseMutexName(closing.mutexId);
    return TRUE;
}
