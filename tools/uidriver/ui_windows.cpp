#include "ui_windows.h"

namespace {

BOOL CALLBACK collectChild(HWND child, LPARAM list) {
    std::vector<HWND>* children = reinterpret_cast<std::vector<HWND>*>(list);
    // EnumChildWindows walks grandchildren too; only the dialog's own controls count.
    if (GetParent(child) == children->front()) children->push_back(child);
    return TRUE;
}

BOOL CALLBACK collectDialog(HWND window, LPARAM list) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() && IsWindowVisible(window) &&
        windowClass(window) == "#32770") {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    }
    return TRUE;
}

}  // namespace

std::string windowClass(HWND window) {
    char name[256];
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

std::vector<HWND> childWindows(HWND parent) {
    // The first element carries the parent into the callback and is dropped afterwards.
    std::vector<HWND> children(1, parent);
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&children));
    children.erase(children.begin());
    return children;
}

bool isMessageBox(HWND window) {
    for (HWND child : childWindows(window)) {
        if (GetWindowLongPtrA(child, GWLP_ID) == kMessageTextId &&
            windowClass(child) == "Static") {
            return true;
        }
    }
    return false;
}

std::vector<HWND> visibleDialogWindows() {
    std::vector<HWND> windows;
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND waitForWindow(HWND (*found)(const void* context), const void* context, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = found(context);
        if (window) return window;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(20);
    }
}

bool waitUntilGone(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(20);
    }
    return true;
}
