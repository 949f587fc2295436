// Payload streams over loose files and archive members in the current directory.
#include <gtest/gtest.h>

#include "archive_format.h"
#include "payload_stream.h"
#include "test_files.h"

namespace {

const char kArchiveName[] = "UpdateData.dat";

// A test's current directory, with the archive below in it unless a test removes it.
class PayloadStreamTest : public ::testing::Test {
protected:
    PayloadStreamTest() : current_(folder_.path())
    {
        std::string error;
        EXPECT_TRUE(packArchive({{"first.bin", "0123456789"}, {"pkadv.exe", archived_}}, 32,
                                &archive_, &error))
            << error;
        writeFile(kArchiveName, archive_);
    }

    // Opens, reads and checks the counts of a stream that must yield `expected` whole.
    void expectWholePayload(const char* name, DWORD source, const std::string& expected)
    {
        PayloadStream* stream = openPayload(name, kArchiveName);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->source, source);
        EXPECT_EQ(payloadSize(stream), expected.size());
        std::string bytes(expected.size() + 1, '\0');
        EXPECT_EQ(readPayload(stream, &bytes[0]), 1);
        EXPECT_EQ(stream->requested, expected.size());
        EXPECT_EQ(stream->transferred, expected.size());
        EXPECT_EQ(waitPayload(stream), 1);
        closePayload(stream);
        bytes.resize(expected.size());
        EXPECT_TRUE(bytes == expected) << "bytes of " << name;
    }

    // True when nobody holds the file: an exclusive open succeeds.
    static bool nobodyHolds(const char* path)
    {
        HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }

    TempFolder folder_;
    CurrentDirectory current_;
    std::string archived_ = patternBytes(5000, 7);
    std::string archive_;
};

}  // namespace

TEST_F(PayloadStreamTest, ArchivedMemberIsReadFromItsDataPosition)
{
    PayloadStream* stream = openPayload("pkadv.exe", kArchiveName);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->dataOffset, 16u + 2 * 40 + 10);
    EXPECT_EQ(stream->requested, 0u);
    EXPECT_EQ(stream->transferred, 0u);
    closePayload(stream);
    expectWholePayload("pkadv.exe", Archived, archived_);
    EXPECT_TRUE(nobodyHolds(kArchiveName));
}

TEST_F(PayloadStreamTest, LooseFileTakesThePlaceOfTheMember)
{
    writeFile("pkadv.exe", "loose bytes");
    expectWholePayload("pkadv.exe", Loose, "loose bytes");

    makeFolder("sub");
    writeFile("sub\\first.bin", "from the folder");
    expectWholePayload("sub\\first.bin", Loose, "from the folder");
    expectWholePayload((folder_.path() + "\\nowhere\\first.bin").c_str(), Archived, "0123456789");
}

TEST_F(PayloadStreamTest, LooseFileOfZeroBytesIsAStreamOfSizeZero)
{
    writeFile("pkadv.exe", "");
    expectWholePayload("pkadv.exe", Loose, "");
}

TEST_F(PayloadStreamTest, NoStreamWithoutAPayload)
{
    std::string withEmptyMember = layOutArchive(0x32, {{"empty.bin", 0, 0}}, "x");
    writeFile("Empty.dat", withEmptyMember);
    struct {
        const char* label;
        const char* name;
        const char* archive;
        bool archiveExists;
    } cases[] = {
        {"member absent", "missing.bin", kArchiveName, true},
        {"member of size 0", "empty.bin", "Empty.dat", true},
        {"neither loose file nor archive", "pkadv.exe", "NoArchive.dat", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(openPayload(c.name, c.archive), nullptr);
        if (c.archiveExists) {
            EXPECT_TRUE(nobodyHolds(c.archive)) << "the archive is closed again";
        }
    }
    EXPECT_EQ(readPayload(nullptr, nullptr), 0);
    EXPECT_EQ(waitPayload(nullptr), 0);
}

TEST_F(PayloadStreamTest, ReadEndingShortEndsTheWaitWithZero)
{
    // The member runs 1000 bytes past the end of the file; the wait must not poll forever.
    writeFile(kArchiveName, archive_.substr(0, archive_.size() - 1000));
    PayloadStream* stream = openPayload("pkadv.exe", kArchiveName);
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(payloadSize(stream), archived_.size());
    std::string bytes(archived_.size(), '\0');
    EXPECT_EQ(readPayload(stream, &bytes[0]), 1);
    EXPECT_EQ(stream->transferred, archived_.size() - 1000);
    EXPECT_EQ(waitPayload(stream), 0);
    closePayload(stream);
}
