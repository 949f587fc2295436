// A whole updater run through WinMain on the host layer: a game installed in a temporary
// folder with old files and old save data, the payload delivered loose in another folder that
// is the current directory, the installation record in the registry store, and the user's
// answers and dialog commands scripted.
#ifndef TESTS_FRONT_UPDATER_RUN_H
#define TESTS_FRONT_UPDATER_RUN_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_control.h"
#include "test_files.h"

#define RECORD_KEY "Software\\Quelm\\PikopekoLand"
#define CAPTION "ぴこぺこらんど アップデート Ver 1.01"

// Commands as the platform's dialog handling delivers them: a click on Apply or Exit (Escape
// and the close box arrive as Exit too), with notification code 0.
const WPARAM kApply = IDOK;
const WPARAM kExit = IDCANCEL;

// A message box as shown, in one line: "<owner> | <caption> | <type> | <text>", where owner is
// "none", "dialog" or "other".
std::string shownMessage(const char* owner, const char* caption, UINT type, const char* text);
std::string notInstalledMessage();
std::string reapplyQuestion();
std::string registryErrorMessage();
std::string completionMessage();
std::string applyFailureMessage();
std::string writeErrorMessage(const char* sourceName);

// Little-endian bytes of a 32-bit number.
std::string le32(DWORD value);

class UpdaterRun : public ::testing::Test {
public:
    void SetUp() override;
    // Every run releases what it acquired.
    void TearDown() override;

    // Sets a value of the installation record, creating the record when it is missing. The
    // record does not exist until a test makes it.
    void setRecordValue(const std::string& name, DWORD type, const std::string& bytes);
    // InstallFolder as a terminated REG_SZ naming the game's folder.
    void recordGameFolder();
    // Runs WinMain with the user's answers to message boxes and the dialog's commands. Its
    // result, the process's exit code, is checked to be 0.
    void run(const std::vector<int>& answers, const std::vector<WPARAM>& commands);

    // The message boxes shown during the run, as shownMessage() lines.
    std::vector<std::string> messagesShown() const;
    // Version in the record afterwards: "absent", or "type <n>:" and its bytes in hex.
    std::string recordedVersion() const;

    // What the update writes, and what it must leave alone when it does not run.
    std::string payloadOf(const char* name) const;
    std::string oldContentsOf(const char* name) const;
    void expectGameFilesUntouched() const;
    void expectGameFilesUpdated() const;
    void expectSaveDataUntouched() const;
    void expectSaveDataDeleted() const;
    // A file in the install folder's save subfolder.
    std::string savePath(const char* name) const;

    // The calls WinMain made, in order, without the test's own before and after.
    std::vector<HostTrace> runTrace;

    TempFolder game;
    TempFolder delivery;
    HWND dialogWindow = nullptr;
};

#endif
