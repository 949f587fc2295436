// The control panel's engine: fault injection, the call trace, counters and hostReset.
#include "host_internal.h"

static const char* const callNames[] = {
    "CreateFileA",      "ReadFile",         "WriteFile",
    "SetFilePointer",   "GetFileSize",      "FlushFileBuffers",
    "CloseHandle",      "DeleteFileA",      "MoveFileExA",
    "CreateDirectoryA", "FindFirstFileA",   "GlobalAlloc",
    "CreateMutexA",     "GetVersionExA",    "RegOpenKeyExA",
    "RegQueryValueExA", "RegSetValueExA",   "DialogBoxParamA",
    "MessageBoxA",      "SHGetMalloc",      "SHGetSpecialFolderLocation",
    "SHGetPathFromIDListA",
};
static_assert(sizeof callNames / sizeof callNames[0] == (size_t)HostCall::Count,
              "every call has a name");

const char* hostCallName(HostCall call)
{
    return (size_t)call < (size_t)HostCall::Count ? callNames[(size_t)call] : "?";
}

// --- Faults --------------------------------------------------------------------------------

struct Fault {
    bool armed;
    bool shortTransfer;  // otherwise the call fails
    unsigned succeedFirst;
    FaultRepeat repeat;
    DWORD errorOrLimit;
};
static Fault faults[(size_t)HostCall::Count];

void hostInjectFault(HostCall call, unsigned succeedFirst, FaultRepeat repeat, DWORD error)
{
    faults[(size_t)call] = Fault{true, false, succeedFirst, repeat, error};
}

void hostInjectShortTransfer(HostCall call, unsigned succeedFirst, FaultRepeat repeat,
                             DWORD limit)
{
    faults[(size_t)call] = Fault{true, true, succeedFirst, repeat, limit};
}

void hostClearFaults()
{
    for (Fault& fault : faults)
        fault = Fault{};
}

// --- Trace ---------------------------------------------------------------------------------

static std::vector<HostTrace> trace;

HostCallEntry hostEnterCall(HostCall call, const char* argument)
{
    trace.push_back(HostTrace{call, argument ? argument : ""});
    HostCallEntry entry = {false, ~0u};
    Fault& fault = faults[(size_t)call];
    if (!fault.armed)
        return entry;
    if (fault.succeedFirst > 0) {
        --fault.succeedFirst;
        return entry;
    }
    if (fault.repeat == FaultRepeat::Once)
        fault.armed = false;
    if (fault.shortTransfer) {
        entry.limit = fault.errorOrLimit;
    } else {
        entry.fails = true;
        SetLastError(fault.errorOrLimit);
    }
    return entry;
}

const std::vector<HostTrace>& hostTrace()
{
    return trace;
}

std::vector<std::string> hostTraceOf(HostCall call)
{
    std::vector<std::string> arguments;
    for (const HostTrace& entry : trace)
        if (entry.call == call)
            arguments.push_back(entry.argument);
    return arguments;
}

unsigned hostCallCount(HostCall call)
{
    unsigned count = 0;
    for (const HostTrace& entry : trace)
        if (entry.call == call)
            ++count;
    return count;
}

// --- Counters and reset ----------------------------------------------------------------------

unsigned hostOpenKeys()
{
    return hostRegistryOpenKeyCount();
}

void hostReset()
{
    hostClearFaults();
    trace.clear();
    hostResetFiles();
    hostResetSystem();
    hostResetRegistry();
    hostResetUi();
    hostResetShell();
}
