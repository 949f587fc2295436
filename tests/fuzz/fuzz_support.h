// What the fuzz targets share: the archive file they hand to the reader, a model of what the
// reader must find in it, and the one way a target reports a broken expectation (a crash
// under libFuzzer, a test failure when the regression test replays the cases).
#ifndef TESTS_FUZZ_FUZZ_SUPPORT_H
#define TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform.h"

// The targets, each run once per input. They return 0, as libFuzzer wants.
int fuzzArchiveLookup(const uint8_t* data, size_t size);
int fuzzPayloadStream(const uint8_t* data, size_t size);
int fuzzArchiveListing(const uint8_t* data, size_t size);

// Reports a broken expectation of `target` on the current input.
void fuzzFailure(const char* target, const std::string& what);

#define FUZZ_EXPECT(target, condition, what)   \
    do {                                       \
        if (!(condition))                      \
            fuzzFailure(target, what);         \
    } while (0)

// A folder of this process for the targets' files (on a memory file system when there is
// one), as a Windows path for the platform calls and as a host path.
const std::string& fuzzFolderWindows();
const std::string& fuzzFolderHost();

// Writes `bytes` to `name` in the folder and returns its Windows path.
std::string writeFuzzFile(const std::string& name, const std::string& bytes);
void removeFuzzFile(const std::string& name);
// The bytes of the regular file `name` (a relative Windows path) in the folder; false when
// there is none.
bool readFuzzFile(const std::string& name, std::string* bytes);

// Directories larger than this are taken to be more than the machine can give: the targets
// make that block's GlobalAlloc fail, as a 32-bit Windows would for a bogus count, so that
// each input runs in microseconds instead of zero-filling and scanning gigabytes.
const uint64_t kFuzzLargestDirectory = 1u << 16;

// The directory length an archive's header announces (bytes it lacks read as zero).
uint64_t announcedDirectoryLength(const std::string& archive);

// Arms the fault that refuses an over-large directory block: `blocksBefore` global blocks are
// obtained before the lookup's header block.
void refuseOversizedDirectory(const std::string& archive, unsigned blocksBefore);

// What findArchiveMember must give for `name` in a file holding `archive`, read from its
// start: the member's size (0: absent), its data position, and where the file then stands.
struct ExpectedLookup {
    DWORD size;
    DWORD dataPosition;
    uint64_t filePosition;
};
ExpectedLookup expectedLookup(const std::string& archive, const char* name);

#endif
