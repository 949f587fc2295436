#include "apply_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive_format.h"
#include "front.h"

#define RECORD_KEY "Software\\Quelm\\PikopekoLand"
#define CAPTION "ぴこぺこらんど アップデート Ver 1.01"

const char* const kGameFiles[3] = {"pkadv.exe", "Archive.dat", "Instdata.pak"};
static const char* const kSaveFiles[] = {"syssave.dat", "qsave.gra", "save000.sav",
                                         "thumb999.gra"};
static const char kOldInstallIni[] = "save=C:\\old place";

static std::string hostPathOf(const std::string& windowsPath, const std::string& base)
{
    std::string path = windowsPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path.empty() || path[0] == '/' ? path : base + "/" + path;
}

// The files are read straight from the host file system, past the layer: a handle that a
// failed close left open must not hide what the file holds.
static std::string hostContents(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static bool hostExists(const std::string& hostPath)
{
    std::error_code ignored;
    return std::filesystem::exists(hostPath, ignored);
}

static std::string asText(const std::string& windowsPath)
{
    return windowsPath + std::string(1, '\0');
}

ApplyScene::ApplyScene(const std::string& installFolder)
    : delivery(root / "Delivery"),
      programFiles(root / "Program Files"),
      localAppData(root / "AppData"),
      game(installFolder.empty() ? programFiles + "\\Quelm\\Game" : installFolder)
{
    hostReset();
    for (const std::string& folder : {delivery, programFiles, programFiles + "\\Quelm",
                                      localAppData})
        makeFolder(folder);
    CurrentDirectory inDelivery(delivery);
    // Every level of the install folder, deepest last.
    for (size_t end = game.find('\\', 1); end != std::string::npos; end = game.find('\\', end + 1))
        CreateDirectoryA(game.substr(0, end).c_str(), NULL);
    makeFolder(game);
    makeFolder(game + "\\save");

    writeFile(delivery + "\\pkadv.exe", payloadOf(0));
    std::string archive, error;
    EXPECT_TRUE(packArchive({{"Archive.dat", payloadOf(1)}, {"Instdata.pak", payloadOf(2)}},
                            kWideSlotWidth, &archive, &error))
        << error;
    writeFile(delivery + "\\UpdateData.dat", archive);
    for (int i = 0; i < 3; ++i)
        writeFile(game + "\\" + kGameFiles[i], oldContentsOf(i));
    for (const char* name : kSaveFiles)
        writeFile(game + "\\save\\" + name, "old save");
    writeFile(game + "\\Install.ini", kOldInstallIni);

    hostRegistrySetValue(HKEY_CURRENT_USER, RECORD_KEY, "InstallFolder", REG_SZ, asText(game));
    hostRegistrySetValue(HKEY_CURRENT_USER, RECORD_KEY, "Version", REG_BINARY,
                         std::string("\xE8\x03\x00\x00", 4));
    hostRegistrySetValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir", REG_SZ, asText(programFiles));
    hostSetWindowsVersion(VER_PLATFORM_WIN32_NT, 6);
    hostSetLocalAppData(localAppData);
    handlesBefore = hostOpenHandles();
}

std::vector<HostTrace> ApplyScene::runApply()
{
    hostScriptDialogCommands({IDOK});
    CurrentDirectory inDelivery(delivery);
    size_t before = hostTrace().size();
    char commandLine[] = "";
    EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, 1), 0)
        << "exit code";
    return std::vector<HostTrace>(hostTrace().begin() + before, hostTrace().end());
}

std::string ApplyScene::payloadOf(int file) const
{
    return "new " + std::string(kGameFiles[file]) + " " + patternBytes(700 + 300 * file, file);
}

std::string ApplyScene::oldContentsOf(int file) const
{
    // Longer than the payload, so that a write that does not replace the file shows.
    return "old " + std::string(kGameFiles[file]) + " " + patternBytes(2000, 10 + file);
}

std::string ApplyScene::perUserSaveFolder() const
{
    return localAppData + "\\Quelm\\ぴこぺこらんど！\\save";
}

// --- The checks ---------------------------------------------------------------------------

static std::string messageLine(const HostMessageBox& box)
{
    const char* owner = box.owner == nullptr ? "none" : "dialog";
    return std::string(owner) + " | " + box.caption + " | " + std::to_string(box.type) + " | " +
           box.text;
}

static std::string line(const char* owner, const char* caption, const std::string& text)
{
    return std::string(owner) + " | " + caption + " | 0 | " + text;
}

static const std::string kCompletion = line("dialog", CAPTION, "更新は完了しました。");
static const std::string kApplyFailure =
    line("dialog", CAPTION,
         "更新ファイル書き込みに失敗しました。ゲームが起動されている場合は、終了してから再度実行"
         "して下さい。");
static const std::string kRegistryError = line("none", CAPTION, "レジストリエラー");
static const std::string kNotInstalled =
    line("none", CAPTION,
         "『ぴこぺこらんど』がインストールされていません。インストールが終了してから再度アップデー"
         "トを行って下さいませ。");

static std::string writeError(const char* name)
{
    return line("dialog", "エラー", std::string("ファイルが書き込めません。[") + name + "]");
}

// Whether `shown` is `expected`, or (when a message box itself was made to fail, so that it
// never showed) `expected` without one of its messages.
static bool sameMessages(const std::vector<std::string>& shown,
                         const std::vector<std::string>& expected, bool oneMayBeMissing)
{
    if (shown == expected)
        return true;
    if (!oneMayBeMissing || shown.size() + 1 != expected.size())
        return false;
    for (size_t skip = 0; skip < expected.size(); ++skip) {
        std::vector<std::string> rest = expected;
        rest.erase(rest.begin() + skip);
        if (rest == shown)
            return true;
    }
    return false;
}

static std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& l : lines)
        text += "\n    [" + l + "]";
    return lines.empty() ? " (none)" : text;
}

// The file names in a host folder that end as a staging file does.
static std::vector<std::string> stagingFilesIn(const std::string& hostFolder)
{
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(hostFolder, ignored)) {
        std::string name = entry.path().filename().string();
        if (!name.empty() && (name.back() == '~' || name.back() == '#'))
            found.push_back(name);
    }
    return found;
}

static bool fits(const std::string& folder, const std::string& name)
{
    return folder.size() + 1 + name.size() < MAX_PATH;
}

ApplyOutcome checkApplyOutcome(const ApplyScene& scene, HostCall faulted, bool anyFault)
{
    ApplyOutcome outcome = {0, false, false};
    std::string deliveryHost = hostPathOf(scene.delivery, "");
    std::string gameHost = hostPathOf(scene.game, deliveryHost);

    // Each game file holds its old bytes or its payload, whole; the new ones come first.
    std::string state;
    for (int i = 0; i < 3; ++i) {
        std::string contents = hostContents(gameHost + "/" + kGameFiles[i]);
        bool isNew = contents == scene.payloadOf(i);
        bool isOld = contents == scene.oldContentsOf(i);
        EXPECT_TRUE(isNew || isOld) << kGameFiles[i] << " is neither old nor new: "
                                    << contents.size() << " bytes";
        state += isNew ? 'n' : isOld ? 'o' : '?';
    }
    outcome.newFiles = static_cast<int>(state.find_first_not_of('n'));
    if (outcome.newFiles < 0)
        outcome.newFiles = 3;
    EXPECT_EQ(state.find('n', outcome.newFiles), std::string::npos)
        << "a game file written after one that failed: " << state;

    // A close made to fail keeps its handle open (the layer's rule; on Windows a valid handle
    // always closes): a staging file still held that way cannot be deleted.
    std::vector<std::string> staging = stagingFilesIn(gameHost);
    EXPECT_LE(staging.size(), anyFault && faulted == HostCall::CloseHandle ? 1u : 0u)
        << "staging files left: " << joined(staging);

    // Messages, in the order shown.
    std::vector<std::string> shown;
    for (const HostMessageBox& box : hostMessageBoxes())
        shown.push_back(messageLine(box));
    bool boxFaulted = anyFault && faulted == HostCall::MessageBoxA;
    outcome.completed = std::find(shown.begin(), shown.end(), kCompletion) != shown.end();
    bool registryErrorShown =
        std::find(shown.begin(), shown.end(), kRegistryError) != shown.end();
    if (outcome.newFiles == 3) {
        EXPECT_TRUE(sameMessages(shown, {kCompletion}, boxFaulted) ||
                    sameMessages(shown, {kCompletion, kRegistryError}, boxFaulted))
            << "every file written; shown:" << joined(shown);
    } else {
        bool writeFailed = sameMessages(
            shown, {writeError(kGameFiles[outcome.newFiles]), kApplyFailure}, boxFaulted);
        bool notInstalled = outcome.newFiles == 0 && sameMessages(shown, {kNotInstalled}, boxFaulted);
        bool noDialog = outcome.newFiles == 0 && shown.empty() &&
                        (faulted == HostCall::DialogBoxParamA || boxFaulted);
        // An install folder of MAX_PATH bytes or more cannot be recorded with its terminator
        // in the updater's buffer: not installed.
        bool recordFits = scene.game.size() < MAX_PATH;
        EXPECT_TRUE(recordFits ? writeFailed || (anyFault && (notInstalled || noDialog))
                               : notInstalled)
            << "game files " << state << "; shown:" << joined(shown);
    }
    if (registryErrorShown) {
        EXPECT_EQ(faulted, HostCall::RegOpenKeyExA) << "registry error without its cause";
    }

    // The record: 1010 only over a complete update, and always after one unless the record
    // could not be reopened (reported) or the write of the value failed (silent by design).
    DWORD type = 0;
    std::string version;
    outcome.versionRecorded =
        hostRegistryGetValue(HKEY_CURRENT_USER, RECORD_KEY, "Version", &type, &version) &&
        type == REG_BINARY && version == std::string("\xF2\x03\x00\x00", 4);
    if (outcome.versionRecorded) {
        EXPECT_EQ(outcome.newFiles, 3) << "1010 recorded over an incomplete update";
    }
    if (outcome.completed && !registryErrorShown &&
        !(anyFault && (faulted == HostCall::RegSetValueExA || faulted == HostCall::MessageBoxA))) {
        EXPECT_TRUE(outcome.versionRecorded) << "a completed update left unrecorded";
    }
    if (!outcome.versionRecorded) {
        EXPECT_EQ(version, std::string("\xE8\x03\x00\x00", 4)) << "Version changed";
    }

    // Save data: untouched unless the update completed; then every name whose path fits is
    // gone (one may stay when a deletion was made to fail).
    std::string saveFolder = scene.game + "\\save";
    int staying = 0, fitting = 0;
    for (const char* name : kSaveFiles) {
        bool exists = hostExists(gameHost + "/save/" + name);
        if (outcome.newFiles < 3) {
            EXPECT_TRUE(exists) << name << " deleted by an update that did not complete";
        } else if (fits(saveFolder, name)) {
            ++fitting;
            staying += exists;
        } else {
            EXPECT_TRUE(exists) << name << ": its path does not fit, yet it was deleted";
        }
    }
    if (outcome.newFiles == 3) {
        EXPECT_LE(staying, anyFault && faulted == HostCall::DeleteFileA ? 1 : 0)
            << "save files left of " << fitting;
    }

    // Install.ini: its old bytes or a whole new entry naming one of the two save folders.
    std::string ini = hostContents(gameHost + "/Install.ini");
    EXPECT_TRUE(ini == kOldInstallIni || ini == "save=" + scene.perUserSaveFolder() ||
                ini == "save=" + saveFolder)
        << "Install.ini holds: " << ini;
    if (outcome.newFiles < 3) {
        EXPECT_EQ(ini, kOldInstallIni) << "Install.ini written by an update that did not complete";
    }

    // Nothing held; a handle whose close was made to fail stays open, by the layer's rule.
    unsigned handlesAllowed = anyFault && faulted == HostCall::CloseHandle ? 1 : 0;
    EXPECT_LE(hostOpenHandles(), scene.handlesBefore + handlesAllowed) << "handles left open";
    EXPECT_EQ(hostOpenKeys(), 0u) << "registry keys left open";
    EXPECT_EQ(hostLiveGlobalBlocks(), 0u) << "global blocks left allocated";
    EXPECT_EQ(hostShellObjectsHeld(), 0u) << "shell objects left held";
    return outcome;
}
