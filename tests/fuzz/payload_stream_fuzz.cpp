// openPayload, payloadSize, readPayload, waitPayload and closePayload over arbitrary archives,
// as the payload file replacement calls them. Input: a control byte, a byte giving the name's
// length (mod 64), the name, then the bytes of UpdateData.dat. The control byte chooses
// whether UpdateData.dat exists, whether a loose file of the name lies beside it, and one
// fault at the platform (a short or failed read, a block refused, a failed move).
//
// Without a fault, the stream opens exactly when a loose file or a non-empty member is there,
// and its one read is whole exactly when the member lies within the file; a whole read holds
// the member's bytes. With a fault, the stream may fail, but never reports a whole read that
// is not. Every handle and block is released either way.
#include <cstring>

#include "fuzz_support.h"
#include "host_control.h"
#include "payload_stream.h"

static const char kTarget[] = "payload_stream";

// Payload names are opened as loose files as they are passed: keep them inside the fuzz
// folder (no drive, no root, no parent folder), so that no input reads a device.
static std::string confined(std::string name)
{
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '/' || name[i] == ':' || (name[i] == '.' && i > 0 && name[i - 1] == '.'))
            name[i] = '_';
    }
    if (!name.empty() && name[0] == '\\')
        name[0] = '_';
    return name;
}

static bool plainFileName(const std::string& name)
{
    if (name.empty() || name == "UpdateData.dat" || name == ".")
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == '-'))
            return false;
    return true;
}

int fuzzPayloadStream(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t control = data[0];
    size_t nameLength = std::min<size_t>(data[1] % 64, size - 2);
    std::string name = confined(std::string((const char*)data + 2, nameLength).c_str());
    std::string archive((const char*)data + 2 + nameLength, size - 2 - nameLength);

    const bool archivePresent = (control & 0x01) == 0;
    const bool looseWritten = (control & 0x02) != 0 && plainFileName(name);
    const unsigned faultKind = (control >> 2) & 3;  // 0: none
    const unsigned faultAt = (control >> 4) & 3;
    const DWORD shortLimit = (control >> 6) * 5;

    hostReset();
    if (archivePresent)
        writeFuzzFile("UpdateData.dat", archive);
    else
        removeFuzzFile("UpdateData.dat");
    // The loose file holds the archive's first bytes, so that both sources differ in length.
    if (looseWritten)
        writeFuzzFile(name, archive.substr(0, archive.size() / 2));
    // A name may also find a file that is there anyway (UpdateData.dat itself).
    std::string loose;
    const bool loosePresent = readFuzzFile(name, &loose);
    if (faultKind == 1)
        hostInjectShortTransfer(HostCall::ReadFile, faultAt, FaultRepeat::Once, shortLimit);
    else if (faultKind == 2)
        hostInjectFault(HostCall::GlobalAlloc, faultAt, FaultRepeat::Once, ERROR_NOT_ENOUGH_MEMORY);
    else if (faultKind == 3)
        hostInjectFault(HostCall::SetFilePointer, 0, FaultRepeat::Once, ERROR_NEGATIVE_SEEK);
    // The stream record is the block before the lookup's header block.
    if (!loosePresent)
        refuseOversizedDirectory(archive, 1);

    const bool faulted = faultKind != 0;
    ExpectedLookup member = expectedLookup(archive, name.c_str());
    const bool expectOpen = loosePresent || (archivePresent && member.size != 0);

    std::string where = fuzzFolderWindows() + "\\";
    PayloadStream* stream = openPayload((where + name).c_str(), (where + "UpdateData.dat").c_str());
    if (!faulted) {
        FUZZ_EXPECT(kTarget, (stream != NULL) == expectOpen,
                    expectOpen ? "no stream for a payload that is there" : "a stream for nothing");
    }

    if (stream) {
        const DWORD length = payloadSize(stream);
        const bool fromLoose = stream->source == Loose;
        FUZZ_EXPECT(kTarget, fromLoose == loosePresent, "the loose file does not come first");
        // A short read of the header or the directory makes the lookup see another archive.
        if (!faulted) {
            FUZZ_EXPECT(kTarget, length == (fromLoose ? loose.size() : member.size),
                        "size " + std::to_string(length));
            FUZZ_EXPECT(kTarget, fromLoose || stream->dataOffset == member.dataPosition,
                        "data offset");
        }

        // The replacement asks for a buffer of the whole size; a bogus size is refused there.
        void* buffer = length <= (4u << 20) ? GlobalAlloc(GMEM_ZEROINIT, length) : NULL;
        if (buffer) {
            int read = readPayload(stream, buffer);
            int whole = waitPayload(stream);
            const uint64_t end = (uint64_t)stream->dataOffset + length;
            const bool withinFile = fromLoose || end <= archive.size();
            if (!faulted) {
                FUZZ_EXPECT(kTarget, read == 1, "the read call failed");
                FUZZ_EXPECT(kTarget, whole == (withinFile ? 1 : 0),
                            withinFile ? "a whole member read as short" : "a short read as whole");
            }
            if (whole) {
                FUZZ_EXPECT(kTarget, stream->transferred == length, "whole but short");
                FUZZ_EXPECT(kTarget, faulted || withinFile, "whole beyond the end of the file");
                const std::string& source = fromLoose ? loose : archive;
                if (!faulted && withinFile && length > 0)
                    FUZZ_EXPECT(kTarget,
                                std::memcmp(buffer, source.data() + stream->dataOffset, length) == 0,
                                "the bytes read are not the payload's");
            }
            GlobalFree(GlobalHandle(buffer));
        }
        closePayload(stream);
    }
    hostClearFaults();
    FUZZ_EXPECT(kTarget, hostLiveGlobalBlocks() == 0, "a block left allocated");
    FUZZ_EXPECT(kTarget, hostOpenHandles() == 0, "a handle left open");
    if (looseWritten)
        removeFuzzFile(name);
    return 0;
}
