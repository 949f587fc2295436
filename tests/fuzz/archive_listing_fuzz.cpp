// The packer's listing over arbitrary bytes, checked against the updater's own lookup: for the
// first members listed, asking the updater for the listed name finds what the listing says
// (the listed size at the listed data position, or nothing when the listing's extent cannot
// be reached), unless an earlier member holds the same name ignoring case.
#include "archive.h"
#include "archive_format.h"
#include "fuzz_support.h"
#include "host_control.h"

static const char kTarget[] = "archive_listing";

// Members checked against the lookup per input: each check opens and reads the file anew.
static const size_t kMembersChecked = 8;

int fuzzArchiveListing(const uint8_t* data, size_t size)
{
    std::string archive((const char*)data, size);
    ArchiveListing listing;
    std::string error;
    if (!listArchive(archive, &listing, &error)) {
        FUZZ_EXPECT(kTarget, !error.empty(), "refused without a reason");
        return 0;
    }
    formatListing(listing);
    FUZZ_EXPECT(kTarget, listing.members.size() <= listing.memberCount, "more members than counted");

    hostReset();
    std::string path = writeFuzzFile("listing.dat", archive);
    for (size_t i = 0; i < listing.members.size() && i < kMembersChecked; ++i) {
        const ListedMember& member = listing.members[i];
        if (member.name.find('\\') != std::string::npos)
            continue;  // the updater asks by the part after a backslash
        bool earlierTwin = false;
        for (size_t j = 0; j < i; ++j)
            earlierTwin = earlierTwin || lstrcmpiA(listing.members[j].name.c_str(),
                                                   member.name.c_str()) == 0;
        if (earlierTwin)
            continue;

        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            break;
        refuseOversizedDirectory(archive, 0);
        DWORD position = 0;
        DWORD found = findArchiveMember(file, member.name.c_str(), &position);
        hostClearFaults();
        CloseHandle(file);

        const bool reachable = member.offset <= 0x7FFFFFFFu && member.dataPosition <= 0xFFFFFFFFull &&
                               listing.directoryBytes <= kFuzzLargestDirectory;
        const std::string label = "member " + std::to_string(i) + ": ";
        FUZZ_EXPECT(kTarget, found == (reachable ? member.size : 0),
                    label + "the lookup finds " + std::to_string(found) + " bytes, the listing " +
                        std::to_string(member.size));
        if (found != 0)
            FUZZ_EXPECT(kTarget, position == member.dataPosition,
                        label + "the lookup's data position " + std::to_string(position) +
                            ", the listing's " + std::to_string(member.dataPosition));
    }
    FUZZ_EXPECT(kTarget, hostLiveGlobalBlocks() == 0 && hostOpenHandles() == 0, "leak");
    return 0;
}
