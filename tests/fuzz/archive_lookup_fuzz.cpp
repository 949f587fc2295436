// findArchiveMember over arbitrary archive bytes and requested names. Input: one byte giving
// the name's length (mod 64), the name, then the archive file's bytes. The lookup must find
// what the format says it finds, leave the file where the format says, read the header and
// the directory with one read each, move at most once, and release every block.
#include <cstring>

#include "archive.h"
#include "fuzz_support.h"
#include "host_control.h"

static const char kTarget[] = "archive_lookup";

int fuzzArchiveLookup(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    size_t nameLength = std::min<size_t>(data[0] % 64, size - 1);
    std::string name((const char*)data + 1, nameLength);
    name = name.c_str();  // up to its first NUL, as the caller passes it
    std::string archive((const char*)data + 1 + nameLength, size - 1 - nameLength);

    hostReset();
    std::string path = writeFuzzFile("lookup.dat", archive);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    FUZZ_EXPECT(kTarget, file != INVALID_HANDLE_VALUE, "cannot open the archive file");
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    refuseOversizedDirectory(archive, 0);

    DWORD position = 0xDEADBEEF;
    DWORD found = findArchiveMember(file, name.c_str(), &position);
    hostClearFaults();
    ExpectedLookup expected = expectedLookup(archive, name.c_str());

    FUZZ_EXPECT(kTarget, found == expected.size,
                "size " + std::to_string(found) + ", expected " + std::to_string(expected.size));
    if (found != 0) {
        FUZZ_EXPECT(kTarget, position == expected.dataPosition,
                    "data position " + std::to_string(position) + ", expected " +
                        std::to_string(expected.dataPosition));
        DWORD standing = SetFilePointer(file, 0, NULL, FILE_CURRENT);
        FUZZ_EXPECT(kTarget, standing == expected.filePosition,
                    "file left at " + std::to_string(standing) + ", expected " +
                        std::to_string(expected.filePosition));
    }
    FUZZ_EXPECT(kTarget, hostCallCount(HostCall::ReadFile) <= 2, "more than two reads");
    FUZZ_EXPECT(kTarget, hostCallCount(HostCall::SetFilePointer) <= 1 + (found != 0),
                "more than one move");
    FUZZ_EXPECT(kTarget, hostLiveGlobalBlocks() == 0, "a block left allocated");
    CloseHandle(file);
    FUZZ_EXPECT(kTarget, hostOpenHandles() == 0, "a handle left open");
    return 0;
}
