// Every platform call of a whole updater run with Apply, made to fail in turn: for each kind
// of call and each of its occurrences k in a clean run, a fresh scene is run with that one
// call failing (or, for reads and writes, moving a single byte). Whatever fails, the game
// files stay old or new whole, nothing of the updater's is left behind or held, the user is
// told what happened, and 1010 is recorded only over a complete update.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "apply_scene.h"

namespace {

struct FaultKind {
    const char* label;
    HostCall call;
    DWORD error;       // the failing call's last error; 0 for a short transfer
    DWORD shortLimit;  // bytes a short read or write moves
};

const FaultKind kFaultKinds[] = {
    {"CreateFileA_in_use", HostCall::CreateFileA, ERROR_SHARING_VIOLATION, 0},
    {"ReadFile_fails", HostCall::ReadFile, ERROR_READ_FAULT, 0},
    {"ReadFile_short", HostCall::ReadFile, 0, 1},
    {"WriteFile_disk_full", HostCall::WriteFile, ERROR_DISK_FULL, 0},
    {"WriteFile_short", HostCall::WriteFile, 0, 1},
    {"SetFilePointer_fails", HostCall::SetFilePointer, ERROR_NEGATIVE_SEEK, 0},
    {"GetFileSize_fails", HostCall::GetFileSize, ERROR_INVALID_HANDLE, 0},
    {"FlushFileBuffers_fails", HostCall::FlushFileBuffers, ERROR_WRITE_FAULT, 0},
    {"CloseHandle_fails", HostCall::CloseHandle, ERROR_INVALID_HANDLE, 0},
    {"DeleteFileA_denied", HostCall::DeleteFileA, ERROR_ACCESS_DENIED, 0},
    {"MoveFileExA_denied", HostCall::MoveFileExA, ERROR_ACCESS_DENIED, 0},
    {"CreateDirectoryA_denied", HostCall::CreateDirectoryA, ERROR_ACCESS_DENIED, 0},
    {"FindFirstFileA_fails", HostCall::FindFirstFileA, ERROR_FILE_NOT_FOUND, 0},
    {"GlobalAlloc_no_memory", HostCall::GlobalAlloc, ERROR_NOT_ENOUGH_MEMORY, 0},
    {"CreateMutexA_fails", HostCall::CreateMutexA, ERROR_ACCESS_DENIED, 0},
    {"GetVersionExA_fails", HostCall::GetVersionExA, ERROR_INVALID_PARAMETER, 0},
    {"RegOpenKeyExA_denied", HostCall::RegOpenKeyExA, ERROR_ACCESS_DENIED, 0},
    {"RegQueryValueExA_denied", HostCall::RegQueryValueExA, ERROR_ACCESS_DENIED, 0},
    {"RegSetValueExA_denied", HostCall::RegSetValueExA, ERROR_ACCESS_DENIED, 0},
    {"DialogBoxParamA_fails", HostCall::DialogBoxParamA, ERROR_NOT_ENOUGH_MEMORY, 0},
    {"MessageBoxA_fails", HostCall::MessageBoxA, ERROR_NOT_ENOUGH_MEMORY, 0},
    {"SHGetMalloc_fails", HostCall::SHGetMalloc, ERROR_NOT_ENOUGH_MEMORY, 0},
    {"SHGetSpecialFolderLocation_fails", HostCall::SHGetSpecialFolderLocation,
     ERROR_FILE_NOT_FOUND, 0},
    {"SHGetPathFromIDListA_fails", HostCall::SHGetPathFromIDListA, ERROR_PATH_NOT_FOUND, 0},
};

void PrintTo(const FaultKind& kind, std::ostream* out)
{
    *out << kind.label;
}

// The calls of each kind in a clean run, in order (their first text argument).
std::map<HostCall, std::vector<std::string>> cleanRunCalls()
{
    ApplyScene scene;
    std::map<HostCall, std::vector<std::string>> calls;
    for (const HostTrace& entry : scene.runApply())
        calls[entry.call].push_back(entry.argument);
    return calls;
}

// The occurrences swept: every one, except for a call made hundreds of times by one loop (the
// save-data reset's 2,003 independent deletions), where the first and last 16 and every 50th
// between stand for the rest; each run costs a whole update.
bool swept(unsigned k, size_t occurrences)
{
    return occurrences <= 64 || k < 16 || k + 16 >= occurrences || k % 50 == 0;
}

class EveryFault : public ::testing::TestWithParam<FaultKind> {};

// Thousands of whole runs, each flushing its files to the device: on a memory file system,
// where there is one, the flushes cost nothing.
const bool kOnMemoryFileSystem = [] {
    if (std::filesystem::is_directory("/dev/shm"))
        setenv("TMPDIR", "/dev/shm", 0);
    return true;
}();

}  // namespace

TEST(CleanRun, CompletesAndEveryCallKindItMakesIsSwept)
{
    ApplyScene scene;
    std::vector<HostTrace> trace = scene.runApply();
    ApplyOutcome outcome = checkApplyOutcome(scene, HostCall::Count, false);
    EXPECT_EQ(outcome.newFiles, 3);
    EXPECT_TRUE(outcome.completed);
    EXPECT_TRUE(outcome.versionRecorded);
    EXPECT_EQ(fileContents(scene.game + "\\Install.ini"), "save=" + scene.perUserSaveFolder())
        << "the scene takes the per-user branch, so the shell and HKLM are on the path";

    for (const HostTrace& entry : trace) {
        bool swept = false;
        for (const FaultKind& kind : kFaultKinds)
            swept = swept || kind.call == entry.call;
        EXPECT_TRUE(swept) << hostCallName(entry.call) << " is made but never made to fail";
    }
}

TEST_P(EveryFault, AtEachOccurrenceKeepsTheInvariants)
{
    const FaultKind& kind = GetParam();
    const std::vector<std::string> occurrences = cleanRunCalls()[kind.call];
    if (occurrences.empty())
        GTEST_SKIP() << hostCallName(kind.call) << " is not made by a clean run";

    for (unsigned k = 0; k < occurrences.size(); ++k) {
        if (!swept(k, occurrences.size()))
            continue;
        SCOPED_TRACE(std::string(kind.label) + " at occurrence " + std::to_string(k) + " of " +
                     std::to_string(occurrences.size()) + " (" + occurrences[k] + ")");
        ApplyScene scene;
        if (kind.error != 0)
            hostInjectFault(kind.call, k, FaultRepeat::Once, kind.error);
        else
            hostInjectShortTransfer(kind.call, k, FaultRepeat::Once, kind.shortLimit);
        std::vector<HostTrace> trace = scene.runApply();
        hostClearFaults();

        unsigned made = 0;
        for (const HostTrace& entry : trace)
            made += entry.call == kind.call;
        ASSERT_GT(made, k) << "the run no longer reaches the call";
        checkApplyOutcome(scene, kind.call, true);
        if (::testing::Test::HasFailure())
            break;  // one failing occurrence says enough; the rest would repeat it
    }
}

INSTANTIATE_TEST_SUITE_P(ApplySequence, EveryFault, ::testing::ValuesIn(kFaultKinds),
                         [](const ::testing::TestParamInfo<FaultKind>& info) {
                             return std::string(info.param.label);
                         });
