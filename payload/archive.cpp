#include "archive.h"

static DWORD littleEndian32(const BYTE* bytes)
{
    return (DWORD)bytes[0] | (DWORD)bytes[1] << 8 | (DWORD)bytes[2] << 16 | (DWORD)bytes[3] << 24;
}

static void releaseBlock(void* block)
{
    GlobalFree(GlobalHandle(block));
}

// The part after the last backslash byte. Only the backslash separates.
static const char* baseNameOf(const char* name)
{
    const char* base = name;
    for (const char* p = name; *p; ++p)
        if (*p == '\\')
            base = p + 1;
    return base;
}

// Compares a name slot with `name` ignoring case, within the slot's `width` bytes: a slot
// without a NUL, which the format does not allow, must not lead the comparison past it.
static int slotHoldsName(const BYTE* slot, DWORD width, const char* name)
{
    char slotName[kArchiveWideSlotWidth + 1];
    DWORD i = 0;
    for (; i < width && slot[i] != 0; ++i)
        slotName[i] = (char)slot[i];
    slotName[i] = '\0';
    return lstrcmpiA(slotName, name) == 0;
}

DWORD findArchiveMember(HANDLE archive, const char* name, DWORD* dataPosition)
{
    *dataPosition = 0;
    const char* baseName = baseNameOf(name);
    DWORD count = 0;

    BYTE* header = (BYTE*)GlobalAlloc(GMEM_ZEROINIT, kArchiveHeaderSize);
    if (!header)
        return 0;
    // Bytes the file does not supply stay zero: a short archive reads as an empty one.
    ReadFile(archive, header, kArchiveHeaderSize, &count, NULL);
    DWORD slotWidth = header[11] == kArchiveWideSlots ? kArchiveWideSlotWidth
                                                      : kArchiveNarrowSlotWidth;
    DWORD memberCount = littleEndian32(header + 12);
    releaseBlock(header);

    // Every position in the archive is 32-bit: a directory whose length (or whose end) does
    // not fit holds no member that can be reached.
    unsigned long long directoryLength =
        (unsigned long long)memberCount * (slotWidth + kArchiveExtentRecordSize);
    if (kArchiveHeaderSize + directoryLength > 0xFFFFFFFFull)
        return 0;
    DWORD directorySize = (DWORD)directoryLength;

    BYTE* directory = (BYTE*)GlobalAlloc(GMEM_ZEROINIT, directorySize);
    if (!directory)
        return 0;
    ReadFile(archive, directory, directorySize, &count, NULL);

    DWORD match = 0;
    while (match < memberCount && !slotHoldsName(directory + match * slotWidth, slotWidth, baseName))
        ++match;
    if (match == memberCount) {
        releaseBlock(directory);
        return 0;
    }
    const BYTE* extent = directory + memberCount * slotWidth + match * kArchiveExtentRecordSize;
    DWORD offset = littleEndian32(extent);
    DWORD size = littleEndian32(extent + 4);
    releaseBlock(directory);

    // The move is a signed 32-bit distance: a larger offset would move backwards, onto bytes
    // that are not the member's.
    unsigned long long position = kArchiveHeaderSize + directoryLength + offset;
    if (offset > 0x7FFFFFFFu || position > 0xFFFFFFFFull)
        return 0;
    if (SetFilePointer(archive, (LONG)offset, NULL, FILE_CURRENT) == INVALID_SET_FILE_POINTER)
        return 0;
    *dataPosition = (DWORD)position;
    return size;
}
