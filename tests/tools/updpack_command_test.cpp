// The updpack command as a publisher runs it: exit codes, messages on stderr, no output file
// after a refusal, and the listing.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive_format.h"

namespace fs = std::filesystem;

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

static std::string hostFileContents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

static void writeHostFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class UpdpackCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
                  ("updpack-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    ToolRun run(const std::string& arguments)
    {
        fs::path out = folder_ / "stdout.txt", err = folder_ / "stderr.txt";
        std::string command = std::string("cd '") + folder_.string() + "' && '" UPDPACK_PATH "' " +
                              arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
        int status = std::system(command.c_str());
        ToolRun result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, hostFileContents(out),
                       hostFileContents(err)};
        fs::remove(out);
        fs::remove(err);
        return result;
    }

    fs::path folder_;
};

TEST_F(UpdpackCommand, HelpAndUsageErrors)
{
    ToolRun help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: updpack pack [--narrow-slots] ARCHIVE FILE..."), std::string::npos)
        << help.out;
    EXPECT_EQ(help.err, "");

    struct Case {
        const char* arguments;
        const char* messagePart;
    } cases[] = {
        {"", "no command given"},
        {"unpack x", "unknown command 'unpack'"},
        {"pack", "no ARCHIVE given"},
        {"pack --wide out.dat", "unknown option '--wide'"},
        {"list", "exactly one ARCHIVE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("updpack ") + c.arguments);
        ToolRun r = run(c.arguments);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.messagePart), std::string::npos) << r.err;
    }
}

TEST_F(UpdpackCommand, PacksFilesUnderTheirBaseNamesAndListsThem)
{
    writeHostFile(folder_ / "payload/pkadv.exe", "program bytes");
    writeHostFile(folder_ / "payload/Archive.dat", "data");
    ToolRun packed = run("pack --narrow-slots UpdateData.dat payload/pkadv.exe payload/Archive.dat");
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_EQ(packed.out + packed.err, "");

    std::string expected, error;
    ASSERT_TRUE(packArchive({{"pkadv.exe", "program bytes"}, {"Archive.dat", "data"}}, 16,
                            &expected, &error));
    EXPECT_TRUE(hostFileContents(folder_ / "UpdateData.dat") == expected);
    EXPECT_FALSE(fs::exists(folder_ / "UpdateData.dat.part"));

    ToolRun listed = run("list UpdateData.dat");
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out,
              "UpdateData.dat: 2 members, 16-byte name slots, data area from byte 64, file 81 bytes\n"
              "    offset       size   position  name\n"
              "         0         13         64  \"pkadv.exe\"\n"
              "        13          4         77  \"Archive.dat\"\n");
    EXPECT_EQ(listed.err, "");
}

TEST_F(UpdpackCommand, RefusalWritesNothingAndKeepsAnExistingArchive)
{
    writeHostFile(folder_ / "a/Archive.dat", "one");
    writeHostFile(folder_ / "b/ARCHIVE.DAT", "two");
    writeHostFile(folder_ / "c/empty.dat", "");
    writeHostFile(folder_ / "c/seventeen-bytes.x", "x");
    struct Case {
        const char* arguments;
        const char* messagePart;
    } cases[] = {
        {"pack new.dat a/Archive.dat b/ARCHIVE.DAT", "repeats \"Archive.dat\""},
        {"pack new.dat c/empty.dat", "is empty"},
        {"pack --narrow-slots new.dat c/seventeen-bytes.x", "at most 15"},
        {"pack new.dat a/missing.dat", "cannot read 'a/missing.dat'"},
        {"pack old.dat a/Archive.dat b/ARCHIVE.DAT", "nothing written"},
    };
    writeHostFile(folder_ / "old.dat", "previous archive");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("updpack ") + c.arguments);
        ToolRun r = run(c.arguments);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.messagePart), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(folder_ / "new.dat"));
    }
    EXPECT_EQ(hostFileContents(folder_ / "old.dat"), "previous archive");
}

TEST_F(UpdpackCommand, ListWarnsOnStderrWhereAMemberRunsPastTheEnd)
{
    writeHostFile(folder_ / "cut.dat",
                  layOutArchive(0x32, {{"pkadv.exe", 0, 100}}, std::string(40, 'x')));
    ToolRun r = run("list cut.dat");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("         0        100         56  \"pkadv.exe\""), std::string::npos)
        << r.out;
    EXPECT_EQ(r.err,
              "updpack: warning: cut.dat: member 0 \"pkadv.exe\": bytes 56 to 156 run past the "
              "end of the file (96 bytes)\n");

    ToolRun missing = run("list nowhere.dat");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read 'nowhere.dat'"), std::string::npos) << missing.err;
}
