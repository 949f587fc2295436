// findArchiveMember against archives laid out byte for byte by the packer's format library.
#include <gtest/gtest.h>

#include "archive.h"
#include "archive_format.h"
#include "test_files.h"

namespace {

struct Lookup {
    DWORD size;
    DWORD position;
    std::string bytesAtFilePosition;  // up to 8 bytes read from where the lookup left the file
};

Lookup lookUp(const std::string& archive, const char* name)
{
    TempFolder folder;
    writeFile(folder / "UpdateData.dat", archive);
    HANDLE file = CreateFileA((folder / "UpdateData.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    Lookup result = {0xdeadbeef, 0xdeadbeef, ""};
    result.size = findArchiveMember(file, name, &result.position);
    char bytes[8];
    DWORD read = 0;
    ReadFile(file, bytes, sizeof bytes, &read, NULL);
    result.bytesAtFilePosition.assign(bytes, read);
    CloseHandle(file);
    return result;
}

const std::string kData = "PKADVarch5ARCHxyz--tail";

// Members in directory order, with the data area kData.
const std::vector<RawDirectoryEntry> kDirectory = {
    {"pkadv.exe", 0, 5},      // "PKADV"
    {"ARCHIVE.DAT", 10, 4},   // "ARCH": found before its twin below
    {"archive.dat", 5, 5},    // "arch5"
    {"", 14, 3},              // the empty name: "xyz"
    {"empty.dat", 3, 0},
    {"past.end", 17, 1000},   // runs past the end of the file
    {"a/b", 19, 4},           // "tail"
    {"x\\y", 0, 5},           // holds a backslash: never matches
};

struct Case {
    const char* label;
    const char* name;
    DWORD size;
    DWORD offset;  // into the data area, when size is non-zero
};

const Case kCases[] = {
    {"slot 0", "pkadv.exe", 5, 0},
    {"stored in capitals, asked in mixed case", "Archive.dat", 4, 10},
    {"asked in capitals", "PKADV.EXE", 5, 0},
    {"folder part dropped", "C:\\game\\payload\\pkadv.exe", 5, 0},
    {"forward slash is part of the name", "a/b", 4, 19},
    {"forward slash: not the part after it", "b", 0, 0},
    {"trailing backslash matches only the empty slot", "folder\\", 3, 14},
    {"stored name with a backslash", "x\\y", 0, 0},
    {"size 0 reads as absent", "empty.dat", 0, 0},
    {"extent past the end of the file", "past.end", 1000, 17},
    {"absent", "missing.exe", 0, 0},
};

void checkCases(const std::string& archive, DWORD dataArea)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.label) + ": \"" + c.name + "\"");
        Lookup found = lookUp(archive, c.name);
        EXPECT_EQ(found.size, c.size);
        if (c.size == 0)
            continue;
        EXPECT_EQ(found.position, dataArea + c.offset);
        EXPECT_EQ(found.bytesAtFilePosition, kData.substr(c.offset, 8))
            << "the file is left at the member's first byte";
    }
}

}  // namespace

TEST(ArchiveLookup, WideSlots)
{
    checkCases(layOutArchive(0x32, kDirectory, kData), 16 + 8 * 40);
}

TEST(ArchiveLookup, NarrowSlotsForEveryOtherFormatDigit)
{
    for (unsigned char digit : {0x31, 0x00, 0x33, 0xFF}) {
        SCOPED_TRACE("format digit " + std::to_string(digit));
        checkCases(layOutArchive(digit, kDirectory, kData), 16 + 8 * 24);
    }
}

TEST(ArchiveLookup, ShortAndEmptyArchivesHoldNothing)
{
    std::string whole = layOutArchive(0x32, {{"pkadv.exe", 0, 4}}, "DATA");
    struct {
        const char* label;
        std::string archive;
    } cases[] = {
        {"member count 0", layOutArchive(0x32, {}, "DATA")},
        {"empty file", ""},
        {"12 bytes: the count is not there", whole.substr(0, 12)},
        {"cut inside the extent record: size not supplied", whole.substr(0, 16 + 32 + 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(lookUp(c.archive, "pkadv.exe").size, 0u);
        EXPECT_EQ(lookUp(c.archive, "").size, 0u);
    }
}

TEST(ArchiveLookup, StaysWithinTheDirectoryAndTheFormat)
{
    // 40 * 0x06666667 is 0x1_0000_0018: cut to 32 bits it would be a 24-byte directory
    // searched as if it held 107 million slots.
    std::string wrapping = layOutArchive(0x32, 0x06666667, {{"pkadv.exe", 0, 4}}, "DATA");
    EXPECT_EQ(lookUp(wrapping, "pkadv.exe").size, 0u) << "directory length beyond 32 bits";

    // Full 16-byte slots: one followed by the next slot's name, one followed by extent bytes
    // that hold no NUL and then the end of the directory.
    std::string fullFirst = layOutArchive(
        0x31, {{"ABCDEFGHIJKL.dat", 1, 3}, {"pkadv.exe", 0, 2}}, "DATA");
    Lookup found = lookUp(fullFirst, "abcdefghijkl.DAT");
    EXPECT_EQ(found.size, 3u) << "a slot without a NUL is compared within its 16 bytes";
    EXPECT_EQ(found.position, 16u + 48u + 1u);
    EXPECT_EQ(found.bytesAtFilePosition, "ATA");
    std::string fullLast = layOutArchive(0x31, {{"ABCDEFGHIJKL.dat", 0x01010101, 0x02020202}}, "");
    found = lookUp(fullLast, "ABCDEFGHIJKL.dat");
    EXPECT_EQ(found.size, 0x02020202u);
    EXPECT_EQ(found.position, 16u + 24u + 0x01010101u);

    // An offset of 2^31 or more would be a backwards move, onto the directory's own bytes.
    std::string backwards = layOutArchive(0x32, {{"pkadv.exe", 0xFFFFFFF8u, 4}}, "DATA");
    Lookup moved = lookUp(backwards, "pkadv.exe");
    EXPECT_EQ(moved.size, 0u);
    EXPECT_EQ(moved.position, 0u);
}
