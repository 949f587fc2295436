// Apply: the payload files, then the save data, then the message, then the record; and what
// a failure on the way leaves behind.
#include "updater_run.h"

// Position in the trace of the first (or last) call of `call` whose argument contains `part`;
// -1 when there is none.
static long traced(const std::vector<HostTrace>& trace, HostCall call, const std::string& part,
                   bool last = false)
{
    long found = -1;
    for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].call == call && trace[i].argument.find(part) != std::string::npos) {
            found = static_cast<long>(i);
            if (!last)
                break;
        }
    }
    return found;
}

TEST_F(UpdaterRun, ApplyWritesThePayloadThenResetsSavesThenRecords)
{
    recordGameFolder();

    run({}, {kApply});

    expectGameFilesUpdated();
    expectSaveDataDeleted();
    EXPECT_EQ(fileContents(game / "Install.ini"), "save=" + game.path() + "\\save");
    EXPECT_EQ(messagesShown(), std::vector<std::string>{completionMessage()});

    auto at = [&](HostCall call, const std::string& part, bool last = false) {
        return traced(runTrace, call, part, last);
    };
    // The last file call on a payload target, or on its staging file beside it (the target's
    // name with its last byte replaced).
    long lastPayloadWrite = -1;
    for (size_t i = 0; i < runTrace.size(); ++i) {
        if (runTrace[i].call != HostCall::CreateFileA && runTrace[i].call != HostCall::MoveFileExA)
            continue;
        for (const char* stem : {"pkadv.ex", "Archive.da", "Instdata.pa"}) {
            if (runTrace[i].argument.rfind(game / stem, 0) == 0)
                lastPayloadWrite = static_cast<long>(i);
        }
    }
    struct Step {
        const char* what;
        long at;
    };
    const Step steps[] = {
        {"last payload file written", lastPayloadWrite},
        {"first save file deleted", at(HostCall::DeleteFileA, game / "save\\")},
        {"save folder chosen", at(HostCall::GetVersionExA, "")},
        {"Install.ini written", at(HostCall::CreateFileA, "Install.ini")},
        {"completion shown", at(HostCall::MessageBoxA, "")},
        {"record written", at(HostCall::RegSetValueExA, "Version")},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        EXPECT_GE(steps[i].at, 0) << steps[i].what << ": not in the trace";
        if (i > 0) {
            EXPECT_LT(steps[i - 1].at, steps[i].at) << steps[i - 1].what << " before "
                                                    << steps[i].what;
        }
    }
    // The record is opened afresh after the dialog: it is not held while the dialog runs.
    EXPECT_EQ(hostTraceOf(HostCall::RegOpenKeyExA),
              (std::vector<std::string>{RECORD_KEY, RECORD_KEY}));
    EXPECT_LT(at(HostCall::DialogBoxParamA, ""), at(HostCall::RegOpenKeyExA, "", true));
}

TEST_F(UpdaterRun, PayloadWriteFailureShowsBothReportsAndLeavesSavesAndRecord)
{
    recordGameFolder();
    setRecordValue("Version", REG_BINARY, le32(1000));
    // The second target cannot be written: a folder stands in its place.
    DeleteFileA((game / "Archive.dat").c_str());
    makeFolder(game / "Archive.dat");

    run({}, {kApply});

    EXPECT_EQ(messagesShown(),
              (std::vector<std::string>{writeErrorMessage("Archive.dat"), applyFailureMessage()}));
    EXPECT_EQ(fileContents(game / "pkadv.exe"), payloadOf("pkadv.exe")) << "written before";
    EXPECT_EQ(fileContents(game / "Instdata.pak"), oldContentsOf("Instdata.pak"))
        << "after the failure";
    expectSaveDataUntouched();
    EXPECT_FALSE(fileExists(game / "Install.ini"));
    EXPECT_EQ(hostCallCount(HostCall::GetVersionExA), 0u) << "the save folder was prepared";
    EXPECT_EQ(recordedVersion(), "type 3: E8 03 00 00");
}

TEST_F(UpdaterRun, SaveFolderThatCannotBeMadeStillCompletesWithoutInstallIni)
{
    recordGameFolder();
    // The per-user branch (installed under the program-files folder on a major version 6),
    // with a local application-data folder that does not exist: no level can be created.
    hostSetWindowsVersion(VER_PLATFORM_WIN32_NT, 6);
    hostRegistrySetValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir", REG_SZ, game.path() + '\0');
    hostSetLocalAppData(game / "NoSuchFolder");

    run({}, {kApply});

    EXPECT_EQ(messagesShown(), std::vector<std::string>{completionMessage()});
    expectGameFilesUpdated();
    expectSaveDataDeleted();
    EXPECT_FALSE(fileExists(game / "Install.ini"));
    EXPECT_EQ(recordedVersion(), "type 3: F2 03 00 00");
}

TEST_F(UpdaterRun, CommandsCountOnlyWithNotificationCodeZero)
{
    recordGameFolder();

    // Exit with a notification code is ignored; so is Apply with one; then Apply is clicked.
    run({}, {MAKEWPARAM(IDCANCEL, 1), MAKEWPARAM(IDOK, 0x0300), kApply});

    EXPECT_EQ(messagesShown(), std::vector<std::string>{completionMessage()});
    expectGameFilesUpdated();
    EXPECT_EQ(recordedVersion(), "type 3: F2 03 00 00");
}
