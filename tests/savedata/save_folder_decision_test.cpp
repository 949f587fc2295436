// Which save folder is chosen, what is created on the way, and what the result says, for each
// outcome of every step of the decision, on drive C: of a temporary folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_control.h"
#include "save_data.h"
#include "savedata_state.h"
#include "test_files.h"

namespace {

const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

enum class Registry { Value, UnterminatedValue, NoValue, NoKey };
enum class Choice { PerUser, Fallback, Nothing };
const HostCall kNoFault = HostCall::Count;

struct DecisionCase {
    const char* label;
    DWORD platformId;
    DWORD majorVersion;
    Registry registry;
    std::string programFilesDir;
    std::string installFolder;
    std::string localAppData;  // "" when the shell has none
    HostCall fault;            // fails from the first call on
    Choice choice;
    int result;
};

// Folders every case finds on drive C:.
const std::string kProgramFiles = "C:\\Program Files";
const std::string kGame = "C:\\Program Files\\Game";
const std::string kLocal = "C:\\Local";
// The longest text a path buffer holds.
const std::string kLongestText = "C:\\" + std::string(256, 'p');
// Local application data whose per-user save folder, 28 bytes more, is 259 bytes long.
const std::string kLongestLocal = "C:\\" + std::string(228, 'a');
// An install folder whose fallback save folder, 5 bytes more, is 259 bytes long.
const std::string kLongestGame = "C:\\" + std::string(251, 'b');

void makeDriveC(const TempFolder& temp)
{
    std::string host = temp.path();
    for (char& c : host)
        if (c == '\\')
            c = '/';
    hostMapDrive('C', host);
    for (const std::string& folder :
         {kProgramFiles, kGame, std::string("C:\\Program Files (x86)"),
          std::string("C:\\Program Files (x86)\\Game"), std::string("C:\\Program FilesX"),
          std::string("C:\\Program FilesX\\Game"), std::string("C:\\Program"),
          std::string("C:\\Games"), std::string("C:\\Games\\Game"), std::string("C:\\Games{1}"),
          std::string("C:\\Games{1}\\Game"), std::string("C:\\Blocked"), kLocal, kLongestLocal,
          kLongestGame})
        makeFolder(folder);
    writeFile("C:\\Blocked\\save", "a file where the folder would go");
}

void setUpPlatform(const DecisionCase& c)
{
    hostSetWindowsVersion(c.platformId, c.majorVersion);
    if (c.registry != Registry::NoKey)
        hostRegistryCreateKey(HKEY_LOCAL_MACHINE, kCurrentVersionKey, true);
    if (c.registry == Registry::Value)
        hostRegistrySetValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", REG_SZ,
                             c.programFilesDir + '\0');
    if (c.registry == Registry::UnterminatedValue)
        hostRegistrySetValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", REG_SZ,
                             c.programFilesDir);
    hostSetLocalAppData(c.localAppData);
    if (c.fault != kNoFault)
        hostInjectFault(c.fault, 0, FaultRepeat::FromThenOn, ERROR_ACCESS_DENIED);
}

std::vector<DecisionCase> decisionCases()
{
    const auto NT = VER_PLATFORM_WIN32_NT;
    const auto V = Registry::Value;
    const auto PerUser = Choice::PerUser;
    const auto Fallback = Choice::Fallback;
    return {
        {"NT 6, game inside Program Files", NT, 6, V, kProgramFiles, kGame, kLocal, kNoFault,
         PerUser, 1},
        {"NT 10", NT, 10, V, kProgramFiles, kGame, kLocal, kNoFault, PerUser, 1},
        {"NT 5, game inside Program Files", NT, 5, V, kProgramFiles, kGame, kLocal, kNoFault,
         Fallback, 1},
        {"Windows 95 family of major version 6", VER_PLATFORM_WIN32_WINDOWS, 6, V,
         kProgramFiles, kGame, kLocal, kNoFault, Fallback, 1},

        {"key missing", NT, 6, Registry::NoKey, "", kGame, kLocal, kNoFault, Fallback, 1},
        {"key cannot be opened", NT, 6, V, kProgramFiles, kGame, kLocal,
         HostCall::RegOpenKeyExA, Fallback, 1},
        {"value missing", NT, 6, Registry::NoValue, "", kGame, kLocal, kNoFault, Fallback, 1},
        // The install folder is the value's first 259 bytes: a value cut to fit would match.
        {"value of 300 bytes does not fit", NT, 6, V, kLongestText + std::string(40, 'p'),
         kLongestText, kLocal, kNoFault, Choice::Nothing, 0},
        {"value of 260 bytes stored without terminator does not fit", NT, 6,
         Registry::UnterminatedValue, kLongestText + "p", kLongestText, kLocal, kNoFault,
         Choice::Nothing, 0},
        {"value of 259 bytes and its terminator fits", NT, 6, V, kLongestText, kLongestText,
         kLocal, kNoFault, PerUser, 1},
        {"shorter value stored without terminator", NT, 6, Registry::UnterminatedValue,
         kProgramFiles, kGame, kLocal, kNoFault, PerUser, 1},

        {"letter case: install folder in lower case", NT, 6, V, kProgramFiles,
         "c:\\program files\\game", kLocal, kNoFault, PerUser, 1},
        {"letter case: ProgramFilesDir in upper case", NT, 6, V, "C:\\PROGRAM FILES", kGame,
         kLocal, kNoFault, PerUser, 1},
        {"no separator needed: Program Files (x86)", NT, 6, V, kProgramFiles,
         "C:\\Program Files (x86)\\Game", kLocal, kNoFault, PerUser, 1},
        {"no separator needed: Program FilesX", NT, 6, V, kProgramFiles,
         "C:\\Program FilesX\\Game", kLocal, kNoFault, PerUser, 1},
        {"empty ProgramFilesDir matches any install folder", NT, 6, V, "", "C:\\Games\\Game",
         kLocal, kNoFault, PerUser, 1},
        {"install folder shorter than ProgramFilesDir", NT, 6, V, kProgramFiles, "C:\\Program",
         kLocal, kNoFault, Fallback, 1},
        {"install folder outside Program Files", NT, 6, V, kProgramFiles, "C:\\Games\\Game",
         kLocal, kNoFault, Fallback, 1},
        {"only ASCII letters fold: [ is not {", NT, 6, V, "C:\\Games[1]", "C:\\Games{1}\\Game",
         kLocal, kNoFault, Fallback, 1},
        {"byte by byte: a trail byte A matches a", NT, 6, V, "C:\\\x83" "A",
         "C:\\\x83" "a" "\\Game", kLocal, kNoFault, PerUser, 1},

        {"shell allocator unavailable", NT, 6, V, kProgramFiles, kGame, kLocal,
         HostCall::SHGetMalloc, Fallback, 1},
        {"special folder location fails", NT, 6, V, kProgramFiles, kGame, kLocal,
         HostCall::SHGetSpecialFolderLocation, Fallback, 1},
        {"item list yields no path", NT, 6, V, kProgramFiles, kGame, kLocal,
         HostCall::SHGetPathFromIDListA, Fallback, 1},
        {"no local application-data folder", NT, 6, V, kProgramFiles, kGame, "", kNoFault,
         Fallback, 1},

        {"a file named save in the way", NT, 5, V, kProgramFiles, "C:\\Blocked", kLocal,
         kNoFault, Fallback, 1},
        {"install folder missing", NT, 5, V, kProgramFiles, "C:\\Missing\\Game", kLocal,
         kNoFault, Fallback, 0},
        {"local application-data folder missing", NT, 6, V, kProgramFiles, kGame,
         "C:\\NoSuchLocal", kNoFault, PerUser, 0},
        {"folder creation refused", NT, 5, V, kProgramFiles, "C:\\Games\\Game", kLocal,
         HostCall::CreateDirectoryA, Fallback, 0},
        {"install folder ending in a backslash", NT, 5, V, kProgramFiles, "C:\\Games\\Game\\",
         kLocal, kNoFault, Fallback, 1},

        {"per-user path of 259 bytes fits", NT, 6, V, kProgramFiles, kGame, kLongestLocal,
         kNoFault, PerUser, 1},
        {"per-user path of 260 bytes does not fit", NT, 6, V, kProgramFiles, kGame,
         kLongestLocal + "a", kNoFault, Fallback, 1},
        {"fallback path of 259 bytes fits", NT, 5, V, kProgramFiles, kLongestGame, kLocal,
         kNoFault, Fallback, 1},
        {"fallback path of 260 bytes does not fit", NT, 5, V, kProgramFiles, kLongestGame + "b",
         kLocal, kNoFault, Choice::Nothing, 0},
        {"neither path fits", NT, 6, V, "", kLongestGame + "b", kLongestLocal + "a", kNoFault,
         Choice::Nothing, 0},
    };
}

// The folder levels requested, in order, and the path saveFolder must then hold.
std::vector<std::string> expectedCreations(const DecisionCase& c)
{
    switch (c.choice) {
    case Choice::PerUser: {
        std::string maker = c.localAppData + "\\Quelm";
        std::string title = maker + "\\" TITLE_FOLDER_NAME;
        return {maker, title, title + "\\save"};
    }
    case Choice::Fallback:
        return {c.installFolder + "\\save"};
    case Choice::Nothing:
        break;
    }
    return {};
}

}  // namespace

TEST(SaveFolderDecision, ChoosesCreatesAndTestsTheFolderForEveryOutcome)
{
    for (const DecisionCase& c : decisionCases()) {
        SCOPED_TRACE(c.label);
        hostReset();
        TempFolder temp;
        makeDriveC(temp);
        setInstallFolder(c.installFolder);
        setUpPlatform(c);
        size_t fixtureFolders = hostTraceOf(HostCall::CreateDirectoryA).size();

        int result = prepareSaveFolder("Quelm", TITLE_FOLDER_NAME);

        std::vector<std::string> creations = expectedCreations(c);
        std::string chosen = creations.empty() ? "" : creations.back();
        EXPECT_EQ(result, c.result) << "save folder " << saveFolder;
        EXPECT_EQ(saveFolder, chosen);
        std::vector<std::string> requested = hostTraceOf(HostCall::CreateDirectoryA);
        requested.erase(requested.begin(), requested.begin() + fixtureFolders);
        EXPECT_EQ(requested, creations);
        EXPECT_EQ(hostOpenKeys(), 0u);
        EXPECT_EQ(hostOpenHandles(), 0u);
        EXPECT_EQ(hostShellObjectsHeld(), 0u);
        EXPECT_TRUE(hostMessageBoxes().empty());
        hostClearFaults();
    }
    hostReset();
}

// The version record is not to be trusted after a failed query: here it still holds what the
// first, successful query left in the same place.
TEST(SaveFolderDecision, FailedVersionQueryTakesTheFallback)
{
    hostReset();
    TempFolder temp;
    makeDriveC(temp);
    setInstallFolder(kGame);
    setUpPlatform({"NT 10", VER_PLATFORM_WIN32_NT, 10, Registry::Value, kProgramFiles, kGame,
                   kLocal, kNoFault, Choice::PerUser, 1});
    hostInjectFault(HostCall::GetVersionExA, 1, FaultRepeat::Once, ERROR_INVALID_PARAMETER);

    int first = prepareSaveFolder("Quelm", TITLE_FOLDER_NAME);
    int second = prepareSaveFolder("Quelm", TITLE_FOLDER_NAME);

    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(saveFolder, kGame + "\\save");
    hostReset();
}

TEST(SaveFolderDecision, ApplyingAgainReusesTheFoldersAndKeepsPerUserSaves)
{
    hostReset();
    TempFolder temp;
    makeDriveC(temp);
    setInstallFolder(kGame);
    setUpPlatform({"NT 6", VER_PLATFORM_WIN32_NT, 6, Registry::Value, kProgramFiles, kGame,
                   kLocal, kNoFault, Choice::PerUser, 1});
    const std::string perUser = kLocal + "\\Quelm\\" TITLE_FOLDER_NAME "\\save";
    ASSERT_EQ(prepareSaveFolder("Quelm", TITLE_FOLDER_NAME), 1);
    writeFile(perUser + "\\save000.sav", "played since");
    makeFolder(kGame + "\\save");
    writeFile(kGame + "\\save\\save000.sav", "old");

    resetSaveData();
    ASSERT_EQ(prepareSaveFolder("Quelm", TITLE_FOLDER_NAME), 1);
    ASSERT_EQ(writeInstallIni(), 1);

    EXPECT_EQ(saveFolder, perUser);
    EXPECT_EQ(fileContents(perUser + "\\save000.sav"), "played since");
    EXPECT_FALSE(fileExists(kGame + "\\save\\save000.sav"));
    EXPECT_EQ(fileContents(kGame + "\\Install.ini"), "save=" + perUser);
    hostReset();
}
