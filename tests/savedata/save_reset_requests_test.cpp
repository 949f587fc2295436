// The save-data reset's deletion requests, exactly as the platform receives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host_control.h"
#include "save_data.h"
#include "savedata_state.h"

// The 2,003 paths in the order they are to be requested, written out independently of the
// template digits the reset overwrites.
static std::vector<std::string> expectedRequests(const std::string& installFolder)
{
    const std::string save = installFolder + "\\save\\";
    std::vector<std::string> paths = {save + "syssave.dat", save + "qsave.sav",
                                      save + "qsave.gra"};
    for (int number = 0; number <= 999; ++number) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%03d", number);
        paths.push_back(save + "save" + digits + ".sav");
        paths.push_back(save + "thumb" + digits + ".gra");
    }
    return paths;
}

// Compares two long request lists and reports the first difference, not all 2,003 lines.
static void expectSameRequests(const std::vector<std::string>& actual,
                               const std::vector<std::string>& expected)
{
    size_t common = std::min(actual.size(), expected.size());
    for (size_t i = 0; i < common; ++i)
        if (actual[i] != expected[i]) {
            ADD_FAILURE() << "request " << i << " is " << actual[i] << ", expected "
                          << expected[i];
            return;
        }
    EXPECT_EQ(actual.size(), expected.size())
        << "next unexpected request: "
        << (actual.size() > common ? actual[common] : "(none)")
        << ", next missing request: "
        << (expected.size() > common ? expected[common] : "(none)");
}

class SaveResetRequests : public ::testing::Test {
protected:
    void SetUp() override { hostReset(); }
    void TearDown() override { hostReset(); }
};

TEST_F(SaveResetRequests, AskForEveryNameInOrderWhateverTheFolderHolds)
{
    struct Case {
        const char* label;
        const char* installFolder;
        const char* firstRequest;
    } cases[] = {
        {"plain install folder", "D:\\Game", "D:\\Game\\save\\syssave.dat"},
        {"install folder ending in a backslash, kept as built", "D:\\Game\\",
         "D:\\Game\\\\save\\syssave.dat"},
        {"install folder on an unmapped drive: every request still made", "Q:\\Nowhere",
         "Q:\\Nowhere\\save\\syssave.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        hostReset();
        setInstallFolder(c.installFolder);

        resetSaveData();

        std::vector<std::string> requests = hostTraceOf(HostCall::DeleteFileA);
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0], c.firstRequest);
        expectSameRequests(requests, expectedRequests(c.installFolder));
        EXPECT_EQ(hostCallCount(HostCall::CreateDirectoryA), 0u);
        EXPECT_EQ(hostCallCount(HostCall::FindFirstFileA), 0u) << "nothing is tested first";
        EXPECT_EQ(hostLiveGlobalBlocks(), 0u);
        EXPECT_TRUE(hostMessageBoxes().empty());
    }
}

// A path that does not fit in MAX_PATH bytes is never requested, so that a cut path can never
// name another file; the names that do fit are still requested. With an install folder of n
// bytes, "\save\" and a name of k bytes need n + 6 + k + 1 <= 260.
TEST_F(SaveResetRequests, NamesWhosePathDoesNotFitAreSkipped)
{
    struct Case {
        size_t installFolderLength;
        size_t requests;  // which of the 2,003 fit
        const char* fitting;
    } cases[] = {
        {241, 2003, "all: a thumb path is 259 bytes"},
        {242, 1003, "the fixed names and the 1,000 save names; no thumb name (12 bytes)"},
        {243, 2, "qsave.sav and qsave.gra only (9 bytes)"},
        {244, 2, "qsave.sav and qsave.gra, 259 bytes"},
        {245, 0, "none"},
        {259, 0, "none: the longest install folder"},
    };
    for (const auto& c : cases) {
        std::string folder = "D:\\" + std::string(c.installFolderLength - 3, 'g');
        SCOPED_TRACE(std::to_string(c.installFolderLength) + "-byte install folder: " +
                     c.fitting);
        hostReset();
        setInstallFolder(folder);

        resetSaveData();

        std::vector<std::string> fitting;
        for (const std::string& path : expectedRequests(folder))
            if (path.size() < MAX_PATH)
                fitting.push_back(path);
        std::vector<std::string> requests = hostTraceOf(HostCall::DeleteFileA);
        EXPECT_EQ(requests.size(), c.requests);
        expectSameRequests(requests, fitting);
    }
}
