#include "archive_format.h"

#include <unordered_map>

static void putLittleEndian32(std::string* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out->push_back((char)((value >> (8 * i)) & 0xFF));
}

static uint32_t getLittleEndian32(const std::string& bytes, uint64_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        uint64_t position = at + (uint64_t)i;
        unsigned char byte = position < bytes.size() ? (unsigned char)bytes[position] : 0;
        value = (value << 8) | byte;
    }
    return value;
}

static char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

static std::string quoted(const std::string& name)
{
    std::string out = "\"";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '"') {
            const char* hex = "0123456789ABCDEF";
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        } else {
            out.push_back((char)c);
        }
    }
    return out + "\"";
}

static std::string lowerAscii(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded)
        c = asciiLower(c);
    return folded;
}

// Why the member's name could never be found or read, or "" when it is fine. `earlierNames`
// maps the case-folded names of the members before it to their index.
static std::string nameRefusal(const std::vector<PackMember>& members, size_t index,
                               unsigned slotWidth,
                               const std::unordered_map<std::string, size_t>& earlierNames)
{
    const std::string& name = members[index].name;
    if (name.empty())
        return "a member has an empty name";
    if (name.size() > slotWidth - 1)
        return "member name " + quoted(name) + " is " + std::to_string(name.size()) +
               " bytes long; " + std::to_string(slotWidth) + "-byte name slots hold at most " +
               std::to_string(slotWidth - 1);
    if (name.find('\\') != std::string::npos)
        return "member name " + quoted(name) +
               " holds a backslash (byte 0x5C); the updater looks members up by bare name";
    if (name.find('\0') != std::string::npos)
        return "member name " + quoted(name) + " holds a NUL byte";
    auto earlier = earlierNames.find(lowerAscii(name));
    if (earlier != earlierNames.end())
        return "member name " + quoted(name) + " repeats " +
               quoted(members[earlier->second].name) +
               " (names are compared ignoring case; only the first would ever be found)";
    return "";
}

std::string packRefusal(const std::vector<PackMember>& members, unsigned slotWidth)
{
    uint64_t directoryBytes = (uint64_t)members.size() * (slotWidth + kExtentRecordBytes);
    uint64_t offset = 0;
    std::unordered_map<std::string, size_t> earlierNames;
    for (size_t i = 0; i < members.size(); ++i) {
        std::string refusal = nameRefusal(members, i, slotWidth, earlierNames);
        if (!refusal.empty())
            return refusal;
        earlierNames.emplace(lowerAscii(members[i].name), i);
        const PackMember& member = members[i];
        if (member.bytes.empty())
            return "member " + quoted(member.name) +
                   " is empty; the updater takes a member of 0 bytes for an absent one";
        if (offset > kLargestMemberOffset)
            return "member " + quoted(member.name) + " would start " + std::to_string(offset) +
                   " bytes into the data area; the updater reaches at most " +
                   std::to_string(kLargestMemberOffset);
        uint64_t end = kArchiveHeaderBytes + directoryBytes + offset + member.bytes.size();
        if (end > 0xFFFFFFFFull)
            return "member " + quoted(member.name) +
                   " would end beyond byte 4294967295 of the archive; positions are 32-bit";
        offset += member.bytes.size();
    }
    return "";
}

bool packArchive(const std::vector<PackMember>& members, unsigned slotWidth,
                 std::string* archive, std::string* error)
{
    if (slotWidth != kWideSlotWidth && slotWidth != kNarrowSlotWidth) {
        *error = "name slots are 32 or 16 bytes wide, not " + std::to_string(slotWidth);
        return false;
    }
    std::string refusal = packRefusal(members, slotWidth);
    if (!refusal.empty()) {
        *error = refusal;
        return false;
    }
    std::vector<RawDirectoryEntry> directory;
    std::string dataArea;
    for (const PackMember& member : members) {
        directory.push_back({member.name, (uint32_t)dataArea.size(), (uint32_t)member.bytes.size()});
        dataArea += member.bytes;
    }
    *archive = layOutArchive(slotWidth == kWideSlotWidth ? kWideFormatDigit : kNarrowFormatDigit,
                             directory, dataArea);
    return true;
}

std::string layOutArchive(unsigned char formatDigit, const std::vector<RawDirectoryEntry>& directory,
                          const std::string& dataArea)
{
    return layOutArchive(formatDigit, (uint32_t)directory.size(), directory, dataArea);
}

std::string layOutArchive(unsigned char formatDigit, uint32_t memberCount,
                          const std::vector<RawDirectoryEntry>& directory,
                          const std::string& dataArea)
{
    unsigned slotWidth = formatDigit == kWideFormatDigit ? kWideSlotWidth : kNarrowSlotWidth;
    // The 11 bytes before the format digit are not examined by the updater.
    std::string archive("UPDPACK\0\0\0\0", 11);
    archive.push_back((char)formatDigit);
    putLittleEndian32(&archive, memberCount);
    for (const RawDirectoryEntry& entry : directory) {
        std::string slot = entry.slot.substr(0, slotWidth);
        slot.resize(slotWidth, '\0');
        archive += slot;
    }
    for (const RawDirectoryEntry& entry : directory) {
        putLittleEndian32(&archive, entry.offset);
        putLittleEndian32(&archive, entry.size);
    }
    return archive + dataArea;
}

static void listMember(const std::string& bytes, ArchiveListing* listing, uint32_t index)
{
    uint64_t slotAt = kArchiveHeaderBytes + (uint64_t)index * listing->slotWidth;
    uint64_t extentAt = kArchiveHeaderBytes + (uint64_t)listing->memberCount * listing->slotWidth +
                        (uint64_t)index * kExtentRecordBytes;
    ListedMember member;
    member.name.clear();
    member.nameHasNul = false;
    for (uint64_t i = 0; i < listing->slotWidth; ++i) {
        char c = slotAt + i < bytes.size() ? bytes[slotAt + i] : '\0';
        if (c == '\0') {
            member.nameHasNul = true;
            break;
        }
        member.name.push_back(c);
    }
    member.offset = getLittleEndian32(bytes, extentAt);
    member.size = getLittleEndian32(bytes, extentAt + 4);
    member.dataPosition = listing->dataAreaStart + member.offset;
    member.runsPastEnd = member.dataPosition + member.size > listing->fileBytes;

    std::string which = "member " + std::to_string(index) + " " + quoted(member.name);
    if (!member.nameHasNul)
        listing->warnings.push_back(which + ": its name slot holds no NUL byte");
    if (member.offset > kLargestMemberOffset)
        listing->warnings.push_back(which + ": offset " + std::to_string(member.offset) +
                                    " is beyond what the updater can reach (2147483647)");
    else if (member.runsPastEnd)
        listing->warnings.push_back(
            which + ": bytes " + std::to_string(member.dataPosition) + " to " +
            std::to_string(member.dataPosition + member.size) + " run past the end of the file (" +
            std::to_string(listing->fileBytes) + " bytes)");
    listing->members.push_back(member);
}

bool listArchive(const std::string& bytes, ArchiveListing* listing, std::string* error)
{
    ArchiveListing result;
    result.fileBytes = bytes.size();
    unsigned char formatDigit = bytes.size() > 11 ? (unsigned char)bytes[11] : 0;
    result.slotWidth = formatDigit == kWideFormatDigit ? kWideSlotWidth : kNarrowSlotWidth;
    result.memberCount = getLittleEndian32(bytes, 12);
    result.directoryBytes = (uint64_t)result.memberCount * (result.slotWidth + kExtentRecordBytes);
    result.dataAreaStart = kArchiveHeaderBytes + result.directoryBytes;
    if (result.directoryBytes > 0xFFFFFFFFull) {
        *error = "the directory of " + std::to_string(result.memberCount) + " members takes " +
                 std::to_string(result.directoryBytes) +
                 " bytes, more than 32 bits hold; the updater finds no member in it";
        return false;
    }
    if (bytes.size() < kArchiveHeaderBytes)
        result.warnings.push_back("the file is " + std::to_string(bytes.size()) +
                                  " bytes long, shorter than the 16-byte header");
    else if (result.dataAreaStart > bytes.size())
        result.warnings.push_back("the directory ends at byte " +
                                  std::to_string(result.dataAreaStart) + ", past the end of the file (" +
                                  std::to_string(bytes.size()) + " bytes)");
    // A count far beyond what the file holds is listed only as far as the file goes.
    uint32_t listed = result.memberCount;
    uint64_t fitting = bytes.size() / (result.slotWidth + kExtentRecordBytes) + 1;
    if (listed > fitting) {
        result.warnings.push_back("only the first " + std::to_string(fitting) + " of " +
                                  std::to_string(listed) + " members are listed");
        listed = (uint32_t)fitting;
    }
    for (uint32_t i = 0; i < listed; ++i)
        listMember(bytes, &result, i);
    *listing = result;
    return true;
}

static std::string rightAligned(const std::string& text, size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string formatListing(const ArchiveListing& listing)
{
    std::string text = std::to_string(listing.memberCount) + " members, " +
                       std::to_string(listing.slotWidth) + "-byte name slots, data area from byte " +
                       std::to_string(listing.dataAreaStart) + ", file " +
                       std::to_string(listing.fileBytes) + " bytes\n";
    text += rightAligned("offset", 10) + " " + rightAligned("size", 10) + " " +
            rightAligned("position", 10) + "  name\n";
    for (const ListedMember& member : listing.members)
        text += rightAligned(std::to_string(member.offset), 10) + " " +
                rightAligned(std::to_string(member.size), 10) + " " +
                rightAligned(std::to_string(member.dataPosition), 10) + "  " +
                quoted(member.name) + "\n";
    return text;
}
