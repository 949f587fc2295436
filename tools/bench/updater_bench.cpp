// Measures the updater on the host layer against what this machine allows for the same work,
// and prints the ratios as a markdown report:
//   - applyPayloadFiles for payloads of 1, 64 and 512 MiB (from UpdateData.dat), against a
//     plain copy of the same bytes on the same file system (read, write), and against a
//     durable copy (read, write, fsync, rename, fsync of the folder), the guarantee the
//     updater gives;
//   - peak memory of the apply of the largest payload, in a process of its own;
//   - findArchiveMember with 3 and with 100,000 members: its platform calls per lookup, and
//     its time against a plain read of the header and the directory;
//   - resetSaveData's 2,003 requests against 2,003 unlink() calls of the same files.
//
// Usage: updater_bench [--quick] [--dir FOLDER]
//   FOLDER (default: the current directory) must be on the file system to measure; the
//   benchmark works in a subfolder that it removes afterwards. --quick leaves out 512 MiB.
#include <fcntl.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "apply_payload.h"
#include "archive.h"
#include "archive_format.h"
#include "host_control.h"
#include "save_data.h"
#include "state.h"

namespace fs = std::filesystem;

namespace {

const uint64_t kMiB = 1024 * 1024;
const char* const kGameFiles[3] = {"pkadv.exe", "Archive.dat", "Instdata.pak"};
const uint32_t kSmallPayload = 4096;  // the two data files beside the measured payload

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "updater_bench: %s\n", what.c_str());
    std::exit(1);
}

double seconds(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fastest of `runs` runs, each after `prepare` (not timed).
double fastest(int runs, const std::function<void()>& prepare, const std::function<void()>& work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        prepare();
        best = std::min(best, seconds(work));
    }
    return best;
}

std::string windowsPath(const fs::path& host)
{
    std::string path = host.string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void writeHostFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    if (!out)
        fail("cannot write " + path.string());
}

std::string pattern(size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = (char)(x >> 24);
    }
    return bytes;
}

long statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::atol(line.c_str() + std::strlen(field) + 1);
    return -1;
}

// --- Apply against copy ---------------------------------------------------------------------

struct Scene {
    fs::path delivery, game, copies;
    uint64_t payloadBytes;
    uint64_t dataStart;  // of the archive's data area
};

// UpdateData.dat with pkadv.exe of `bytes` bytes and the two data files, written in pieces
// so that the benchmark itself never holds the payload twice.
Scene makeScene(const fs::path& work, uint64_t bytes)
{
    Scene scene{work / "delivery", work / "game", work / "copies", bytes, 0};
    for (const fs::path& folder : {scene.delivery, scene.game, scene.copies})
        fs::create_directories(folder);
    std::vector<RawDirectoryEntry> directory = {
        {kGameFiles[0], 0, (uint32_t)bytes},
        {kGameFiles[1], (uint32_t)bytes, kSmallPayload},
        {kGameFiles[2], (uint32_t)bytes + kSmallPayload, kSmallPayload}};
    std::string head = layOutArchive(kWideFormatDigit, directory, "");
    scene.dataStart = head.size();
    std::ofstream out(scene.delivery / "UpdateData.dat", std::ios::binary | std::ios::trunc);
    out.write(head.data(), (std::streamsize)head.size());
    const std::string chunk = pattern(kMiB, 7);
    for (uint64_t left = bytes; left > 0;) {
        uint64_t piece = std::min<uint64_t>(left, chunk.size());
        out.write(chunk.data(), (std::streamsize)piece);
        left -= piece;
    }
    std::string small = pattern(2 * kSmallPayload, 9);
    out.write(small.data(), (std::streamsize)small.size());
    if (!out)
        fail("cannot write the archive");
    return scene;
}

void placeOldGameFiles(const fs::path& folder)
{
    for (const char* name : kGameFiles)
        writeHostFile(folder / name, "old contents of the game file");
}

void applyOnce(const Scene& scene)
{
    hostReset();
    std::string previous = fs::current_path().string();
    fs::current_path(scene.delivery);
    int result = applyPayloadFiles(NULL, windowsPath(scene.game).c_str());
    fs::current_path(previous);
    if (result != 1)
        fail("applyPayloadFiles failed");
}

void syncFolder(const fs::path& folder)
{
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    fsync(fd);
    close(fd);
}

// The same work done plainly: each member read whole from the archive with one read into one
// buffer, and written to its file with one write. Durable: written beside the file, flushed,
// renamed over it and the folder flushed, as the updater does.
void copyOnce(const Scene& scene, bool durable)
{
    int archive = open((scene.delivery / "UpdateData.dat").c_str(), O_RDONLY);
    if (archive < 0)
        fail("cannot open the archive");
    uint64_t offsets[3] = {0, scene.payloadBytes, scene.payloadBytes + kSmallPayload};
    uint64_t sizes[3] = {scene.payloadBytes, kSmallPayload, kSmallPayload};
    for (int i = 0; i < 3; ++i) {
        char* buffer = (char*)std::malloc(sizes[i] ? sizes[i] : 1);
        uint64_t done = 0;
        while (done < sizes[i]) {
            ssize_t n = pread(archive, buffer + done, sizes[i] - done,
                              (off_t)(scene.dataStart + offsets[i] + done));
            if (n <= 0)
                fail("read failed");
            done += (uint64_t)n;
        }
        fs::path target = scene.copies / kGameFiles[i];
        fs::path staged = durable ? fs::path(target.string() + "~") : target;
        int out = open(staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (uint64_t written = 0; written < sizes[i];) {
            ssize_t n = write(out, buffer + written, sizes[i] - written);
            if (n <= 0)
                fail("write failed");
            written += (uint64_t)n;
        }
        if (durable)
            fsync(out);
        close(out);
        if (durable) {
            std::rename(staged.c_str(), target.c_str());
            syncFolder(scene.copies);
        }
        std::free(buffer);
    }
    close(archive);
}

struct ApplyFigures {
    uint64_t bytes;
    double apply, copy, durableCopy;
};

ApplyFigures measureApply(const fs::path& work, uint64_t bytes, int runs)
{
    Scene scene = makeScene(work, bytes);
    ApplyFigures figures{bytes, 0, 0, 0};
    // One warm-up of each, so that every measured run reads the archive from the page cache.
    placeOldGameFiles(scene.game);
    applyOnce(scene);
    copyOnce(scene, false);
    figures.apply = fastest(runs, [&] { placeOldGameFiles(scene.game); }, [&] { applyOnce(scene); });
    figures.copy = fastest(runs, [&] { placeOldGameFiles(scene.copies); },
                           [&] { copyOnce(scene, false); });
    figures.durableCopy = fastest(runs, [&] { placeOldGameFiles(scene.copies); },
                                  [&] { copyOnce(scene, true); });
    return figures;
}

// --- Peak memory, in a process of its own ---------------------------------------------------

int applyForPeak(const char* workFolder)
{
    fs::path work(workFolder);
    Scene scene{work / "delivery", work / "game", work / "copies", 0, 0};
    long before = statusKiB("VmRSS:");
    applyOnce(scene);
    std::printf("%ld %ld\n", before, statusKiB("VmHWM:"));
    return 0;
}

struct PeakFigures {
    long rssBeforeKiB, hwmKiB;
};

PeakFigures measurePeak(const fs::path& work, uint64_t bytes)
{
    makeScene(work, bytes);
    placeOldGameFiles(work / "game");
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string command = "'" + self + "' --apply-for-peak '" + work.string() + "'";
    FILE* child = popen(command.c_str(), "r");
    PeakFigures peak{0, 0};
    if (!child || std::fscanf(child, "%ld %ld", &peak.rssBeforeKiB, &peak.hwmKiB) != 2)
        fail("the peak-memory run failed");
    pclose(child);
    return peak;
}

// --- Archive lookup ---------------------------------------------------------------------------

struct LookupFigures {
    unsigned members;
    unsigned reads, moves, blocks;  // platform calls of one lookup
    double lookup, plainRead;       // seconds per lookup, per plain read of header+directory
};

LookupFigures measureLookup(const fs::path& work, unsigned members)
{
    // Laid out directly: the packer's own checks compare every pair of names.
    std::vector<RawDirectoryEntry> directory;
    for (unsigned i = 0; i < members; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "member%06u.dat", i);
        directory.push_back({name, i, 1});
    }
    fs::path file = work / "lookup.dat";
    writeHostFile(file, layOutArchive(kWideFormatDigit, directory, std::string(members, 'x')));
    const std::string last = directory.back().slot;  // found after comparing every slot
    const uint64_t headAndDirectory = 16 + (uint64_t)members * (kWideSlotWidth + 8);

    LookupFigures figures{members, 0, 0, 0, 0, 0};
    HANDLE handle = CreateFileA(windowsPath(file).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        fail("cannot open the lookup archive");
    hostReset();
    DWORD position = 0;
    if (findArchiveMember(handle, last.c_str(), &position) != 1)
        fail("the lookup did not find the last member");
    figures.reads = hostCallCount(HostCall::ReadFile);
    figures.moves = hostCallCount(HostCall::SetFilePointer);
    figures.blocks = hostCallCount(HostCall::GlobalAlloc);

    const int repeats = members > 1000 ? 50 : 20000;
    figures.lookup = seconds([&] {
                         for (int i = 0; i < repeats; ++i) {
                             hostReset();
                             SetFilePointer(handle, 0, NULL, FILE_BEGIN);
                             findArchiveMember(handle, last.c_str(), &position);
                         }
                     }) / repeats;
    CloseHandle(handle);

    int fd = open(file.c_str(), O_RDONLY);
    std::vector<char> buffer(headAndDirectory);
    figures.plainRead = seconds([&] {
                            for (int i = 0; i < repeats; ++i) {
                                char header[16];
                                if (pread(fd, header, 16, 0) != 16 ||
                                    pread(fd, buffer.data(), headAndDirectory - 16, 16) !=
                                        (ssize_t)(headAndDirectory - 16))
                                    fail("plain read failed");
                            }
                        }) / repeats;
    close(fd);
    return figures;
}

// --- Save-data reset ------------------------------------------------------------------------------

struct ResetFigures {
    double reset, unlinks;  // with every file present
    double resetNone, unlinksNone;  // with none present
    unsigned requests;
};

std::vector<fs::path> saveFiles(const fs::path& save)
{
    std::vector<fs::path> files = {save / "syssave.dat", save / "qsave.sav", save / "qsave.gra"};
    for (int n = 0; n < 1000; ++n) {
        char save_[16], thumb[16];
        std::snprintf(save_, sizeof save_, "save%03d.sav", n);
        std::snprintf(thumb, sizeof thumb, "thumb%03d.gra", n);
        files.push_back(save / save_);
        files.push_back(save / thumb);
    }
    return files;
}

ResetFigures measureReset(const fs::path& work)
{
    fs::path game = work / "reset-game";
    fs::create_directories(game / "save");
    std::vector<fs::path> files = saveFiles(game / "save");
    auto createAll = [&] {
        for (const fs::path& f : files)
            close(open(f.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    };
    auto reset = [&] {
        hostReset();
        std::snprintf(installFolder, sizeof installFolder, "%s", windowsPath(game).c_str());
        resetSaveData();
    };
    auto unlinkAll = [&] {
        for (const fs::path& f : files)
            unlink(f.c_str());
    };
    ResetFigures figures{};
    reset();
    figures.requests = hostCallCount(HostCall::DeleteFileA);
    figures.reset = fastest(5, createAll, reset);
    figures.unlinks = fastest(5, createAll, unlinkAll);
    figures.resetNone = fastest(5, [] {}, reset);
    figures.unlinksNone = fastest(5, [] {}, unlinkAll);
    return figures;
}

// --- The machine ------------------------------------------------------------------------------------

std::string cpuModel()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line))
        if (line.compare(0, 10, "model name") == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

std::string fileSystemOf(const fs::path& folder)
{
    struct statfs info;
    if (statfs(folder.c_str(), &info) != 0)
        return "unknown";
    switch ((unsigned long)info.f_type) {
    case 0xEF53: return "ext4 (or ext2/ext3)";
    case 0x01021994: return "tmpfs";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x794C7630: return "overlayfs";
    default: {
        char hex[32];
        std::snprintf(hex, sizeof hex, "type 0x%lX", (unsigned long)info.f_type);
        return hex;
    }
    }
}

const char* verdict(bool met)
{
    return met ? "met" : "**missed**";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--apply-for-peak") == 0)
        return applyForPeak(argv[2]);

    bool quick = false;
    fs::path base = fs::current_path();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            base = argv[++i];
        else
            fail(std::string("usage: updater_bench [--quick] [--dir FOLDER]; unknown ") + argv[i]);
    }
    fs::path work = fs::absolute(base) / ("updater-bench-" + std::to_string(getpid()));
    fs::create_directories(work);

    struct utsname machine;
    uname(&machine);
    std::printf("## Machine\n\n");
    std::printf("- CPU: %s, %ld processors online (nproc)\n", cpuModel().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("- Memory: %ld MiB\n", sysconf(_SC_PHYS_PAGES) * sysconf(_SC_PAGESIZE) / (long)kMiB);
    std::printf("- File system of the work folder: %s\n", fileSystemOf(work).c_str());
    std::printf("- Kernel: %s %s\n\n", machine.sysname, machine.release);
    std::fflush(stdout);

    std::vector<uint64_t> sizes = {1 * kMiB, 64 * kMiB};
    if (!quick)
        sizes.push_back(512 * kMiB);
    std::printf("## Applying the payload against copying it\n\n");
    std::printf("Fastest of 3 runs, archive in the page cache. The updater writes each file "
                "beside its target, flushes it to the device and renames it over the target; "
                "the durable copy does the same with plain system calls.\n\n");
    std::printf("| payload | apply | plain copy | durable copy | apply / plain copy | "
                "apply / durable copy |\n|---|---|---|---|---|---|\n");
    bool applyMet = true;
    for (uint64_t bytes : sizes) {
        ApplyFigures f = measureApply(work / ("apply-" + std::to_string(bytes / kMiB)), bytes, 3);
        double durableRatio = f.apply / f.durableCopy;
        applyMet = applyMet && durableRatio <= 1.2;
        std::printf("| %llu MiB | %.3f s | %.3f s | %.3f s | %.2f | %.2f |\n",
                    (unsigned long long)(bytes / kMiB), f.apply, f.copy, f.durableCopy,
                    f.apply / f.copy, durableRatio);
        std::fflush(stdout);
        fs::remove_all(work / ("apply-" + std::to_string(bytes / kMiB)));
    }
    std::printf("\nTarget, apply within 1.2 x the durable copy: %s.\n\n", verdict(applyMet));

    uint64_t largest = sizes.back();
    PeakFigures peak = measurePeak(work / "peak", largest);
    fs::remove_all(work / "peak");
    long overPayloadKiB = peak.hwmKiB - (long)(largest / 1024);
    std::printf("## Peak memory of the apply\n\n");
    std::printf("| payload | process before the apply (VmRSS) | peak (VmHWM) | peak over the "
                "payload |\n|---|---|---|---|\n");
    std::printf("| %llu MiB | %.1f MiB | %.1f MiB | %.1f MiB |\n\n",
                (unsigned long long)(largest / kMiB), peak.rssBeforeKiB / 1024.0,
                peak.hwmKiB / 1024.0, overPayloadKiB / 1024.0);
    std::printf("Target, peak within 8 MiB of the largest payload: %s.\n\n",
                verdict(overPayloadKiB <= 8 * 1024));

    std::printf("## Archive lookup\n\n");
    std::printf("The last member is asked for, so every slot is compared. Plain read: the "
                "header and the whole directory read with one pread() each.\n\n");
    std::printf("| members | ReadFile | SetFilePointer | GlobalAlloc | lookup | plain read | "
                "lookup / plain read |\n|---|---|---|---|---|---|---|\n");
    LookupFigures few = measureLookup(work, 3), many = measureLookup(work, 100000);
    for (const LookupFigures& f : {few, many})
        std::printf("| %u | %u | %u | %u | %.2f us | %.2f us | %.2f |\n", f.members, f.reads,
                    f.moves, f.blocks, f.lookup * 1e6, f.plainRead * 1e6, f.lookup / f.plainRead);
    bool callsMet = few.reads == many.reads && few.moves == many.moves && few.blocks == many.blocks;
    std::printf("\nTarget, the lookup's platform calls independent of the member count: %s.\n\n",
                verdict(callsMet));

    ResetFigures r = measureReset(work);
    std::printf("## Save-data reset\n\n");
    std::printf("%u deletion requests; fastest of 5 runs.\n\n", r.requests);
    std::printf("| save files | resetSaveData | %u unlink() | ratio |\n|---|---|---|---|\n",
                r.requests);
    std::printf("| all present | %.2f ms | %.2f ms | %.2f |\n", r.reset * 1e3, r.unlinks * 1e3,
                r.reset / r.unlinks);
    std::printf("| none present | %.2f ms | %.2f ms | %.2f |\n", r.resetNone * 1e3,
                r.unlinksNone * 1e3, r.resetNone / r.unlinksNone);

    fs::remove_all(work);
    return 0;
}
