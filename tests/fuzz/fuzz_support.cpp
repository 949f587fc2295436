#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host_control.h"

namespace fs = std::filesystem;

static std::string toWindows(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

const std::string& fuzzFolderHost()
{
    // Never destroyed: the folder is removed at exit, after static objects may be gone.
    static const std::string* folder = [] {
        fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path mine = base / ("updater-fuzz-" + std::to_string(getpid()));
        fs::create_directories(mine);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(fuzzFolderHost(), ignored);
        });
        return new std::string(mine.string());
    }();
    return *folder;
}

const std::string& fuzzFolderWindows()
{
    static const std::string folder = toWindows(fuzzFolderHost());
    return folder;
}

std::string writeFuzzFile(const std::string& name, const std::string& bytes)
{
    std::ofstream out(fuzzFolderHost() + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return fuzzFolderWindows() + "\\" + name;
}

void removeFuzzFile(const std::string& name)
{
    std::remove((fuzzFolderHost() + "/" + name).c_str());
}

bool readFuzzFile(const std::string& name, std::string* bytes)
{
    std::string host = name;
    for (char& c : host)
        if (c == '\\')
            c = '/';
    std::error_code ignored;
    fs::path path = fs::path(fuzzFolderHost()) / host;
    if (name.empty() || !fs::is_regular_file(path, ignored))
        return false;
    std::ifstream in(path, std::ios::binary);
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

static uint8_t byteAt(const std::string& bytes, uint64_t at)
{
    return at < bytes.size() ? (uint8_t)bytes[at] : 0;
}

static uint32_t le32At(const std::string& bytes, uint64_t at)
{
    return (uint32_t)byteAt(bytes, at) | (uint32_t)byteAt(bytes, at + 1) << 8 |
           (uint32_t)byteAt(bytes, at + 2) << 16 | (uint32_t)byteAt(bytes, at + 3) << 24;
}

static uint32_t slotWidthOf(const std::string& archive)
{
    return byteAt(archive, 11) == 0x32 ? 32 : 16;
}

uint64_t announcedDirectoryLength(const std::string& archive)
{
    return (uint64_t)le32At(archive, 12) * (slotWidthOf(archive) + 8);
}

void refuseOversizedDirectory(const std::string& archive, unsigned blocksBefore)
{
    if (announcedDirectoryLength(archive) > kFuzzLargestDirectory)
        hostInjectFault(HostCall::GlobalAlloc, blocksBefore + 1, FaultRepeat::Once,
                        ERROR_NOT_ENOUGH_MEMORY);
}

ExpectedLookup expectedLookup(const std::string& archive, const char* name)
{
    ExpectedLookup absent = {0, 0, 0};
    const char* base = name;
    for (const char* p = name; *p; ++p)
        if (*p == '\\')
            base = p + 1;

    const uint64_t width = slotWidthOf(archive);
    const uint64_t count = le32At(archive, 12);
    const uint64_t directory = announcedDirectoryLength(archive);
    if (16 + directory > 0xFFFFFFFFull || directory > kFuzzLargestDirectory)
        return absent;

    uint64_t match = count;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t slot = 16 + i * width;
        if (slot >= archive.size()) {
            // Slots past the end of the file read as empty names, all alike.
            match = *base == '\0' ? i : count;
            break;
        }
        std::string slotName;
        for (uint64_t j = 0; j < width && byteAt(archive, slot + j) != 0; ++j)
            slotName += (char)byteAt(archive, slot + j);
        if (lstrcmpiA(slotName.c_str(), base) == 0) {
            match = i;
            break;
        }
    }
    if (match == count)
        return absent;

    uint64_t extent = 16 + count * width + match * 8;
    uint32_t offset = le32At(archive, extent);
    uint32_t size = le32At(archive, extent + 4);
    uint64_t position = 16 + directory + offset;
    if (offset > 0x7FFFFFFFu || position > 0xFFFFFFFFull)
        return absent;
    // The two reads stop at the end of a short file; the move starts from there.
    uint64_t afterReads = std::min<uint64_t>(16 + directory, archive.size());
    return ExpectedLookup{size, (DWORD)position, afterReads + offset};
}
