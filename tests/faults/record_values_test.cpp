// The installation record's InstallFolder and Version holding values of every registry type
// and of every length from 0 to 300 bytes. The type is never examined; the length decides:
// InstallFolder is taken when it yields a non-empty path terminated within 260 bytes, and
// Version when it has at most 4 bytes (the low-order bytes of the code). Nothing reads past
// the value (the sanitizer build watches), and the record is never written on Exit.
#include <gtest/gtest.h>

#include "front.h"
#include "host_control.h"

#define RECORD_KEY "Software\\Quelm\\PikopekoLand"

namespace {

const DWORD kEveryType[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFFFF};

struct Shown {
    bool dialog;
    std::vector<std::string> messages;  // texts
    std::string version;                // the version control's text
    std::string folder;                 // the folder control's text
};

// Runs WinMain with Exit clicked and Cancel given to the re-apply question.
Shown runToExit(const std::string& installFolder, DWORD folderType, const std::string& version,
                DWORD versionType, bool withVersion)
{
    hostReset();
    hostRegistrySetValue(HKEY_CURRENT_USER, RECORD_KEY, "InstallFolder", folderType,
                         installFolder);
    if (withVersion)
        hostRegistrySetValue(HKEY_CURRENT_USER, RECORD_KEY, "Version", versionType, version);
    hostScriptMessageBoxAnswers({IDCANCEL});
    hostScriptDialogCommands({IDCANCEL});
    char commandLine[] = "";
    EXPECT_EQ(WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, 1), 0);

    Shown shown;
    shown.dialog = hostCallCount(HostCall::DialogBoxParamA) == 1;
    for (const HostMessageBox& box : hostMessageBoxes())
        shown.messages.push_back(box.text);
    shown.version = hostControlText(1000);
    shown.folder = hostControlText(1001);

    DWORD type = 0;
    std::string bytes;
    EXPECT_EQ(hostRegistryGetValue(HKEY_CURRENT_USER, RECORD_KEY, "Version", &type, &bytes),
              withVersion);
    if (withVersion) {
        EXPECT_TRUE(type == versionType && bytes == version) << "Version was written";
    }
    EXPECT_EQ(hostRegistryGetValue(HKEY_CURRENT_USER, RECORD_KEY, "InstallFolder", &type, &bytes)
                  ? bytes
                  : "<missing>",
              installFolder)
        << "InstallFolder was written";
    EXPECT_EQ(hostOpenKeys(), 0u) << "registry keys left open";
    return shown;
}

// `length` bytes of a path-like text without a NUL.
std::string textOfLength(size_t length)
{
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += i % 20 == 19 ? '\\' : static_cast<char>('A' + i % 26);
    return text;
}

std::string versionText(DWORD code)
{
    char last[4] = {char('0' + code % 1000 / 100), char('0' + code % 100 / 10),
                    char('0' + code % 10), 0};
    return std::to_string(code / 1000) + "." + last;
}

const char kNotInstalled[] =
    "『ぴこぺこらんど』がインストールされていません。インストールが終了してから再度アップデートを"
    "行って下さいませ。";
const char kReapply[] = "既にこのパッチは適用済みです。\n更に上書きで適用しますか？";

}  // namespace

TEST(RecordValues, InstallFolderOfEveryTypeAndLength0To300)
{
    for (DWORD type : kEveryType) {
        for (size_t length = 0; length <= 300; ++length) {
            // The same length with the terminator as its last byte, and with none at all.
            for (bool terminated : {true, false}) {
                if (terminated && length == 0)
                    continue;
                std::string data = textOfLength(terminated ? length - 1 : length);
                if (terminated)
                    data += '\0';
                SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(length) +
                             " bytes, " + (terminated ? "terminated" : "unterminated"));
                Shown shown = runToExit(data, type, "", 0, false);

                std::string path = data.substr(0, data.find('\0'));
                bool taken = length <= MAX_PATH && !path.empty() && path.size() < MAX_PATH;
                if (taken) {
                    EXPECT_TRUE(shown.dialog);
                    EXPECT_TRUE(shown.messages.empty());
                    EXPECT_EQ(shown.folder, path) << "the folder shown";
                    EXPECT_EQ(shown.version, "1.000") << "no Version";
                } else {
                    EXPECT_FALSE(shown.dialog);
                    EXPECT_EQ(shown.messages, std::vector<std::string>{kNotInstalled});
                }
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}

TEST(RecordValues, VersionOfEveryTypeAndLength0To300)
{
    // Low-order bytes first: a code below 1010, one at it, and the largest.
    const std::string kPatterns[] = {std::string("\xE8\x03\x00\x00", 4),
                                     std::string("\xF2\x03\x00\x00", 4), "\xFF\xFF\xFF\xFF"};
    for (DWORD type : kEveryType) {
        for (const std::string& pattern : kPatterns) {
            for (size_t length = 0; length <= 300; ++length) {
                std::string data;
                for (size_t i = 0; i < length; ++i)
                    data += i < 4 ? pattern[i] : static_cast<char>(i * 7);
                SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(length) +
                             " bytes from " + std::to_string((unsigned char)pattern[0]));
                Shown shown = runToExit("C:\\Game", REG_SZ, data, type, true);

                DWORD code = 1000;  // taken when the value does not fit in 4 bytes
                if (length <= 4) {
                    code = 0;
                    for (size_t i = 0; i < length; ++i)
                        code |= static_cast<DWORD>(static_cast<unsigned char>(data[i])) << (8 * i);
                }
                if (length <= 4 && code >= 1010) {
                    EXPECT_EQ(shown.messages, std::vector<std::string>{kReapply});
                    EXPECT_FALSE(shown.dialog) << "the question was cancelled";
                } else {
                    EXPECT_TRUE(shown.messages.empty());
                    EXPECT_TRUE(shown.dialog);
                    EXPECT_EQ(shown.version, versionText(code));
                }
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}
