// Install.ini: its exact bytes, and that a failed write leaves the earlier file whole.
#include <gtest/gtest.h>

#include <string>

#include "host_control.h"
#include "save_data.h"
#include "savedata_state.h"
#include "test_files.h"

namespace {

const char kOldIni[] = "save=D:\\Old\\place\\of\\the\\saves\r\n[other]\r\nkey=value\r\n";

class InstallIni : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostReset();
        std::string host = temp_.path();
        for (char& c : host)
            if (c == '\\')
                c = '/';
        hostMapDrive('D', host);
        makeFolder("D:\\Game");
        makeFolder("D:\\Program Files");
        makeFolder("D:\\Program Files\\Game");
        makeFolder("D:\\Local");
    }
    void TearDown() override { hostReset(); }

    TempFolder temp_;
};

}  // namespace

TEST_F(InstallIni, HoldsExactlyTheSaveEntryInPlaceOfWhatWasThere)
{
    struct Case {
        const char* label;
        const char* installFolder;
        DWORD majorVersion;
        const char* expected;
    } cases[] = {
        {"fallback: the 17 bytes of D:\\Game", "D:\\Game", 5, "save=D:\\Game\\save"},
        {"install folder ending in a backslash, kept as built", "D:\\Game\\", 5,
         "save=D:\\Game\\\\save"},
        {"per-user folder, in code page 932", "D:\\Program Files\\Game", 6,
         "save=D:\\Local\\Quelm\\" TITLE_FOLDER_NAME "\\save"},
    };
    hostRegistryCreateKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion");
    hostRegistrySetValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir", REG_SZ, std::string("D:\\Program Files", 17));
    hostSetLocalAppData("D:\\Local");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string ini = std::string(c.installFolder) + "\\Install.ini";
        writeFile(ini, kOldIni);
        hostSetWindowsVersion(VER_PLATFORM_WIN32_NT, c.majorVersion);
        setInstallFolder(c.installFolder);
        ASSERT_EQ(prepareSaveFolder("Quelm", TITLE_FOLDER_NAME), 1);

        EXPECT_EQ(writeInstallIni(), 1);

        EXPECT_EQ(fileContents(ini), c.expected);
        EXPECT_FALSE(fileExists(std::string(c.installFolder) + "\\Install.in~"));
        EXPECT_EQ(hostOpenHandles(), 0u);
    }
}

// Whatever step of the writing fails, the file holds its earlier content whole, not an empty
// or cut file.
TEST_F(InstallIni, FailedWriteLeavesTheEarlierFileWhole)
{
    struct Case {
        const char* label;
        HostCall call;
        unsigned succeedFirst;
        bool shortWrite;
    } cases[] = {
        {"the file cannot be opened for writing", HostCall::CreateFileA, 0, false},
        {"the new content cannot be created", HostCall::CreateFileA, 1, false},
        {"the write fails", HostCall::WriteFile, 0, false},
        {"the write comes up short", HostCall::WriteFile, 0, true},
        {"the flush fails", HostCall::FlushFileBuffers, 0, false},
        {"the replacement fails", HostCall::MoveFileExA, 0, false},
    };
    setInstallFolder("D:\\Game");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        writeFile("D:\\Game\\Install.ini", kOldIni);
        wsprintfA(saveFolder, "%s", "D:\\Game\\save");
        if (c.shortWrite)
            hostInjectShortTransfer(c.call, c.succeedFirst, FaultRepeat::Once, 3);
        else
            hostInjectFault(c.call, c.succeedFirst, FaultRepeat::Once, ERROR_DISK_FULL);

        EXPECT_EQ(writeInstallIni(), 0);

        hostClearFaults();
        EXPECT_EQ(fileContents("D:\\Game\\Install.ini"), kOldIni);
        EXPECT_FALSE(fileExists("D:\\Game\\Install.in~"));
        EXPECT_EQ(hostOpenHandles(), 0u);
        EXPECT_TRUE(hostMessageBoxes().empty());
    }
}
