// What the files of the host layer share among themselves: the fault and trace engine that
// every traced call passes through, the handle table, and each part's reset.
#ifndef PLATFORM_HOST_HOST_INTERNAL_H
#define PLATFORM_HOST_HOST_INTERNAL_H

#include <map>
#include <string>

#include "host_control.h"

// --- Entry of a traced call (control.cpp) --------------------------------------------------------

// What the fault engine decided for one call.
struct HostCallEntry {
    bool fails;   // the call must fail at once: its last error is already set
    DWORD limit;  // ReadFile/WriteFile: the most bytes the call may move (~0u: no limit)
};

// Every call of HostCall starts here: it is traced with its first text argument (null: ""),
// and an injected fault is counted and applied.
HostCallEntry hostEnterCall(HostCall call, const char* argument);

// --- Handles (handles.cpp) -----------------------------------------------------------------------

enum class HostHandleKind { File, Mutex, Search };

// One open handle of the layer. Handle values are never reused within a process, so a handle
// used after its close is always found invalid.
struct HostHandle {
    HostHandleKind kind;
    int fd;                            // File: the host descriptor; otherwise -1
    DWORD access;                      // File: GENERIC_READ and/or GENERIC_WRITE
    DWORD share;                       // File: FILE_SHARE_*
    unsigned long long device, inode;  // File: the host file it holds
    unsigned long mutexId;             // Mutex: its entry in the name table (0: unnamed)
};

HANDLE hostAddHandle(const HostHandle& handle);
// The open handle of this kind; null when there is none.
HostHandle* hostFindHandle(HANDLE handle, HostHandleKind kind);
// Forgets the handle (without closing a descriptor).
void hostRemoveHandle(HANDLE handle);
// The open handles by value.
const std::map<ULONG_PTR, HostHandle>& hostHandleTable();

// Calls visit for every open file handle on this host file.
template <typename Visit>
void hostForEachFileHandle(unsigned long long device, unsigned long long inode, Visit visit)
{
    for (const auto& entry : hostHandleTable())
        if (entry.second.kind == HostHandleKind::File && entry.second.device == device &&
            entry.second.inode == inode)
            visit(entry.second);
}

// A mutex handle's hold on its name ends (system.cpp).
void hostReleaseMutexName(unsigned long mutexId);

// --- Each part's state, for hostReset and the counters -------------------------------------------

void hostResetFiles();     // drive mapping
void hostResetSystem();    // last error, version, named mutexes
void hostResetRegistry();  // the store (open keys stay open)
void hostResetUi();        // scripts, messages, control texts
void hostResetShell();     // the local application-data folder

unsigned hostRegistryOpenKeyCount();

// --- Strings (strings.cpp) -----------------------------------------------------------------------

// A lead byte of a double-byte character in code page 932.
bool hostIsLeadByte(unsigned char byte);
// The text with its ASCII letters in lower case; second bytes of double-byte characters stay.
std::string hostFoldAsciiCase(const std::string& text);

#endif
