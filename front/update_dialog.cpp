#include "apply_payload.h"
#include "front.h"
#include "resource.h"
#include "save_data.h"
#include "state.h"
#include "texts.h"

static const char kCompletionMessage[] = "更新は完了しました。";
static const char kApplyFailureMessage[] =
    "更新ファイル書き込みに失敗しました。ゲームが起動されている場合は、終了してから再度実行して"
    "下さい。";

// What prepareSaveFolder is told: the maker and the game's folder under it.
static const char kMakerName[] = "Quelm";
static const char kTitleFolderName[] = "ぴこぺこらんど！";

// The version text: the whole thousands, a point and the last three digits. The codes the
// updater knows have one digit of thousands ("1.010"); larger ones keep all of theirs
// ("4294967.295"), so the buffer holds the largest code.
enum { kVersionTextSize = sizeof "4294967.295" };

static void formatVersion(VersionCode code, char* text)
{
    char thousands[10];
    int count = 0;
    VersionCode rest = code / 1000;
    do {
        thousands[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (count > 0) {
        *text++ = thousands[--count];
    }
    *text++ = '.';
    *text++ = static_cast<char>('0' + code % 1000 / 100);
    *text++ = static_cast<char>('0' + code % 100 / 10);
    *text++ = static_cast<char>('0' + code % 10);
    *text = 0;
}

static void showInstallation(HWND dialog)
{
    char version[kVersionTextSize];
    formatVersion(installedVersion, version);
    SetWindowTextA(GetDlgItem(dialog, IDC_VERSION), version);
    SetWindowTextA(GetDlgItem(dialog, IDC_FOLDER), installFolder);
}

// Runs once per dialog: whatever its outcome, the dialog ends right after it. The save data
// are touched only when every payload file was written; their steps report nothing.
static void applyUpdate(HWND dialog)
{
    if (!applyPayloadFiles(dialog, installFolder)) {
        MessageBoxA(dialog, kApplyFailureMessage, UPDATER_CAPTION, MB_OK);
        EndDialog(dialog, 0);
        return;
    }
    resetSaveData();
    if (prepareSaveFolder(kMakerName, kTitleFolderName)) {
        writeInstallIni();
    }
    MessageBoxA(dialog, kCompletionMessage, UPDATER_CAPTION, MB_OK);
    EndDialog(dialog, 1);
}

// The whole wParam is compared: a command counts only with notification code 0 (BN_CLICKED).
// Escape and the close box arrive as IDCANCEL. Returning 0 leaves the focus and everything
// else to the platform's default dialog handling.
INT_PTR CALLBACK UpdateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        showInstallation(dialog);
        break;
    case WM_COMMAND:
        switch (wParam) {
        case IDOK:
            applyUpdate(dialog);
            break;
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        }
        break;
    }
    return 0;
}
