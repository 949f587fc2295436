// The scripted dialog, control texts, message boxes, mutex names and the shell folder of the
// host layer.
#include <gtest/gtest.h>

#include "host_control.h"

namespace {

class ScriptedUi : public ::testing::Test {
protected:
    void SetUp() override { hostReset(); }
    void TearDown() override { hostReset(); }
};

// What the dialog procedure saw, and how it answers: command 1 ends with 1, command 2 with
// 0, others are ignored.
std::vector<std::string> seen;

INT_PTR CALLBACK recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    EXPECT_EQ(dialog, hostDialogWindow());
    if (message == WM_INITDIALOG) {
        seen.push_back("init " + std::to_string(lParam));
        SetWindowTextA(GetDlgItem(dialog, 1000), "1.000");
        SetWindowTextA(GetDlgItem(dialog, 1001), "C:\\Game");
    } else if (message == WM_COMMAND) {
        seen.push_back("command " + std::to_string(wParam));
        if (wParam == IDOK || wParam == IDCANCEL) {
            MessageBoxA(dialog, "inside", "caption", MB_OK);
            EndDialog(dialog, wParam == IDOK ? 1 : 0);
        }
    }
    return 0;
}

TEST_F(ScriptedUi, DialogRunsTheScriptUntilEndDialog)
{
    struct Case {
        const char* label;
        std::vector<WPARAM> script;
        INT_PTR result;
        std::vector<std::string> seen;
    } cases[] = {
        {"apply", {IDOK, IDCANCEL}, 1, {"init 7", "command 1"}},
        {"a notification, then exit", {MAKEWPARAM(IDOK, 1), IDCANCEL}, 0,
         {"init 7", "command 65537", "command 2"}},
        {"the script ends first", {1000}, -1, {"init 7", "command 1000"}},
        {"no script", {}, -1, {"init 7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        hostReset();
        seen.clear();
        hostScriptDialogCommands(c.script);
        EXPECT_EQ(DialogBoxParamA(NULL, MAKEINTRESOURCEA(101), NULL, recordingProc, 7), c.result);
        EXPECT_EQ(seen, c.seen);
        EXPECT_EQ(hostDialogWindow(), nullptr) << "no dialog after the run";
        EXPECT_EQ(hostControlText(1000), "1.000");
        EXPECT_EQ(hostControlText(1001), "C:\\Game");
        EXPECT_EQ(hostControlText(1002), "");
        EXPECT_EQ(hostTraceOf(HostCall::DialogBoxParamA), std::vector<std::string>{"#101"});
    }
    EXPECT_FALSE(EndDialog((HWND)(ULONG_PTR)0x1234, 1)) << "no dialog runs";
}

TEST_F(ScriptedUi, MessageBoxesAreRecordedAndAnsweredAsScripted)
{
    hostScriptMessageBoxAnswers({IDCANCEL, IDOK});
    EXPECT_EQ(MessageBoxA(NULL, "question", "caption", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, "second", "caption", MB_OKCANCEL), IDOK);
    EXPECT_EQ(MessageBoxA((HWND)(ULONG_PTR)0x40, "third", "エラー", MB_OK), IDOK)
        << "IDOK once the answers are used up";
    const std::vector<HostMessageBox>& shown = hostMessageBoxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "question");
    EXPECT_EQ(shown[0].type, (UINT)MB_OKCANCEL);
    EXPECT_EQ(shown[2].owner, (HWND)(ULONG_PTR)0x40);
    EXPECT_EQ(shown[2].caption, "エラー");
    EXPECT_EQ(shown[2].type, (UINT)MB_OK);

    seen.clear();
    hostScriptDialogCommands({IDCANCEL});
    DialogBoxParamA(NULL, MAKEINTRESOURCEA(101), NULL, recordingProc, 0);
    ASSERT_EQ(hostMessageBoxes().size(), 4u);
    EXPECT_NE(hostMessageBoxes()[3].owner, nullptr) << "owned by the dialog while it runs";
}

TEST_F(ScriptedUi, MutexNamesLiveUntilTheLastHandleOrAReset)
{
    HANDLE first = CreateMutexA(NULL, TRUE, "QXUPDATE Ver1.31");
    ASSERT_NE(first, nullptr);
    hostReset();
    SetLastError(0xdeadbeef);
    HANDLE second = CreateMutexA(NULL, TRUE, "QXUPDATE Ver1.31");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS) << "a reset forgets the names";
    HANDLE third = CreateMutexA(NULL, TRUE, "QXUPDATE Ver1.31");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(first)) << "a handle from before the reset stays valid";
    EXPECT_TRUE(CloseHandle(second));
    CreateMutexA(NULL, TRUE, "QXUPDATE Ver1.31");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << "the old handle freed no name";
    EXPECT_TRUE(CloseHandle(third));
}

TEST_F(ScriptedUi, ShellGivesTheLocalAppDataFolder)
{
    LPMALLOC allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    LPITEMIDLIST list = nullptr;
    EXPECT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_LOCAL_APPDATA, &list), E_FAIL)
        << "no folder set";

    hostSetLocalAppData("C:\\Users\\player\\AppData\\Local");
    EXPECT_EQ(SHGetSpecialFolderLocation(NULL, 0x001a, &list), E_FAIL) << "another folder";
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_LOCAL_APPDATA, &list), S_OK);
    char path[MAX_PATH] = {};
    EXPECT_TRUE(SHGetPathFromIDListA(list, path));
    EXPECT_STREQ(path, "C:\\Users\\player\\AppData\\Local");
    EXPECT_EQ(hostShellObjectsHeld(), 2u) << "the allocator and the list";
    allocator->Free(list);
    allocator->Release();
    EXPECT_EQ(hostShellObjectsHeld(), 0u);
}

TEST_F(ScriptedUi, WindowsVersionAsSet)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_EQ(sizeof info, 148u);
    EXPECT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 6u);

    hostSetWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, 4);
    EXPECT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(info.dwMajorVersion, 4u);

    info.dwOSVersionInfoSize = 100;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
