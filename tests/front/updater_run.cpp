#include "updater_run.h"

#include <cstdio>

#include "front.h"

static const char* const kPayloadNames[] = {"pkadv.exe", "Archive.dat", "Instdata.pak"};
static const char* const kSaveFiles[] = {"syssave.dat", "qsave.sav", "save000.sav",
                                         "thumb999.gra"};

std::string shownMessage(const char* owner, const char* caption, UINT type, const char* text)
{
    return std::string(owner) + " | " + caption + " | " + std::to_string(type) + " | " + text;
}

std::string notInstalledMessage()
{
    return shownMessage("none", CAPTION, MB_OK,
                        "『ぴこぺこらんど』がインストールされていません。インストールが終了してから"
                        "再度アップデートを行って下さいませ。");
}

std::string reapplyQuestion()
{
    return shownMessage("none", CAPTION, MB_OKCANCEL,
                        "既にこのパッチは適用済みです。\x0A更に上書きで適用しますか？");
}

std::string registryErrorMessage()
{
    return shownMessage("none", CAPTION, MB_OK, "レジストリエラー");
}

std::string completionMessage()
{
    return shownMessage("dialog", CAPTION, MB_OK, "更新は完了しました。");
}

std::string applyFailureMessage()
{
    return shownMessage("dialog", CAPTION, MB_OK,
                        "更新ファイル書き込みに失敗しました。ゲームが起動されている場合は、終了"
                        "してから再度実行して下さい。");
}

std::string writeErrorMessage(const char* sourceName)
{
    return shownMessage("dialog", "エラー", MB_OK,
                        (std::string("ファイルが書き込めません。[") + sourceName + "]").c_str());
}

std::string le32(DWORD value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// The window the layer gives a running dialog, learnt from a dialog of our own.
static HWND learnDialogWindow()
{
    static HWND window;
    hostScriptDialogCommands({});
    DialogBoxParamA(nullptr, MAKEINTRESOURCE(1), nullptr,
                    [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
                        if (message == WM_INITDIALOG) {
                            window = dialog;
                            EndDialog(dialog, 0);
                        }
                        return 0;
                    },
                    0);
    return window;
}

void UpdaterRun::SetUp()
{
    hostReset();
    dialogWindow = learnDialogWindow();
    hostReset();
    // An NT system of major version 5: the save folder is the install folder's "save".
    hostSetWindowsVersion(VER_PLATFORM_WIN32_NT, 5);
    for (const char* name : kPayloadNames) {
        writeFile(game / name, oldContentsOf(name));
        writeFile(delivery / name, payloadOf(name));
    }
    makeFolder(game / "save");
    DeleteFileA((game / "Install.ini").c_str());
    for (const char* name : kSaveFiles)
        writeFile(savePath(name), "old save");
}

std::string UpdaterRun::savePath(const char* name) const
{
    return game / (std::string("save\\") + name);
}

void UpdaterRun::expectSaveDataDeleted() const
{
    for (const char* name : kSaveFiles)
        EXPECT_FALSE(fileExists(savePath(name))) << name;
}

void UpdaterRun::TearDown()
{
    EXPECT_EQ(hostOpenHandles(), 0u) << "handles left open";
    EXPECT_EQ(hostOpenKeys(), 0u) << "registry keys left open";
    EXPECT_EQ(hostLiveGlobalBlocks(), 0u) << "global blocks left allocated";
    hostReset();
}

void UpdaterRun::setRecordValue(const std::string& name, DWORD type, const std::string& bytes)
{
    hostRegistrySetValue(HKEY_CURRENT_USER, RECORD_KEY, name, type, bytes);
}

void UpdaterRun::recordGameFolder()
{
    setRecordValue("InstallFolder", REG_SZ, game.path() + std::string(1, '\0'));
}

void UpdaterRun::run(const std::vector<int>& answers, const std::vector<WPARAM>& commands)
{
    hostScriptMessageBoxAnswers(answers);
    hostScriptDialogCommands(commands);
    CurrentDirectory inDelivery(delivery.path());
    char commandLine[] = "";
    size_t before = hostTrace().size();
    EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, 1), 0)
        << "exit code";
    runTrace.assign(hostTrace().begin() + before, hostTrace().end());
}

std::vector<std::string> UpdaterRun::messagesShown() const
{
    std::vector<std::string> shown;
    for (const HostMessageBox& box : hostMessageBoxes()) {
        const char* owner = box.owner == nullptr ? "none"
                            : box.owner == dialogWindow ? "dialog"
                                                        : "other";
        shown.push_back(shownMessage(owner, box.caption.c_str(), box.type, box.text.c_str()));
    }
    return shown;
}

std::string UpdaterRun::recordedVersion() const
{
    DWORD type = 0;
    std::string bytes;
    if (!hostRegistryGetValue(HKEY_CURRENT_USER, RECORD_KEY, "Version", &type, &bytes))
        return "absent";
    std::string text = "type " + std::to_string(type) + ":";
    for (unsigned char byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        text += hex;
    }
    return text;
}

std::string UpdaterRun::payloadOf(const char* name) const
{
    return "new " + std::string(name) + " " + patternBytes(300, name[0]);
}

std::string UpdaterRun::oldContentsOf(const char* name) const
{
    // Longer than the payload, so that a write that does not replace the file shows.
    return "old " + std::string(name) + " " + patternBytes(500, name[1]);
}

void UpdaterRun::expectGameFilesUntouched() const
{
    for (const char* name : kPayloadNames)
        EXPECT_EQ(fileContents(game / name), oldContentsOf(name)) << name;
    EXPECT_FALSE(fileExists(game / "Install.ini"));
}

void UpdaterRun::expectGameFilesUpdated() const
{
    for (const char* name : kPayloadNames)
        EXPECT_EQ(fileContents(game / name), payloadOf(name)) << name;
}

void UpdaterRun::expectSaveDataUntouched() const
{
    for (const char* name : kSaveFiles)
        EXPECT_TRUE(fileExists(savePath(name))) << name;
}
