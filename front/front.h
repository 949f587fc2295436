// The updater's entry point and its one dialog.
#ifndef FRONT_FRONT_H
#define FRONT_FRONT_H

#include "platform.h"

// Runs the whole update once: takes the single-instance mutex (ending silently when another
// updater holds it), reads the installation record, asks before re-applying, runs the update
// dialog from `instance`'s template IDD_UPDATE and records version 1010 when the dialog
// reports a completed update. The other arguments are not read. Returns 0 on every path: the
// process's exit code. On Windows the start-up code calls it; natively the tests do.
extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                              int showCommand);

// The update dialog's procedure. WM_INITDIALOG shows installedVersion and installFolder;
// WM_COMMAND with wParam exactly IDOK runs the apply sequence, reports its outcome and ends
// the dialog with 1 (applied) or 0 (a payload file could not be written); wParam exactly
// IDCANCEL (Exit, Escape, the close box) ends it with 0. Returns 0 for every message.
INT_PTR CALLBACK UpdateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
