// The platform seam on Windows: the real system headers. platform/host/platform.h declares
// the same names for other hosts, with the contract the updater relies on for each call.
#ifndef PLATFORM_WIN32_PLATFORM_H
#define PLATFORM_WIN32_PLATFORM_H

#include <windows.h>
#include <shlobj.h>

#endif
