// The platform seam, as the updater sees it when it is not built for Windows.
//
// Every subsystem includes "platform.h" and nothing else of the platform. The Windows build
// finds platform/win32/platform.h first, which is the real <windows.h> and <shlobj.h>; every
// other build finds this file, and platform/host/*.cpp provide the calls below on POSIX.
// The subsystems therefore hold no platform #ifdef.
//
// This header declares only the Win32 names, types and constants the updater uses. Each call
// carries the contract the updater relies on; the host layer keeps that contract, and the
// layer's conformance test (tests/platform) holds it against the real platform under Wine.
//
// Paths. The updater builds Windows paths: bytes in code page 932, joined with backslashes
// ("%s\%s"), never normalised. The host layer maps such a path onto the host file system as
// follows, and nothing else:
//   - every backslash byte becomes '/', except a second byte of a double-byte character
//     (a lead byte is 0x81-0x9F or 0xE0-0xFC), which stays as it is;
//   - a leading drive "X:" is replaced by the host folder the tests mapped to that letter
//     with hostMapDrive(); an unmapped drive is a missing path (ERROR_PATH_NOT_FOUND);
//   - so "\tmp\game\pkadv.exe" is /tmp/game/pkadv.exe, and a relative name resolves against
//     the process's current directory, as on Windows.
// Names are compared as the host compares them (case-sensitively on Linux).
//
// Errors. A failing call sets the thread's last error (GetLastError) to the Win32 code that
// Windows gives for the same condition; the codes used are defined below.
#ifndef PLATFORM_HOST_PLATFORM_H
#define PLATFORM_HOST_PLATFORM_H

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef size_t SIZE_T;
typedef LONG HRESULT;
typedef LONG LSTATUS;
typedef DWORD REGSAM;

typedef void* HANDLE;
typedef void* HGLOBAL;
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
struct OVERLAPPED;
typedef OVERLAPPED* LPOVERLAPPED;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

// Last-error codes.
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L

// ---------------------------------------------------------------------------------------------
// Files and folders
// ---------------------------------------------------------------------------------------------

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

// Opens or creates a file. access: GENERIC_READ and/or GENERIC_WRITE. share: which of
// FILE_SHARE_READ/WRITE/DELETE later openers may have while this handle is open. The share
// rule holds between all handles of this process that the layer opened, as between
// processes on Windows: an open fails with ERROR_SHARING_VIOLATION when its access is not
// allowed by an existing handle's share mode, or an existing handle's access is not allowed
// by its share mode. creation: CREATE_NEW, CREATE_ALWAYS (creates or empties; last error
// ERROR_ALREADY_EXISTS when it existed), OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING.
// A file whose host permission bits allow no writing stands for a read-only file: opening it
// for GENERIC_WRITE fails with ERROR_ACCESS_DENIED, also for root. A folder cannot be opened
// (ERROR_ACCESS_DENIED). A missing file gives ERROR_FILE_NOT_FOUND, a missing folder on the
// way ERROR_PATH_NOT_FOUND. Returns INVALID_HANDLE_VALUE on failure. The handle is at
// position 0. flags: FILE_ATTRIBUTE_NORMAL, optionally with FILE_FLAG_SEQUENTIAL_SCAN (a hint).
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD creation, DWORD flags, HANDLE templateFile);

// Synchronous read of up to count bytes from the current position (no overlapped record).
// *read is set to the bytes delivered (fewer at the end of the file, 0 at or past it) and the
// position advances by them. Returns non-zero on success; 0 with the last error set on
// failure (ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED for a handle without GENERIC_READ).
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED ov);

// Synchronous write of count bytes at the current position (no overlapped record); *written
// is set to the bytes written. Returns non-zero on success; 0 with the last error on failure
// (ERROR_DISK_FULL when the device is full, ERROR_ACCESS_DENIED without GENERIC_WRITE).
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written,
                      LPOVERLAPPED ov);

// Moves the position by a signed 32-bit distance from FILE_BEGIN, FILE_CURRENT or FILE_END.
// distanceHigh must be null here: then a new position that is negative (ERROR_NEGATIVE_SEEK)
// or beyond 32 bits (ERROR_INVALID_PARAMETER) fails. Returns the new position, or
// INVALID_SET_FILE_POINTER with the last error set.
DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);

// The file's length; only the low 32 bits when sizeHigh is null. INVALID_FILE_SIZE on failure.
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);

// Writes the file's data through to the device. Non-zero on success.
BOOL WINAPI FlushFileBuffers(HANDLE file);

// Closes a file, mutex or any other handle of the layer (not a search handle: FindClose).
// With the last handle of a named mutex gone, the name is free again.
BOOL WINAPI CloseHandle(HANDLE object);

// Deletes a file. Fails with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND when it is missing,
// ERROR_ACCESS_DENIED for a read-only file or a folder, ERROR_SHARING_VIOLATION while a handle
// without FILE_SHARE_DELETE holds it.
BOOL WINAPI DeleteFileA(LPCSTR path);

// Renames a file in one step. With MOVEFILE_REPLACE_EXISTING an existing target file is
// replaced atomically: at every moment the target name holds either the old or the new file.
// Fails with ERROR_ACCESS_DENIED when the target is read-only, a folder, or held open by any
// handle (even one that shares deleting); with ERROR_SHARING_VIOLATION when the source is held
// by a handle without FILE_SHARE_DELETE; with ERROR_ALREADY_EXISTS when the target exists and
// replacing was not asked for. MOVEFILE_WRITE_THROUGH: returns only once the rename is on the
// device.
BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);

// Creates one folder level. ERROR_ALREADY_EXISTS when an entry of that name exists (folder or
// file); ERROR_PATH_NOT_FOUND when the parent is missing. Non-zero on success.
BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES sa);

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAA* LPWIN32_FIND_DATAA;

// Searches for an entry of exactly this path (the host layer takes no wildcards). Returns a
// search handle and fills *data (attributes, size, name) when a file or folder of that path
// exists; INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND otherwise.
HANDLE WINAPI FindFirstFileA(LPCSTR path, LPWIN32_FIND_DATAA data);

// Ends a search that FindFirstFileA started.
BOOL WINAPI FindClose(HANDLE search);

// ---------------------------------------------------------------------------------------------
// Memory and strings
// ---------------------------------------------------------------------------------------------

#define GMEM_FIXED 0x0000u
#define GMEM_ZEROINIT 0x0040u

// GMEM_FIXED memory: the handle is usable as a pointer. With GMEM_ZEROINIT the block is
// zero-filled. A request for 0 bytes still yields a block. Null with ERROR_NOT_ENOUGH_MEMORY
// when the memory cannot be had; the host layer refuses any block over 1 GiB, which a 32-bit
// process could not have either.
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
// The handle of a block, given the pointer GlobalAlloc yielded.
HGLOBAL WINAPI GlobalHandle(LPCVOID pointer);
// Releases a block; returns null on success.
HGLOBAL WINAPI GlobalFree(HGLOBAL block);

// Length in bytes, without the terminator.
int WINAPI lstrlenA(LPCSTR text);
// 0 when both NUL-terminated strings are equal apart from the case of ASCII letters;
// otherwise negative or positive as the first differing byte orders them.
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
// Formats into out, which must hold the result: %s (a NUL-terminated string) and %% only.
// As on Windows, at most 1024 bytes including the terminator are written; the result is the
// number of bytes stored, without the terminator (the result of a text cut at 1024 bytes is
// not to be relied on: Windows implementations differ).
int wsprintfA(LPSTR out, LPCSTR format, ...);

// ---------------------------------------------------------------------------------------------
// Process, time and errors
// ---------------------------------------------------------------------------------------------

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);

// Suspends the calling thread for the given milliseconds.
void WINAPI Sleep(DWORD milliseconds);

// Creates the named mutex, owned by the caller when initialOwner is TRUE, or opens it when
// the name exists already; then the last error is ERROR_ALREADY_EXISTS, otherwise 0. Names
// live in this process only; between processes they are proven under Wine. Null on failure.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name);

#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
typedef OSVERSIONINFOA* LPOSVERSIONINFOA;

// Fills the record with the version the tests set (hostSetWindowsVersion). Fails with
// ERROR_INSUFFICIENT_BUFFER unless dwOSVersionInfoSize is 148.
#define ERROR_INSUFFICIENT_BUFFER 122L
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);

// ---------------------------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------------------------

#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002u)
#define KEY_READ 0x00020019u
#define KEY_ALL_ACCESS 0x000F003Fu
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_BINARY 3u
#define REG_DWORD 4u

// Opens an existing key; never creates one. Returns ERROR_SUCCESS and the key, or
// ERROR_FILE_NOT_FOUND when it is missing, ERROR_ACCESS_DENIED when a write access is asked
// of a key that may only be read.
LSTATUS WINAPI RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access,
                             PHKEY result);
// Copies a value's data into data when it fits in *size bytes, sets *size to the data's
// length and *type (when asked) to its type, and returns ERROR_SUCCESS. A missing value gives
// ERROR_FILE_NOT_FOUND; data longer than *size gives ERROR_MORE_DATA with *size set to the
// length needed and nothing guaranteed of data (the host layer copies the bytes that fit).
LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD size);
// Creates or replaces a value with the given type and bytes. ERROR_ACCESS_DENIED when the
// key was not opened for writing.
LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type,
                              const BYTE* data, DWORD size);
LSTATUS WINAPI RegCloseKey(HKEY key);

// ---------------------------------------------------------------------------------------------
// User interface
// ---------------------------------------------------------------------------------------------

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define IDOK 1
#define IDCANCEL 2
#define WM_CLOSE 0x0010u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define BN_CLICKED 0
#define MAKEINTRESOURCEA(id) ((LPSTR)(ULONG_PTR)(WORD)(id))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define LOWORD(value) ((WORD)(((DWORD_PTR)(value)) & 0xffff))
#define HIWORD(value) ((WORD)((((DWORD_PTR)(value)) >> 16) & 0xffff))
#define MAKEWPARAM(low, high) ((WPARAM)(DWORD)(((WORD)(low)) | (((DWORD)((WORD)(high))) << 16)))
typedef ULONG_PTR DWORD_PTR;

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

// Runs a modal dialog: the host layer calls proc with WM_INITDIALOG (lParam = param), then
// delivers the WM_COMMAND messages the test scripted (hostScriptDialogCommands), one at a
// time, until the procedure calls EndDialog; returns the value given to EndDialog. Returns -1
// when the dialog cannot be created (a fault injected on DialogBoxParamA) or the script ends
// before EndDialog.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC proc, LPARAM param);
// Ends the modal dialog once the current message has been handled.
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
// The window of the dialog's control with this id; null when there is none.
HWND WINAPI GetDlgItem(HWND dialog, int id);
// Replaces a window's text; the host layer records it (hostControlText).
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
// Shows a modal message without an icon; the host layer records owner, text, caption and type
// (hostMessageBoxes) and answers as the test scripted (hostScriptMessageBoxAnswers), IDOK when
// nothing is scripted.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---------------------------------------------------------------------------------------------
// Shell
// ---------------------------------------------------------------------------------------------

#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define CSIDL_LOCAL_APPDATA 0x001c

struct ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;

// The shell's allocator: only the two methods the updater calls.
struct IMalloc {
    virtual void STDMETHODCALLTYPE Free(void* block) = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IMalloc() = default;
};
typedef IMalloc* LPMALLOC;

// The shell allocator. S_OK, or a negative result on failure.
HRESULT WINAPI SHGetMalloc(LPMALLOC* malloc);
// The item list of a special folder (the host layer knows CSIDL_LOCAL_APPDATA, set by the
// tests with hostSetLocalAppData). S_OK and a list to release with IMalloc::Free, or a
// failure result (E_FAIL for an unknown or unset folder).
HRESULT WINAPI SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);
// The file-system path of an item list into path (MAX_PATH bytes); non-zero on success.
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);

#endif
