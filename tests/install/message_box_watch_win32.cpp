#include "message_box_watch.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>

// A message box's text is the static control of this id.
static const int kMessageTextId = 0xFFFF;

struct MessageBoxWatch::State {
    std::atomic<bool> stop{false};
    mutable std::mutex lock;
    std::vector<ShownMessageBox> shown;
    std::thread watcher;
};

static BOOL CALLBACK findOwnMessageBox(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char windowClass[16] = "";
    GetClassNameA(window, windowClass, sizeof windowClass);
    if (process == GetCurrentProcessId() && lstrcmpA(windowClass, "#32770") == 0 &&
        IsWindowVisible(window) && GetDlgItem(window, kMessageTextId) != NULL) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

static void watch(MessageBoxWatch::State* state)
{
    while (!state->stop) {
        HWND box = NULL;
        EnumWindows(findOwnMessageBox, (LPARAM)&box);
        if (box == NULL) {
            Sleep(20);
            continue;
        }
        char caption[256] = "", text[1024] = "";
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, kMessageTextId, text, sizeof text);
        {
            std::lock_guard<std::mutex> guard(state->lock);
            state->shown.push_back({caption, text});
        }
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        while (IsWindow(box) && !state->stop)
            Sleep(20);
    }
}

MessageBoxWatch::MessageBoxWatch() : state_(new State)
{
    state_->watcher = std::thread(watch, state_);
}

MessageBoxWatch::~MessageBoxWatch()
{
    state_->stop = true;
    state_->watcher.join();
    delete state_;
}

std::vector<ShownMessageBox> MessageBoxWatch::shown() const
{
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->shown;
}
