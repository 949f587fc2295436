// uidriver: plays the player at the updater's windows, from another process under the same
// Wine (or Windows) session, and reports what it sees in UTF-8, one fact a line, fields
// separated by tabs, texts escaped by escapedForLine.
//
//   uidriver.exe [--timeout SECONDS] STEP...
//
//   hold PATH          open PATH for reading and writing without sharing, as a running game
//                      holds its program file, until the driver ends   -> held PATH
//   dialog CAPTION     wait for the dialog of that caption that is not a message box
//                      -> dialog CAPTION, then one line a control: control ID CLASS TEXT
//   click ID           post BM_CLICK to the dialog's control ID           -> clicked ID
//   escape             post the Escape key to the dialog's focused control -> escaped
//   close              post WM_CLOSE to the dialog                         -> closed
//   closebox           post the caption's close box (SC_CLOSE) to the dialog -> closebox
//   msgbox OK|Cancel   wait for a message box not seen before, report it, press the button
//                      -> msgbox CAPTION TEXT, owner dialog|none|other, buttons ID,...,
//                         icon yes|no, answered OK|Cancel
//   gone               wait until the dialog is destroyed                  -> gone
//   rect               the dialog's place on the screen, caption and frame included
//                      -> rect LEFT TOP WIDTH HEIGHT
//   mutex NAME         whether a named mutex exists, found by creating it and closing it
//                      at once                                   -> mutex NAME exists|new
//   windows            every visible dialog-class window of other processes
//                      -> window dialog|msgbox CAPTION (none: no line), then windows N
//   sleep MS           wait MS milliseconds
//
// Every wait ends after the timeout (default 20 s). On a failed step the driver prints
// "error", the step and why, and exits with 1; otherwise it exits with 0. A held file is
// released when the driver exits.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "ui_windows.h"
#include "utf8_text.h"

namespace {

DWORD timeoutMs = 20000;
HWND dialog = nullptr;
std::vector<HWND> answeredBoxes;
std::vector<HANDLE> heldFiles;

void printLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += '\t';
        line += fields[i];
    }
    line += '\n';
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

int fail(const std::string& step, const std::string& why) {
    printLine({"error", step, why});
    return 0;
}

HWND findDialog(const void* caption) {
    for (HWND window : visibleDialogWindows()) {
        if (!isMessageBox(window) &&
            windowTextUtf8(window) == *static_cast<const std::string*>(caption)) {
            return window;
        }
    }
    return nullptr;
}

HWND findNewMessageBox(const void*) {
    for (HWND window : visibleDialogWindows()) {
        bool answered = false;
        for (HWND old : answeredBoxes) answered = answered || old == window;
        if (!answered && isMessageBox(window)) return window;
    }
    return nullptr;
}

void printControls(HWND window) {
    for (HWND child : childWindows(window)) {
        printLine({"control", std::to_string((long long)GetWindowLongPtrA(child, GWLP_ID)),
                   windowClass(child), escapedForLine(windowTextUtf8(child))});
    }
}

int stepHold(const std::string& path) {
    HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return fail("hold", "cannot open " + path + " (error " +
                                std::to_string(GetLastError()) + ")");
    }
    heldFiles.push_back(file);
    printLine({"held", escapedForLine(path)});
    return 1;
}

int stepDialog(const std::string& caption) {
    dialog = waitForWindow(findDialog, &caption, timeoutMs);
    if (!dialog) return fail("dialog", "no dialog with the caption " + caption);
    printLine({"dialog", escapedForLine(windowTextUtf8(dialog))});
    printControls(dialog);
    return 1;
}

int stepClick(const std::string& idText) {
    if (!dialog) return fail("click", "no dialog found before");
    HWND button = GetDlgItem(dialog, atoi(idText.c_str()));
    if (!button) return fail("click", "the dialog has no control " + idText);
    PostMessageA(button, BM_CLICK, 0, 0);
    printLine({"clicked", idText});
    return 1;
}

int stepEscape() {
    if (!dialog) return fail("escape", "no dialog found before");
    // The key goes where a key press would: to the control that has the focus. The dialog's
    // message loop turns Escape into the Cancel command.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus) {
        target = info.hwndFocus;
    }
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    printLine({"escaped"});
    return 1;
}

int stepPost(const char* name, UINT message, WPARAM wParam) {
    if (!dialog) return fail(name, "no dialog found before");
    PostMessageA(dialog, message, wParam, 0);
    printLine({name});
    return 1;
}

std::string buttonIds(HWND box) {
    std::string ids;
    for (HWND child : childWindows(box)) {
        if (windowClass(child) != "Button" || !IsWindowVisible(child)) continue;
        if (!ids.empty()) ids += ',';
        ids += std::to_string((long long)GetWindowLongPtrA(child, GWLP_ID));
    }
    return ids;
}

// An icon shows when an icon static holds an image: the platform may keep an empty one in
// a box without an icon.
bool hasIcon(HWND box) {
    for (HWND child : childWindows(box)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (windowClass(child) != "Static" || (style & SS_TYPEMASK) != SS_ICON) continue;
        DWORD_PTR icon = 0;
        SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
        if (icon && IsWindowVisible(child)) return true;
    }
    return false;
}

int stepMessageBox(const std::string& answer) {
    int buttonId = answer == "OK" ? IDOK : answer == "Cancel" ? IDCANCEL : 0;
    if (!buttonId) return fail("msgbox", "the answer must be OK or Cancel, not " + answer);
    HWND box = waitForWindow(findNewMessageBox, nullptr, timeoutMs);
    if (!box) return fail("msgbox", "no message box appeared");
    answeredBoxes.push_back(box);

    HWND textControl = nullptr;
    for (HWND child : childWindows(box)) {
        if (GetWindowLongPtrA(child, GWLP_ID) == kMessageTextId) textControl = child;
    }
    printLine({"msgbox", escapedForLine(windowTextUtf8(box)),
               escapedForLine(windowTextUtf8(textControl))});
    HWND owner = GetWindow(box, GW_OWNER);
    printLine({"owner", !owner ? "none" : owner == dialog ? "dialog" : "other"});
    printLine({"buttons", buttonIds(box)});
    printLine({"icon", hasIcon(box) ? "yes" : "no"});

    HWND button = GetDlgItem(box, buttonId);
    if (!button || !IsWindowVisible(button)) return fail("msgbox", "no button " + answer);
    PostMessageA(button, BM_CLICK, 0, 0);
    if (!waitUntilGone(box, timeoutMs)) return fail("msgbox", "the box stayed after " + answer);
    printLine({"answered", answer});
    return 1;
}

int stepGone() {
    if (!dialog) return fail("gone", "no dialog found before");
    if (!waitUntilGone(dialog, timeoutMs)) return fail("gone", "the dialog is still there");
    printLine({"gone"});
    return 1;
}

int stepRect() {
    RECT rect;
    if (!dialog || !GetWindowRect(dialog, &rect)) return fail("rect", "no dialog found before");
    printLine({"rect", std::to_string(rect.left), std::to_string(rect.top),
               std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top)});
    return 1;
}

int stepMutex(const std::string& name) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wideFromUtf8(name).c_str());
    DWORD error = GetLastError();
    if (!mutex) return fail("mutex", "cannot create " + name + " (error " + std::to_string(error) + ")");
    CloseHandle(mutex);
    printLine({"mutex", escapedForLine(name), error == ERROR_ALREADY_EXISTS ? "exists" : "new"});
    return 1;
}

int stepWindows() {
    std::vector<HWND> windows = visibleDialogWindows();
    for (HWND window : windows) {
        printLine({"window", isMessageBox(window) ? "msgbox" : "dialog",
                   escapedForLine(windowTextUtf8(window))});
    }
    printLine({"windows", std::to_string(windows.size())});
    return 1;
}

// Runs the step at args[i] and moves i past it and its argument; 0 when it failed.
int runStep(const std::vector<std::string>& args, size_t& i) {
    const std::string step = args[i++];
    auto argument = [&](std::string* value) {
        if (i >= args.size()) return false;
        *value = args[i++];
        return true;
    };
    std::string value;
    if (step == "escape") return stepEscape();
    if (step == "close") return stepPost("closed", WM_CLOSE, 0);
    if (step == "closebox") return stepPost("closebox", WM_SYSCOMMAND, SC_CLOSE);
    if (step == "gone") return stepGone();
    if (step == "windows") return stepWindows();
    if (step == "rect") return stepRect();
    if (!argument(&value)) return fail(step, "unknown step, or its argument is missing");
    if (step == "hold") return stepHold(value);
    if (step == "dialog") return stepDialog(value);
    if (step == "click") return stepClick(value);
    if (step == "msgbox") return stepMessageBox(value);
    if (step == "mutex") return stepMutex(value);
    if (step == "sleep") {
        Sleep((DWORD)atoi(value.c_str()));
        return 1;
    }
    if (step == "--timeout") {
        timeoutMs = (DWORD)atoi(value.c_str()) * 1000;
        return 1;
    }
    return fail(step, "unknown step");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The lines are UTF-8 and end with a bare line feed, whatever the console's code page.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(utf8FromWide(argv[i]));
    int ok = 1;
    for (size_t i = 0; ok && i < args.size();) ok = runStep(args, i);
    for (HANDLE file : heldFiles) CloseHandle(file);
    return ok ? 0 : 1;
}
