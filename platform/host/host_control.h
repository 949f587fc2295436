// The host layer's control panel, for native tests only: what the tests set up in place of the
// real platform (drives, registry, Windows version, shell folder, answers of the user), what
// they read back (calls made, messages shown, control texts, leaks), and fault injection.
//
// Faults are injected at the seam alone, as SQLite does: a chosen call fails after N calls
// that succeed, once or from then on, with the call's own error code; nothing in the
// subsystems knows about it. Every error path of the updater is reached this way.
#ifndef PLATFORM_HOST_HOST_CONTROL_H
#define PLATFORM_HOST_HOST_CONTROL_H

#include <string>
#include <vector>

#include "platform.h"

// The calls of the layer, as fault targets and in the call trace.
enum class HostCall {
    CreateFileA,
    ReadFile,
    WriteFile,
    SetFilePointer,
    GetFileSize,
    FlushFileBuffers,
    CloseHandle,
    DeleteFileA,
    MoveFileExA,
    CreateDirectoryA,
    FindFirstFileA,
    GlobalAlloc,
    CreateMutexA,
    GetVersionExA,
    RegOpenKeyExA,
    RegQueryValueExA,
    RegSetValueExA,
    DialogBoxParamA,
    MessageBoxA,
    SHGetMalloc,
    SHGetSpecialFolderLocation,
    SHGetPathFromIDListA,
    Count
};

const char* hostCallName(HostCall call);

// --- Faults -----------------------------------------------------------------------------------

enum class FaultRepeat { Once, FromThenOn };

// The next calls of `call` succeed `succeedFirst` times; then one call (Once) or every later
// call (FromThenOn) fails with `error` as its last error and its own failure result (null,
// INVALID_HANDLE_VALUE, 0, INVALID_SET_FILE_POINTER, -1, E_FAIL, or `error` itself for the
// registry calls, which return their error). A faulted call does nothing else: ReadFile and
// WriteFile report 0 bytes moved, CloseHandle leaves the handle open, DialogBoxParamA never
// calls the procedure, MessageBoxA records no message. A later hostInjectFault or
// hostInjectShortTransfer on the same call replaces the earlier one.
void hostInjectFault(HostCall call, unsigned succeedFirst, FaultRepeat repeat, DWORD error);

// ReadFile or WriteFile only: after `succeedFirst` calls, the call succeeds but moves at most
// `limit` bytes (a short read, as at an unexpected end of file, or a short write).
void hostInjectShortTransfer(HostCall call, unsigned succeedFirst, FaultRepeat repeat,
                             DWORD limit);

// Removes every fault.
void hostClearFaults();

// --- What happened ----------------------------------------------------------------------------

// Calls made since the last hostReset, in order, with their first text argument (a path, a
// value name, a message's text; MoveFileExA: the source; DialogBoxParamA: "#101" for an integer
// template id) or "" when they have none. Every call of HostCall is traced, faulted or not.
struct HostTrace {
    HostCall call;
    std::string argument;
};
const std::vector<HostTrace>& hostTrace();
// The arguments of the traced calls of one kind, in order.
std::vector<std::string> hostTraceOf(HostCall call);
unsigned hostCallCount(HostCall call);

// Message boxes shown, in order.
struct HostMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
const std::vector<HostMessageBox>& hostMessageBoxes();

// Handles, search handles, keys and global blocks still open or held: tests check that an
// operation released what it acquired.
unsigned hostOpenHandles();
unsigned hostOpenKeys();
unsigned hostLiveGlobalBlocks();
// References to the shell allocator not released, plus item lists not freed with it.
unsigned hostShellObjectsHeld();

// --- Set-up -----------------------------------------------------------------------------------

// Forgets everything above and every setting below: faults, trace, messages, scripts,
// registry, drives, version, shell folder, named mutexes. Handles still open stay valid.
void hostReset();

// Maps the drive letter of Windows paths "X:\..." to a host folder.
void hostMapDrive(char letter, const std::string& hostFolder);

// The answers MessageBoxA gives, in order; IDOK once they are used up.
void hostScriptMessageBoxAnswers(const std::vector<int>& answers);

// The WM_COMMAND wParams DialogBoxParamA delivers after WM_INITDIALOG, in order.
void hostScriptDialogCommands(const std::vector<WPARAM>& commands);
// The dialog's window while DialogBoxParamA runs (null otherwise), and the last text set on
// one of its controls ("" when none was set).
HWND hostDialogWindow();
std::string hostControlText(int controlId);

// The version GetVersionExA reports (minor version 0); after hostReset, Windows NT 6.
void hostSetWindowsVersion(DWORD platformId, DWORD majorVersion);

// The folder SHGetSpecialFolderLocation gives for CSIDL_LOCAL_APPDATA, a Windows path; empty
// means the shell has none.
void hostSetLocalAppData(const std::string& path);

// The registry store: keys under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, each with values of
// a type and bytes. A read-only key opens for KEY_READ but not for write access.
void hostRegistryCreateKey(HKEY root, const std::string& subKey, bool readOnly = false);
void hostRegistrySetValue(HKEY root, const std::string& subKey, const std::string& name,
                          DWORD type, const std::string& bytes);
bool hostRegistryKeyExists(HKEY root, const std::string& subKey);
// False when the key or value is missing; otherwise its type and bytes.
bool hostRegistryGetValue(HKEY root, const std::string& subKey, const std::string& name,
                          DWORD* type, std::string* bytes);

#endif
