// Install folders of every length from 1 to 300 bytes through a whole run with Apply. Every
// path the updater asks the platform for is whole and fits in MAX_PATH; an entry whose target
// path does not fit fails with its report, and a save file whose path does not fit is not
// requested while every other one is. A folder of 260 bytes or more does not fit the
// record's buffer with its terminator: not installed.
#include <gtest/gtest.h>

#include <set>

#include "apply_scene.h"

namespace {

// A relative folder of exactly `length` bytes, in levels of at most 99 bytes (a host file
// system takes no longer names).
std::string folderOfLength(size_t length)
{
    std::string folder;
    for (size_t i = 0; i < length; ++i)
        folder += i % 100 == 99 && i + 1 < length ? '\\' : static_cast<char>('a' + i % 26);
    return folder;
}

// What the updater may ask for in the install folder: the game files, their staging files,
// Install.ini and its staging file, the save folder and the save files by name.
std::set<std::string> pathsInInstallFolder(const std::string& folder)
{
    std::set<std::string> tails = {"pkadv.exe",   "pkadv.ex~",   "Archive.dat", "Archive.da~",
                                   "Instdata.pak", "Instdata.pa~", "Install.ini", "Install.in~",
                                   "save",        "save\\syssave.dat", "save\\qsave.sav",
                                   "save\\qsave.gra"};
    for (int n = 0; n < 1000; ++n) {
        char number[4] = {char('0' + n / 100), char('0' + n / 10 % 10), char('0' + n % 10), 0};
        tails.insert(std::string("save\\save") + number + ".sav");
        tails.insert(std::string("save\\thumb") + number + ".gra");
    }
    std::set<std::string> paths;
    for (const std::string& tail : tails)
        paths.insert(folder + "\\" + tail);
    return paths;
}

bool takesAPath(HostCall call)
{
    return call == HostCall::CreateFileA || call == HostCall::DeleteFileA ||
           call == HostCall::MoveFileExA || call == HostCall::CreateDirectoryA ||
           call == HostCall::FindFirstFileA;
}

int fittingSaveNames(size_t folderLength)
{
    // Lengths of "save\" and the name: syssave.dat, qsave.sav, qsave.gra, then 1,000 of
    // saveNNN.sav and 1,000 of thumbNNN.gra.
    const struct {
        size_t length;
        int count;
    } names[] = {{16, 1}, {14, 2}, {16, 1000}, {17, 1000}};
    int fitting = 0;
    for (const auto& name : names)
        fitting += folderLength + 1 + name.length < MAX_PATH ? name.count : 0;
    return fitting;
}

}  // namespace

TEST(InstallFolderLength, EveryLengthFrom1To300RequestsOnlyWholePathsThatFit)
{
    for (size_t length = 1; length <= 300; ++length) {
        const std::string folder = folderOfLength(length);
        SCOPED_TRACE("install folder of " + std::to_string(length) + " bytes");
        ASSERT_EQ(folder.size(), length);
        ApplyScene scene(folder);
        std::vector<HostTrace> trace = scene.runApply();

        ApplyOutcome outcome = checkApplyOutcome(scene, HostCall::Count, false);
        // The longest target, Instdata.pak, fits up to 246 bytes; Archive.dat up to 247;
        // pkadv.exe up to 249.
        int expectedNew = length <= 246 ? 3 : length <= 247 ? 2 : length <= 249 ? 1 : 0;
        EXPECT_EQ(outcome.newFiles, expectedNew);

        const std::set<std::string> allowed = pathsInInstallFolder(folder);
        int saveRequests = 0;
        for (const HostTrace& entry : trace) {
            if (!takesAPath(entry.call))
                continue;
            EXPECT_LT(entry.argument.size(), static_cast<size_t>(MAX_PATH))
                << hostCallName(entry.call) << " " << entry.argument;
            bool inFolder = entry.argument.compare(0, folder.size() + 1, folder + "\\") == 0;
            if (inFolder) {
                EXPECT_TRUE(allowed.count(entry.argument))
                    << hostCallName(entry.call) << " asked for a cut or unknown path: "
                    << entry.argument.substr(folder.size());
            }
            saveRequests += entry.call == HostCall::DeleteFileA && inFolder &&
                            entry.argument.compare(folder.size(), 6, "\\save\\") == 0;
        }
        EXPECT_EQ(saveRequests, expectedNew == 3 ? fittingSaveNames(length) : 0)
            << "save files requested";
        if (::testing::Test::HasFailure())
            break;
    }
}
