// applyPayloadFiles when the platform fails it midway (native only: faults are injected at
// the host layer). Every failure shows the one report owned by the dialog, returns 0, keeps
// the target's old bytes, leaves no staging file, and releases every handle and block.
#include <gtest/gtest.h>

#include <filesystem>

#include "apply_payload.h"
#include "host_control.h"
#include "payload_fixture.h"

namespace {

HWND const kDialog = (HWND)0x5150;

struct Fault {
    const char* label;
    HostCall call;
    unsigned succeedFirst;
    DWORD error;      // for a failing call
    DWORD shortLimit;  // for a short transfer, when error is 0
};

// Call counts within the first entry, "pkadv.exe" from the archive: GlobalAlloc for the
// stream record, the archive header, the directory, then the payload buffer; ReadFile for
// the header, the directory, then the payload; CreateFileA for the loose file, the archive,
// the target probe, then the staging file.
const Fault kFaults[] = {
    {"no memory for the payload buffer", HostCall::GlobalAlloc, 3, ERROR_NOT_ENOUGH_MEMORY, 0},
    {"payload read fails", HostCall::ReadFile, 2, ERROR_READ_FAULT, 0},
    {"payload read ends short", HostCall::ReadFile, 2, 0, 999},
    {"staging file cannot be created", HostCall::CreateFileA, 3, ERROR_DISK_FULL, 0},
    {"write fails: disk full", HostCall::WriteFile, 0, ERROR_DISK_FULL, 0},
    {"write reports fewer bytes than asked", HostCall::WriteFile, 0, 0, 10},
    {"flush to the device fails", HostCall::FlushFileBuffers, 0, ERROR_WRITE_FAULT, 0},
    {"move over the target fails", HostCall::MoveFileExA, 0, ERROR_ACCESS_DENIED, 0},
};

void expectOneReport(const char* name)
{
    const std::vector<HostMessageBox>& shown = hostMessageBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, kDialog);
    EXPECT_EQ(shown[0].text, std::string("ファイルが書き込めません。[") + name + "]");
    EXPECT_EQ(shown[0].caption, "エラー");
    EXPECT_EQ(shown[0].type, (UINT)MB_OK);
}

void expectNothingHeld()
{
    EXPECT_EQ(hostOpenHandles(), 0u) << "handles left open";
    EXPECT_EQ(hostLiveGlobalBlocks(), 0u) << "blocks left allocated";
}

}  // namespace

TEST(ApplyPayloadFaults, FailureAtTheFirstEntryKeepsEveryTargetWhole)
{
    for (const Fault& f : kFaults) {
        SCOPED_TRACE(f.label);
        UpdateScene scene;
        hostReset();
        if (f.error)
            hostInjectFault(f.call, f.succeedFirst, FaultRepeat::Once, f.error);
        else
            hostInjectShortTransfer(f.call, f.succeedFirst, FaultRepeat::Once, f.shortLimit);
        EXPECT_EQ(applyPayloadFiles(kDialog, scene.game.c_str()), 0);
        hostClearFaults();
        expectOneReport("pkadv.exe");
        scene.expectTargets(scene.game, "ooo");
        scene.expectNoStagingFiles(scene.game);
        expectNothingHeld();
    }
}

TEST(ApplyPayloadFaults, TargetsThatCannotBeOpenedFailBeforeAnythingIsWritten)
{
    struct Case {
        const char* label;
        int readOnlyEntry;  // -1: none
        bool folderMissing;
        const char* failingName;
        const char* targetsAfter;
    } cases[] = {
        {"read-only program file", 0, false, "pkadv.exe", "ooo"},
        {"read-only second data file", 2, false, "Instdata.pak", "nno"},
        {"install folder missing", -1, true, "pkadv.exe", "---"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        UpdateScene scene;
        std::string folder = c.folderMissing ? scene.game + "\\gone" : scene.game;
        std::string hostPath;
        if (c.readOnlyEntry >= 0) {
            hostPath = folder + "\\" + UpdateScene::kNames[c.readOnlyEntry];
            for (char& ch : hostPath)
                if (ch == '\\')
                    ch = '/';
            std::filesystem::permissions(hostPath, std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::group_read);
        }
        hostReset();
        EXPECT_EQ(applyPayloadFiles(kDialog, folder.c_str()), 0);
        expectOneReport(c.failingName);
        EXPECT_EQ(hostCallCount(HostCall::WriteFile),
                  (unsigned)(c.readOnlyEntry > 0 ? c.readOnlyEntry : 0))
            << "only the entries before the failing one were written";
        scene.expectTargets(folder, c.targetsAfter);
        scene.expectNoStagingFiles(folder);
        expectNothingHeld();
    }
}

TEST(ApplyPayloadFaults, CompleteApplyReleasesEverything)
{
    UpdateScene scene;
    hostReset();
    EXPECT_EQ(applyPayloadFiles(kDialog, scene.game.c_str()), 1);
    EXPECT_TRUE(hostMessageBoxes().empty());
    // One read and one write per payload, each of the whole payload.
    EXPECT_EQ(hostCallCount(HostCall::WriteFile), 3u);
    EXPECT_EQ(hostCallCount(HostCall::ReadFile), 3u * 3u);
    scene.expectTargets(scene.game, "nnn");
    expectNothingHeld();
}

TEST(ApplyPayloadFaults, TargetPathThatDoesNotFitIsNeverUsed)
{
    UpdateScene scene;
    // 247 bytes: "pkadv.exe" and "Archive.dat" still fit in MAX_PATH, "Instdata.pak" does not.
    std::string folder = scene.root / std::string(247 - scene.root.path().size() - 1, 'g');
    makeFolder(folder);
    hostReset();
    EXPECT_EQ(applyPayloadFiles(kDialog, folder.c_str()), 0);
    expectOneReport("Instdata.pak");
    for (const std::string& path : hostTraceOf(HostCall::CreateFileA))
        EXPECT_LT(path.size(), (size_t)MAX_PATH) << "opened " << path;
    EXPECT_EQ(hostCallCount(HostCall::WriteFile), 2u);
    expectNothingHeld();
}
