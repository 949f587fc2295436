#include "front.h"
#include "install_record.h"
#include "resource.h"
#include "state.h"
#include "texts.h"

// Marks a running updater; nobody waits on it.
static const char kMutexName[] = "QXUPDATE Ver1.31";

static const char kNotInstalledMessage[] =
    "『ぴこぺこらんど』がインストールされていません。インストールが終了してから再度アップデート"
    "を行って下さいませ。";
static const char kReapplyQuestion[] = "既にこのパッチは適用済みです。\n更に上書きで適用しますか？";
static const char kRegistryErrorMessage[] = "レジストリエラー";

// Closes the mutex when there is one. It is not released first: closing the last handle
// frees the name.
static void closeMutex(HANDLE mutex)
{
    if (mutex != NULL) {
        CloseHandle(mutex);
    }
}

static int endNotInstalled(HANDLE mutex)
{
    MessageBoxA(NULL, kNotInstalledMessage, UPDATER_CAPTION, MB_OK);
    closeMutex(mutex);
    return 0;
}

// The dialog has reported a completed update: the key is opened afresh, since it is not held
// while the dialog runs.
static void recordCompletedUpdate(void)
{
    HKEY key;
    if (!openInstallRecord(&key)) {
        MessageBoxA(NULL, kRegistryErrorMessage, UPDATER_CAPTION, MB_OK);
        return;
    }
    recordThisUpdate(key);
    RegCloseKey(key);
}

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HANDLE mutex = CreateMutexA(NULL, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Our handle to the other updater's mutex: closing it leaves theirs alone.
        closeMutex(mutex);
        return 0;
    }
    // A mutex that cannot be created at all does not stop the run.

    HKEY key;
    if (!openInstallRecord(&key)) {
        return endNotInstalled(mutex);
    }
    if (!readInstallFolder(key)) {
        RegCloseKey(key);
        return endNotInstalled(mutex);
    }
    if (readInstalledVersion(key) && installedVersion >= kVersionOfThisUpdate) {
        if (MessageBoxA(NULL, kReapplyQuestion, UPDATER_CAPTION, MB_OKCANCEL) == IDCANCEL) {
            RegCloseKey(key);
            closeMutex(mutex);
            return 0;
        }
    }
    RegCloseKey(key);

    // -1 (the dialog could not be created) and 0 both leave nothing to record.
    if (DialogBoxParamA(instance, MAKEINTRESOURCE(IDD_UPDATE), NULL, UpdateDialogProc, 0) == 1) {
        recordCompletedUpdate();
    }
    closeMutex(mutex);
    return 0;
}
