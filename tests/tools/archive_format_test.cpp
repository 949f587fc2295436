// The packer's format library: the layout it writes, what it refuses, how it lists, and that
// the updater's own lookup finds what it packed.
#include <gtest/gtest.h>

#include "archive.h"
#include "archive_format.h"
#include "test_files.h"

static uint32_t le32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | (unsigned char)bytes.at(at + i);
    return value;
}

TEST(ArchiveFormat, LaysOutThreeMembersAtTheDocumentedPositions)
{
    struct Case {
        unsigned slotWidth;
        unsigned char formatDigit;
        size_t slots[3];
        size_t extents[3];
        size_t dataArea;
    } cases[] = {
        {32, 0x32, {16, 48, 80}, {112, 120, 128}, 136},
        {16, 0x31, {16, 32, 48}, {64, 72, 80}, 88},
    };
    std::vector<PackMember> members = {
        {"pkadv.exe", "AAAA"}, {"Archive.dat", "BBBBBB"}, {"Instdata.pak", "C"}};
    for (const Case& c : cases) {
        SCOPED_TRACE("slot width " + std::to_string(c.slotWidth));
        std::string archive, error;
        ASSERT_TRUE(packArchive(members, c.slotWidth, &archive, &error)) << error;
        EXPECT_EQ((unsigned char)archive[11], c.formatDigit);
        EXPECT_EQ(le32(archive, 12), 3u);
        EXPECT_EQ(archive.size(), c.dataArea + 11);
        uint32_t expectedOffset = 0;
        for (int i = 0; i < 3; ++i) {
            std::string slot = archive.substr(c.slots[i], c.slotWidth);
            EXPECT_EQ(std::string(slot.c_str()), members[i].name) << "slot " << i;
            EXPECT_EQ(slot.find_first_not_of('\0', members[i].name.size()), std::string::npos)
                << "slot " << i << " is NUL-padded";
            EXPECT_EQ(le32(archive, c.extents[i]), expectedOffset) << "offset of member " << i;
            EXPECT_EQ(le32(archive, c.extents[i] + 4), members[i].bytes.size()) << "member " << i;
            EXPECT_EQ(archive.substr(c.dataArea + expectedOffset, members[i].bytes.size()),
                      members[i].bytes);
            expectedOffset += (uint32_t)members[i].bytes.size();
        }
    }
}

TEST(ArchiveFormat, RefusesWhatTheUpdaterCouldNeverFindOrRead)
{
    struct Case {
        const char* label;
        unsigned slotWidth;
        std::vector<PackMember> members;
        const char* messagePart;
    } cases[] = {
        {"name of 32 bytes in 32-byte slots", 32,
         {{std::string(32, 'n'), "x"}}, "at most 31"},
        {"name of 16 bytes in 16-byte slots", 16, {{"abcdefghijk.dat2", "x"}}, "at most 15"},
        {"empty name", 32, {{"pkadv.exe", "x"}, {"", "x"}}, "empty name"},
        {"backslash", 32, {{"data\\pkadv.exe", "x"}}, "backslash"},
        {"second byte 0x5C of a double-byte character", 32, {{"\x97\x5C.dat", "x"}},
         "backslash"},
        {"NUL inside the name", 32, {{std::string("a\0b", 3), "x"}}, "NUL"},
        {"duplicate ignoring case", 32, {{"Archive.dat", "x"}, {"ARCHIVE.DAT", "y"}},
         "repeats \"Archive.dat\""},
        {"empty member", 32, {{"Instdata.pak", ""}}, "empty"},
        {"slot width other than 16 or 32", 24, {{"pkadv.exe", "x"}}, "32 or 16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string archive = "untouched", error;
        EXPECT_FALSE(packArchive(c.members, c.slotWidth, &archive, &error));
        EXPECT_NE(error.find(c.messagePart), std::string::npos) << "message: " << error;
        EXPECT_EQ(archive, "untouched");
    }
    std::string archive, error;
    EXPECT_TRUE(packArchive({{std::string(31, 'n'), "x"}}, 32, &archive, &error)) << error;
    EXPECT_TRUE(packArchive({{std::string(15, 'n'), "x"}}, 16, &archive, &error)) << error;
}

TEST(ArchiveFormat, ListsMembersAndWarnsWhereTheyRunPastTheEnd)
{
    std::string archive = layOutArchive(
        0x32, {{"pkadv.exe", 0, 4}, {"Archive.dat", 2, 10}, {std::string(32, 'X'), 4, 0}},
        "ABCDEF");
    ArchiveListing listing;
    std::string error;
    ASSERT_TRUE(listArchive(archive, &listing, &error)) << error;
    ASSERT_EQ(listing.members.size(), 3u);
    EXPECT_EQ(listing.dataAreaStart, 136u);
    EXPECT_FALSE(listing.members[0].runsPastEnd);
    EXPECT_TRUE(listing.members[1].runsPastEnd);
    EXPECT_EQ(listing.members[1].dataPosition, 138u);
    EXPECT_FALSE(listing.members[2].nameHasNul);
    ASSERT_EQ(listing.warnings.size(), 2u);
    EXPECT_NE(listing.warnings[0].find("\"Archive.dat\": bytes 138 to 148 run past the end of "
                                       "the file (142 bytes)"),
              std::string::npos)
        << listing.warnings[0];
    EXPECT_NE(listing.warnings[1].find("holds no NUL"), std::string::npos) << listing.warnings[1];
    std::string expectedStart =
        "3 members, 32-byte name slots, data area from byte 136, file 142 bytes\n"
        "    offset       size   position  name\n"
        "         0          4        136  \"pkadv.exe\"\n"
        "         2         10        138  \"Archive.dat\"\n";
    std::string text = formatListing(listing);
    EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart) << text;
}

TEST(ArchiveFormat, ListingHoldsToWhatTheFileSupplies)
{
    ArchiveListing listing;
    std::string error;
    ASSERT_TRUE(listArchive("short", &listing, &error));
    EXPECT_EQ(listing.memberCount, 0u);
    ASSERT_EQ(listing.warnings.size(), 1u);
    EXPECT_NE(listing.warnings[0].find("shorter than the 16-byte header"), std::string::npos);

    std::string huge = layOutArchive(0x31, 0x0A000000, {}, "");  // 0xF0000000 directory bytes
    ASSERT_TRUE(listArchive(huge, &listing, &error)) << error;
    EXPECT_LT(listing.members.size(), 3u) << "a count the file cannot hold is not listed whole";

    std::string tooLong = layOutArchive(0x32, 0x10000000, {}, "");
    EXPECT_FALSE(listArchive(tooLong, &listing, &error));
    EXPECT_NE(error.find("more than 32 bits"), std::string::npos) << error;
}

TEST(ArchiveFormat, UpdaterFindsEveryPackedMember)
{
    std::vector<PackMember> members = {{"pkadv.exe", patternBytes(3000, 1)},
                                       {"Archive.dat", patternBytes(17, 2)},
                                       {std::string(15, 'n'), patternBytes(1, 3)}};
    for (unsigned slotWidth : {kWideSlotWidth, kNarrowSlotWidth}) {
        SCOPED_TRACE("slot width " + std::to_string(slotWidth));
        std::string archive, error;
        ASSERT_TRUE(packArchive(members, slotWidth, &archive, &error)) << error;
        TempFolder folder;
        writeFile(folder / "UpdateData.dat", archive);
        for (const PackMember& member : members) {
            SCOPED_TRACE(member.name);
            HANDLE file = CreateFileA((folder / "UpdateData.dat").c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      NULL);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            DWORD position = 0;
            DWORD size = findArchiveMember(file, member.name.c_str(), &position);
            std::string bytes(size, '\0');
            DWORD read = 0;
            if (size)
                ReadFile(file, &bytes[0], size, &read, NULL);
            CloseHandle(file);
            EXPECT_EQ(size, member.bytes.size());
            EXPECT_EQ(archive.substr(position, size), member.bytes);
            EXPECT_TRUE(bytes == member.bytes) << "bytes read from where the lookup left the file";
        }
    }
}
