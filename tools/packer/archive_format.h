// Building and reading update archives (UpdateData.dat) on the publisher's side.
//
// The layout, as the updater reads it (integers unsigned 32-bit little-endian):
//   header, 16 bytes: 11 bytes the updater does not examine; at 11 the format digit (0x32:
//   name slots are 32 bytes wide, anything else: 16); at 12 the member count N.
//   directory, N * (W + 8) bytes from 16: N name slots of W bytes, each a NUL-terminated bare
//   name, then N extent records of 8 bytes (offset from the end of the directory, size).
//   data area: from the end of the directory to the end of the file.
//
// Plain C++ without platform calls, so that the tests of both builds can make their fixtures
// with it.
#ifndef TOOLS_PACKER_ARCHIVE_FORMAT_H
#define TOOLS_PACKER_ARCHIVE_FORMAT_H

#include <cstdint>
#include <string>
#include <vector>

const unsigned kWideSlotWidth = 32;
const unsigned kNarrowSlotWidth = 16;
const unsigned char kWideFormatDigit = 0x32;    // '2'
const unsigned char kNarrowFormatDigit = 0x31;  // '1'; the updater takes any other value alike
const uint32_t kArchiveHeaderBytes = 16;
const uint32_t kExtentRecordBytes = 8;
// The updater moves to a member's data by a signed 32-bit distance.
const uint32_t kLargestMemberOffset = 0x7FFFFFFFu;

// One file to pack: the member's name and its bytes, stored as they are.
struct PackMember {
    std::string name;
    std::string bytes;
};

// Why packArchive refused a member; "" when it did not.
// The updater could never find or read a member whose name is empty, longer than the slot
// allows, holds a backslash or a NUL byte, or equals an earlier name ignoring ASCII case
// (the first one would always win); nor a member of 0 bytes (the updater takes it for an
// absent one); nor one that lies, even in part, beyond what 32-bit positions reach.
std::string packRefusal(const std::vector<PackMember>& members, unsigned slotWidth);

// Lays the members out back to back, in the order given, in an archive with name slots of
// slotWidth bytes (kWideSlotWidth or kNarrowSlotWidth). Returns false with *error set (and
// *archive untouched) when packRefusal refuses the input or slotWidth is neither width.
bool packArchive(const std::vector<PackMember>& members, unsigned slotWidth,
                 std::string* archive, std::string* error);

// One directory entry written exactly as given, for archives packArchive would refuse (tests
// of the reader: duplicate names, slots without a NUL, extents past the end, gaps, overlaps).
// `slot` is cut or padded with NUL bytes to the slot width.
struct RawDirectoryEntry {
    std::string slot;
    uint32_t offset;
    uint32_t size;
};

// Header with this format digit and member count, the directory, then dataArea. The member
// count is directory.size() unless memberCount is given.
std::string layOutArchive(unsigned char formatDigit, const std::vector<RawDirectoryEntry>& directory,
                          const std::string& dataArea);
std::string layOutArchive(unsigned char formatDigit, uint32_t memberCount,
                          const std::vector<RawDirectoryEntry>& directory,
                          const std::string& dataArea);

// An archive as the updater sees it: bytes the file does not supply read as zero.
struct ListedMember {
    std::string name;       // the slot up to its NUL (the whole slot when it has none)
    bool nameHasNul;        // false: the slot holds no NUL, which the format does not allow
    uint32_t offset;
    uint32_t size;
    uint64_t dataPosition;  // 16 + directory length + offset
    bool runsPastEnd;       // the member's bytes reach beyond the end of the file
};

struct ArchiveListing {
    unsigned slotWidth;
    uint32_t memberCount;
    uint64_t directoryBytes;
    uint64_t dataAreaStart;
    uint64_t fileBytes;
    std::vector<ListedMember> members;
    std::vector<std::string> warnings;  // one line each, without a newline
};

// Reads the directory of an archive held in `bytes`. Returns false with *error set when the
// directory length does not fit in 32 bits (the updater reads no member of such a file).
// Warnings name what the updater would stumble over: a file shorter than its header or
// directory, a slot without a NUL, a member running past the end of the file, an offset the
// updater cannot reach.
bool listArchive(const std::string& bytes, ArchiveListing* listing, std::string* error);

// The listing as text: a summary line, then one line per member (offset, size, data position,
// name), each line ended by '\n'. Warnings are not included.
std::string formatListing(const ArchiveListing& listing);

#endif
