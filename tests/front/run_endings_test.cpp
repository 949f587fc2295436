// Every way a run ends: what the user is told, what the record and the game's files hold
// afterwards, and that the exit code is 0 and the single-instance name is free again.
#include "updater_run.h"

static const char kMutexName[] = "QXUPDATE Ver1.31";
static const char kRecorded1000[] = "type 3: E8 03 00 00";
static const char kRecorded1010[] = "type 3: F2 03 00 00";

TEST_F(UpdaterRun, AnotherUpdaterRunningEndsSilentlyWithoutTouchingAnything)
{
    recordGameFolder();
    setRecordValue("Version", REG_BINARY, le32(1000));
    HANDLE first = CreateMutexA(nullptr, TRUE, kMutexName);
    ASSERT_NE(first, nullptr);

    run({}, {kApply});

    EXPECT_EQ(messagesShown(), std::vector<std::string>());
    EXPECT_EQ(hostCallCount(HostCall::RegOpenKeyExA), 0u) << "the record was opened";
    EXPECT_EQ(hostCallCount(HostCall::DialogBoxParamA), 0u) << "the dialog ran";
    EXPECT_EQ(recordedVersion(), kRecorded1000);
    expectGameFilesUntouched();
    expectSaveDataUntouched();

    // The first updater still holds the name.
    HANDLE again = CreateMutexA(nullptr, TRUE, kMutexName);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(again);
    CloseHandle(first);
}

struct Ending {
    const char* label;
    void (*prepare)(UpdaterRun& run);
    std::vector<int> answers;
    std::vector<WPARAM> commands;
    std::vector<std::string> messages;
    std::string version;  // in the record afterwards
    bool dialogRuns;
    bool updated;  // the game's files replaced; otherwise they and the save data are untouched
};

static void PrintTo(const Ending& c, std::ostream* out)
{
    *out << c.label;
}

class RunEnding : public UpdaterRun, public ::testing::WithParamInterface<Ending> {};

TEST_P(RunEnding, TellsTheUserAndRecordsAsExpected)
{
    const Ending& ending = GetParam();
    ending.prepare(*this);

    run(ending.answers, ending.commands);

    EXPECT_EQ(messagesShown(), ending.messages);
    EXPECT_EQ(recordedVersion(), ending.version);
    EXPECT_EQ(hostTraceOf(HostCall::DialogBoxParamA),
              ending.dialogRuns ? std::vector<std::string>{"#101"} : std::vector<std::string>())
        << "dialog template";
    if (ending.updated) {
        expectGameFilesUpdated();
    } else {
        expectGameFilesUntouched();
        expectSaveDataUntouched();
    }
    HANDLE next = CreateMutexA(nullptr, TRUE, kMutexName);
    EXPECT_EQ(GetLastError(), 0u) << "the single-instance name is still held";
    CloseHandle(next);
}

INSTANTIATE_TEST_SUITE_P(
    , RunEnding,
    ::testing::Values(
        Ending{"NoRecordKey", [](UpdaterRun&) {}, {}, {kApply}, {notInstalledMessage()},
               "absent", false, false},
        Ending{"RecordTheUserMayOnlyRead",
               [](UpdaterRun& run) {
                   hostRegistryCreateKey(HKEY_CURRENT_USER, RECORD_KEY, /*readOnly=*/true);
                   run.recordGameFolder();
               },
               {}, {kApply}, {notInstalledMessage()}, "absent", false, false},
        Ending{"ReapplyDeclined",
               [](UpdaterRun& run) {
                   run.recordGameFolder();
                   run.setRecordValue("Version", REG_BINARY, le32(1010));
               },
               {IDCANCEL}, {kApply}, {reapplyQuestion()}, kRecorded1010, false, false},
        Ending{"ReapplyAcceptedOverAHigherDwordCode",
               [](UpdaterRun& run) {
                   run.recordGameFolder();
                   run.setRecordValue("Version", REG_DWORD, le32(5000));
               },
               {IDOK}, {kApply}, {reapplyQuestion(), completionMessage()}, kRecorded1010, true,
               true},
        Ending{"Exit", [](UpdaterRun& run) { run.recordGameFolder(); }, {}, {kExit}, {},
               "absent", true, false},
        Ending{"DialogCannotBeCreated",
               [](UpdaterRun& run) {
                   run.recordGameFolder();
                   hostInjectFault(HostCall::DialogBoxParamA, 0, FaultRepeat::FromThenOn,
                                   ERROR_NOT_ENOUGH_MEMORY);
               },
               {}, {kApply}, {}, "absent", true, false},
        Ending{"Completed", [](UpdaterRun& run) { run.recordGameFolder(); }, {}, {kApply},
               {completionMessage()}, kRecorded1010, true, true},
        Ending{"CompletedButTheRecordCannotBeReopened",
               [](UpdaterRun& run) {
                   run.recordGameFolder();
                   run.setRecordValue("Version", REG_BINARY, le32(1000));
                   hostInjectFault(HostCall::RegOpenKeyExA, 1, FaultRepeat::Once,
                                   ERROR_ACCESS_DENIED);
               },
               {}, {kApply}, {completionMessage(), registryErrorMessage()}, kRecorded1000,
               true, true},
        Ending{"SingleInstanceMutexCannotBeCreated",
               [](UpdaterRun& run) {
                   run.recordGameFolder();
                   hostInjectFault(HostCall::CreateMutexA, 0, FaultRepeat::Once,
                                   ERROR_ACCESS_DENIED);
               },
               {}, {kApply}, {completionMessage()}, kRecorded1010, true, true}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.label); });
