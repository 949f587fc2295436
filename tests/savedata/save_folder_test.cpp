// The save folder and Install.ini on the platform as it is: the real registry, version and
// shell folders under Wine; natively the host layer's defaults, which choose the fallback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "save_data.h"
#include "savedata_state.h"
#include "test_files.h"

namespace fs = std::filesystem;

// Folders outside the program-files folder, as temporary folders are: the fallback.
TEST(SaveFolderOutsideProgramFiles, CreatesSaveInTheInstallFolderAndNamesItInInstallIni)
{
    TempFolder temp;
    const std::string game = temp / "Game";
    makeFolder(game);
    writeFile(game + "\\Install.ini", "save=C:\\Somewhere\\much\\longer\\than\\the\\new\\one\r\n");

    setInstallFolder(game);
    ASSERT_EQ(prepareSaveFolder("Quelm", TITLE_FOLDER_NAME), 1);
    EXPECT_STREQ(saveFolder, (game + "\\save").c_str());
    EXPECT_TRUE(fileExists(game + "\\save"));

    ASSERT_EQ(writeInstallIni(), 1);
    EXPECT_EQ(fileContents(game + "\\Install.ini"), "save=" + game + "\\save")
        << "the single entry, with no line end";
}

TEST(SaveFolderOutsideProgramFiles, FileNamedSaveInTheWayCountsAsTheFolder)
{
    TempFolder temp;
    const std::string game = temp / "Game";
    makeFolder(game);
    writeFile(game + "\\save", "not a folder");

    setInstallFolder(game);
    EXPECT_EQ(prepareSaveFolder("Quelm", TITLE_FOLDER_NAME), 1);
    EXPECT_STREQ(saveFolder, (game + "\\save").c_str());
    EXPECT_EQ(fileContents(game + "\\save"), "not a folder");
}

TEST(SaveFolderOutsideProgramFiles, MissingInstallFolderFailsButKeepsTheChosenPath)
{
    TempFolder temp;
    const std::string game = temp / "Missing\\Game";

    setInstallFolder(game);
    EXPECT_EQ(prepareSaveFolder("Quelm", TITLE_FOLDER_NAME), 0);
    EXPECT_STREQ(saveFolder, (game + "\\save").c_str());
    EXPECT_FALSE(fileExists(temp / "Missing"));
}

TEST(InstallIni, UnwritableInstallFolderLeavesNothingBehind)
{
    TempFolder temp;
    setInstallFolder(temp / "Missing");
    std::memcpy(saveFolder, "C:\\save", sizeof "C:\\save");
    EXPECT_EQ(writeInstallIni(), 0);
    EXPECT_FALSE(fileExists(temp / "Missing"));
}

// --- The per-user branch on this platform ---------------------------------------------------

static bool readProgramFilesDir(std::string* text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer - 1;
    LSTATUS status = RegQueryValueExA(key, "ProgramFilesDir", NULL, NULL, (LPBYTE)buffer, &size);
    RegCloseKey(key);
    *text = buffer;
    return status == ERROR_SUCCESS && !text->empty();
}

static bool hasPerUserFolders()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion >= 6;
}

// Removes, at the end of the test, the levels of the per-user save folder that the test
// made, and nothing that was there before it: other tests may share the Wine prefix.
class PerUserFoldersCleanup {
public:
    explicit PerUserFoldersCleanup(const std::string& localAppData)
    {
        // The host path in Unicode: the title folder name is code page 932 in the system.
        fs::path level = fs::u8path(localAppData);
        for (const char* name : {u8"Quelm", u8"ぴこぺこらんど！", u8"save"}) {
            level /= fs::u8path(name);
            std::error_code error;
            if (!fs::exists(level, error)) {
                firstMade_ = level;
                break;
            }
        }
    }
    ~PerUserFoldersCleanup()
    {
        std::error_code ignored;
        if (!firstMade_.empty())
            fs::remove_all(firstMade_, ignored);
    }

private:
    fs::path firstMade_;
};

TEST(SaveFolderInsideProgramFiles, CreatesThePerUserFolderUnderLocalAppData)
{
    std::string programFiles;
    const char* localAppData = std::getenv("LOCALAPPDATA");
    if (!readProgramFilesDir(&programFiles) || !localAppData || !hasPerUserFolders())
        GTEST_SKIP() << "this platform has no ProgramFilesDir, local application-data folder "
                        "or Windows version 6 or later to test against";

    // A made-up game inside the real program-files folder, named after a temporary folder so
    // that no other run uses the same name.
    TempFolder unique;
    const std::string game = programFiles + "\\updater-test-" +
                             unique.path().substr(unique.path().rfind('-') + 1);
    makeFolder(game);
    struct RemoveGame {
        std::string path;
        ~RemoveGame() { std::error_code e; fs::remove_all(fs::path(path), e); }
    } removeGame{game};
    PerUserFoldersCleanup cleanup(localAppData);

    setInstallFolder(game);
    const std::string maker = std::string(localAppData) + "\\Quelm";
    const std::string title = maker + "\\" TITLE_FOLDER_NAME;
    ASSERT_EQ(prepareSaveFolder("Quelm", TITLE_FOLDER_NAME), 1);
    EXPECT_EQ(lstrcmpiA(saveFolder, (title + "\\save").c_str()), 0) << saveFolder;
    EXPECT_TRUE(fileExists(maker));
    EXPECT_TRUE(fileExists(title));
    EXPECT_TRUE(fileExists(title + "\\save"));
    EXPECT_FALSE(fileExists(game + "\\save")) << "the install folder gets no save folder";

    ASSERT_EQ(writeInstallIni(), 1);
    EXPECT_EQ(fileContents(game + "\\Install.ini"), std::string("save=") + saveFolder);
}
