// updpack: packs payload files into an update archive and lists an archive's members.
// Exit status: 0 done, 1 refused or failed (the reason on stderr), 2 wrong usage.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "archive_format.h"

static const char kUsage[] =
    "Usage: updpack pack [--narrow-slots] ARCHIVE FILE...\n"
    "       updpack list ARCHIVE\n"
    "       updpack --help\n"
    "\n"
    "pack  Writes ARCHIVE (the updater looks for UpdateData.dat) holding each FILE as a\n"
    "      member named by its base name, stored byte for byte, in the order given.\n"
    "      Name slots are 32 bytes wide (names up to 31 bytes); with --narrow-slots\n"
    "      16 bytes (names up to 15 bytes). Refuses, writing nothing, a name that is\n"
    "      too long or holds a backslash, two names equal apart from case, an empty\n"
    "      FILE (the updater takes a 0-byte member for a missing one), and members\n"
    "      beyond 32-bit positions. An existing ARCHIVE is replaced only when the new\n"
    "      one is written whole.\n"
    "list  Prints the members of ARCHIVE: offset in the data area, size, data position\n"
    "      in the file, and name. Warns on stderr about anything the updater would not\n"
    "      read whole, such as a member running past the end of the file.\n"
    "\n"
    "Exit status: 0 done, 1 refused or failed, 2 wrong usage.\n";

static int usageError(const std::string& message)
{
    std::cerr << "updpack: " << message << "\nTry 'updpack --help'.\n";
    return 2;
}

static int failure(const std::string& message)
{
    std::cerr << "updpack: " << message << "\n";
    return 1;
}

static bool readWholeFile(const std::string& path, std::string* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad())
        return false;
    *bytes = contents.str();
    return true;
}

static std::string baseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes beside the archive first, so that a failed write leaves no cut archive behind and
// an existing one as it was.
static bool writeWholeFile(const std::string& path, const std::string& bytes)
{
    std::string staging = path + ".part";
    {
        std::ofstream out(staging, std::ios::binary | std::ios::trunc);
        if (out)
            out.write(bytes.data(), (std::streamsize)bytes.size());
        out.close();
        if (!out) {
            std::remove(staging.c_str());
            return false;
        }
    }
    if (std::rename(staging.c_str(), path.c_str()) != 0) {
        std::remove(staging.c_str());
        return false;
    }
    return true;
}

static int pack(const std::vector<std::string>& arguments)
{
    unsigned slotWidth = kWideSlotWidth;
    size_t next = 0;
    for (; next < arguments.size() && arguments[next].compare(0, 2, "--") == 0; ++next) {
        if (arguments[next] == "--narrow-slots")
            slotWidth = kNarrowSlotWidth;
        else
            return usageError("pack: unknown option '" + arguments[next] + "'");
    }
    if (next == arguments.size())
        return usageError("pack: no ARCHIVE given");
    std::string archivePath = arguments[next++];

    std::vector<PackMember> members;
    for (; next < arguments.size(); ++next) {
        PackMember member;
        member.name = baseName(arguments[next]);
        if (!readWholeFile(arguments[next], &member.bytes))
            return failure("cannot read '" + arguments[next] + "': " + std::strerror(errno));
        members.push_back(member);
    }

    std::string archive, error;
    if (!packArchive(members, slotWidth, &archive, &error))
        return failure(error + "; nothing written");
    if (!writeWholeFile(archivePath, archive))
        return failure("cannot write '" + archivePath + "': " + std::strerror(errno));
    return 0;
}

static int list(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1)
        return usageError("list: give exactly one ARCHIVE");
    std::string bytes;
    if (!readWholeFile(arguments[0], &bytes))
        return failure("cannot read '" + arguments[0] + "': " + std::strerror(errno));
    ArchiveListing listing;
    std::string error;
    if (!listArchive(bytes, &listing, &error))
        return failure(arguments[0] + ": " + error);
    std::cout << arguments[0] << ": " << formatListing(listing);
    std::cout.flush();
    for (const std::string& warning : listing.warnings)
        std::cerr << "updpack: warning: " << arguments[0] << ": " << warning << "\n";
    return std::cout ? 0 : 1;
}

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        }
    if (arguments.empty())
        return usageError("no command given");
    std::string command = arguments[0];
    arguments.erase(arguments.begin());
    if (command == "pack")
        return pack(arguments);
    if (command == "list")
        return list(arguments);
    return usageError("unknown command '" + command + "'");
}
