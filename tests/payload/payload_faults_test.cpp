// Payload streams when the platform fails them: every failure yields no stream or a zero
// result, never a wait without end, and leaves no handle or block behind.
#include <gtest/gtest.h>

#include "archive_format.h"
#include "host_control.h"
#include "payload_stream.h"
#include "test_files.h"

namespace {

const char kArchiveName[] = "UpdateData.dat";

class PayloadFaults : public ::testing::Test {
protected:
    PayloadFaults() : current_(folder_.path())
    {
        std::string archive, error;
        EXPECT_TRUE(packArchive({{"first.bin", "0123"}, {"pkadv.exe", payload_}}, 32, &archive,
                                &error));
        writeFile(kArchiveName, archive);
        hostReset();
    }
    ~PayloadFaults() override
    {
        hostClearFaults();
        EXPECT_EQ(hostOpenHandles(), 0u) << "handles left open";
        EXPECT_EQ(hostLiveGlobalBlocks(), 0u) << "blocks left allocated";
    }

    TempFolder folder_;
    CurrentDirectory current_;
    std::string payload_ = patternBytes(300, 3);
};

}  // namespace

TEST_F(PayloadFaults, OpenYieldsNoStreamWhenAnyStepFails)
{
    struct Case {
        const char* label;
        HostCall call;
        unsigned succeedFirst;
        DWORD error;
    } cases[] = {
        {"no memory for the record", HostCall::GlobalAlloc, 0, ERROR_NOT_ENOUGH_MEMORY},
        {"no memory for the header", HostCall::GlobalAlloc, 1, ERROR_NOT_ENOUGH_MEMORY},
        {"no memory for the directory", HostCall::GlobalAlloc, 2, ERROR_NOT_ENOUGH_MEMORY},
        {"archive cannot be opened", HostCall::CreateFileA, 1, ERROR_SHARING_VIOLATION},
        {"move to the member's data fails", HostCall::SetFilePointer, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        hostInjectFault(c.call, c.succeedFirst, FaultRepeat::Once, c.error);
        EXPECT_EQ(openPayload("pkadv.exe", kArchiveName), nullptr);
        hostClearFaults();
        EXPECT_EQ(hostOpenHandles(), 0u);
        EXPECT_EQ(hostLiveGlobalBlocks(), 0u);
    }
}

TEST_F(PayloadFaults, FailedOrShortReadEndsTheWaitWithZero)
{
    struct Case {
        const char* label;
        bool shortTransfer;
        int readResult;
        DWORD transferred;
    } cases[] = {
        {"read call fails", false, 0, 0},
        {"read delivers 100 of 300 bytes", true, 1, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PayloadStream* stream = openPayload("pkadv.exe", kArchiveName);
        ASSERT_NE(stream, nullptr);
        std::string bytes(payload_.size(), '\0');
        if (c.shortTransfer)
            hostInjectShortTransfer(HostCall::ReadFile, 0, FaultRepeat::Once, 100);
        else
            hostInjectFault(HostCall::ReadFile, 0, FaultRepeat::Once, ERROR_READ_FAULT);
        EXPECT_EQ(readPayload(stream, &bytes[0]), c.readResult);
        EXPECT_EQ(stream->requested, payload_.size());
        EXPECT_EQ(stream->transferred, c.transferred);
        EXPECT_EQ(waitPayload(stream), 0);
        closePayload(stream);
    }
}

TEST_F(PayloadFaults, LooseFileIsTakenWithoutOpeningTheArchive)
{
    writeFile("pkadv.exe", "loose");
    hostReset();
    PayloadStream* stream = openPayload("pkadv.exe", kArchiveName);
    ASSERT_NE(stream, nullptr);
    closePayload(stream);
    EXPECT_EQ(hostTraceOf(HostCall::CreateFileA), std::vector<std::string>{"pkadv.exe"});
    EXPECT_EQ(hostCallCount(HostCall::ReadFile), 0u);
}
