// What the installation record yields: the version and folder the dialog shows, the re-apply
// question, and the InstallFolder data that count as "not installed".
#include "resource.h"
#include "updater_run.h"

struct VersionCase {
    const char* label;
    DWORD type;        // REG_NONE: no Version value
    std::string data;  // Version's bytes
    const char* shown;
    bool asks;  // the re-apply question comes before the dialog
};

static void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << c.label;
}

class RecordedVersion : public UpdaterRun, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(RecordedVersion, IsShownAndDecidesTheQuestion)
{
    const VersionCase& c = GetParam();
    recordGameFolder();
    if (c.type != REG_NONE)
        setRecordValue("Version", c.type, c.data);

    run({IDOK}, {kExit});

    EXPECT_EQ(hostControlText(IDC_VERSION), c.shown);
    EXPECT_EQ(hostControlText(IDC_FOLDER), game.path());
    EXPECT_EQ(messagesShown(),
              c.asks ? std::vector<std::string>{reapplyQuestion()} : std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(
    , RecordedVersion,
    ::testing::Values(
        VersionCase{"NoValue", REG_NONE, "", "1.000", false},
        VersionCase{"Code1000", REG_BINARY, le32(1000), "1.000", false},
        VersionCase{"Code1009", REG_BINARY, le32(1009), "1.009", false},
        VersionCase{"Code1010", REG_BINARY, le32(1010), "1.010", true},
        VersionCase{"Code999", REG_BINARY, le32(999), "0.999", false},
        VersionCase{"Code0", REG_BINARY, le32(0), "0.000", false},
        VersionCase{"Code10000", REG_BINARY, le32(10000), "10.000", true},
        VersionCase{"LargestCodeComparedUnsigned", REG_BINARY, le32(0xFFFFFFFF), "4294967.295",
                    true},
        VersionCase{"DwordCode1010", REG_DWORD, le32(1010), "1.010", true},
        VersionCase{"NoData", REG_BINARY, "", "0.000", false},
        VersionCase{"OneByteIsTheLowByte", REG_BINARY, "\x07", "0.007", false},
        VersionCase{"TwoBytes", REG_BINARY, "\xF2\x03", "1.010", true},
        VersionCase{"ThreeBytes", REG_BINARY, std::string("\xA0\x86\x01", 3), "100.000", true},
        VersionCase{"FiveBytesAreTooMany", REG_BINARY, le32(1010) + std::string(1, '\0'),
                    "1.000", false}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.label); });

struct FolderCase {
    const char* label;
    DWORD type;        // REG_NONE: no InstallFolder value
    std::string data;  // InstallFolder's bytes
    const char* shown;  // null: not installed
};

static void PrintTo(const FolderCase& c, std::ostream* out)
{
    *out << c.label;
}

class RecordedFolder : public UpdaterRun, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RecordedFolder, IsShownWholeOrRefusedAsNotInstalled)
{
    const FolderCase& c = GetParam();
    hostRegistryCreateKey(HKEY_CURRENT_USER, RECORD_KEY);
    if (c.type != REG_NONE)
        setRecordValue("InstallFolder", c.type, c.data);
    setRecordValue("Version", REG_BINARY, le32(1000));

    run({}, {kExit});

    if (c.shown) {
        EXPECT_EQ(hostControlText(IDC_FOLDER), c.shown);
        EXPECT_EQ(messagesShown(), std::vector<std::string>());
    } else {
        EXPECT_EQ(messagesShown(), std::vector<std::string>{notInstalledMessage()});
        EXPECT_EQ(hostCallCount(HostCall::DialogBoxParamA), 0u) << "the dialog ran";
    }
    EXPECT_EQ(hostCallCount(HostCall::RegSetValueExA), 0u) << "the record was written";
}

static const std::string kFolder = "D:\\Games\\ぴこぺこらんど";
static const std::string kFolderOf259Bytes = "D:\\" + std::string(256, 'x');

INSTANTIATE_TEST_SUITE_P(
    , RecordedFolder,
    ::testing::Values(
        FolderCase{"TerminatedPath", REG_SZ, kFolder + '\0', kFolder.c_str()},
        FolderCase{"TypeIsNotExamined", REG_BINARY, kFolder + '\0', kFolder.c_str()},
        FolderCase{"StoredWithoutTerminator", REG_SZ, kFolder, kFolder.c_str()},
        FolderCase{"LongestPathIsShownWhole", REG_SZ, kFolderOf259Bytes + '\0',
                   kFolderOf259Bytes.c_str()},
        FolderCase{"Missing", REG_NONE, "", nullptr},
        FolderCase{"Empty", REG_SZ, std::string(1, '\0'), nullptr},
        FolderCase{"NoData", REG_SZ, "", nullptr},
        FolderCase{"OneByteTooLong", REG_SZ, kFolderOf259Bytes + "y" + '\0', nullptr},
        FolderCase{"FullBufferWithoutTerminator", REG_SZ, kFolderOf259Bytes + "y", nullptr}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.label); });
