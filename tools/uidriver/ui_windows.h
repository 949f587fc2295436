// Finding the updater's windows from another process: its dialog and its message boxes,
// both top-level windows of the dialog class "#32770".
#ifndef UIDRIVER_UI_WINDOWS_H
#define UIDRIVER_UI_WINDOWS_H

#include <windows.h>

#include <string>
#include <vector>

// The control id of a message box's text, as the platform's message box gives it.
const LONG_PTR kMessageTextId = 0xFFFF;

std::string windowClass(HWND window);

// The direct child windows, in the order of the dialog template (the creation order).
std::vector<HWND> childWindows(HWND parent);

// A dialog-class window with a static of id 0xFFFF: the platform's message box.
bool isMessageBox(HWND window);

// Every visible top-level dialog-class window of another process.
std::vector<HWND> visibleDialogWindows();

// Polls every 20 ms until `found` returns a window or `timeoutMs` has passed; null then.
HWND waitForWindow(HWND (*found)(const void* context), const void* context, DWORD timeoutMs);

// Polls until `window` is destroyed; false when it still exists after `timeoutMs`.
bool waitUntilGone(HWND window, DWORD timeoutMs);

#endif
