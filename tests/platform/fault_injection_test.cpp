// Fault injection and the call trace of the host layer.
#include <gtest/gtest.h>

#include <functional>

#include "host_control.h"
#include "test_files.h"

namespace {

class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostReset();
        writeFile(folder / "ten", "0123456789");
        hostReset();  // the set-up's own calls are not part of the trace
    }
    void TearDown() override { hostReset(); }

    bool opens()
    {
        HANDLE file = CreateFileA((folder / "ten").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    }

    TempFolder folder;
};

TEST_F(FaultInjection, OnceAfterNAndFromThenOn)
{
    struct Case {
        const char* label;
        unsigned succeedFirst;
        FaultRepeat repeat;
        const char* outcomes;  // per call: 'S' succeeds, 'F' fails
    } cases[] = {
        {"once, at once", 0, FaultRepeat::Once, "FSSSS"},
        {"once, after two", 2, FaultRepeat::Once, "SSFSS"},
        {"from then on, at once", 0, FaultRepeat::FromThenOn, "FFFFF"},
        {"from then on, after three", 3, FaultRepeat::FromThenOn, "SSSFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        hostInjectFault(HostCall::CreateFileA, c.succeedFirst, c.repeat, ERROR_SHARING_VIOLATION);
        std::string outcomes;
        for (int i = 0; i < 5; ++i) {
            SetLastError(0xdeadbeef);
            bool opened = opens();
            outcomes += opened ? 'S' : 'F';
            if (!opened) {
                EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION) << "call " << i;
            }
        }
        EXPECT_EQ(outcomes, c.outcomes);
        hostClearFaults();
    }
    EXPECT_EQ(hostOpenHandles(), 0u) << "a faulted open holds nothing";
}

TEST_F(FaultInjection, ALaterFaultReplacesTheEarlierAndClearingEndsThem)
{
    hostInjectFault(HostCall::CreateFileA, 0, FaultRepeat::FromThenOn, ERROR_ACCESS_DENIED);
    hostInjectFault(HostCall::CreateFileA, 1, FaultRepeat::Once, ERROR_DISK_FULL);
    EXPECT_TRUE(opens());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(opens());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_TRUE(opens());

    hostInjectFault(HostCall::CreateFileA, 0, FaultRepeat::FromThenOn, ERROR_ACCESS_DENIED);
    hostClearFaults();
    EXPECT_TRUE(opens());
}

// Every traced call fails with the injected error and its own failure result.
TEST_F(FaultInjection, EveryCallFailsWithItsOwnResult)
{
    HANDLE file = CreateFileA((folder / "ten").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    hostRegistryCreateKey(HKEY_CURRENT_USER, "Software\\Test");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    hostSetLocalAppData("C:\\Users\\me\\AppData\\Local");
    LPMALLOC allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_LOCAL_APPDATA, &list), S_OK);

    const DWORD error = 1234;
    char buffer[MAX_PATH];
    DWORD count = 0;
    WIN32_FIND_DATAA found;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    BYTE data[4] = {};
    DWORD size = sizeof data;
    std::string path = folder / "ten";
    auto ignore = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; };
    struct Case {
        HostCall call;
        std::function<bool()> failsAsItsOwn;
    } cases[] = {
        {HostCall::CreateFileA, [&] { return CreateFileA(path.c_str(), GENERIC_READ, 0, NULL,
                                      OPEN_EXISTING, 0, NULL) == INVALID_HANDLE_VALUE; }},
        {HostCall::ReadFile,
         [&] { return !ReadFile(file, buffer, 4, &count, NULL) && count == 0; }},
        {HostCall::WriteFile,
         [&] { return !WriteFile(file, "ab", 2, &count, NULL) && count == 0; }},
        {HostCall::SetFilePointer,
         [&] { return SetFilePointer(file, 1, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER; }},
        {HostCall::GetFileSize, [&] { return GetFileSize(file, NULL) == INVALID_FILE_SIZE; }},
        {HostCall::FlushFileBuffers, [&] { return !FlushFileBuffers(file); }},
        {HostCall::CloseHandle, [&] { return !CloseHandle(file); }},
        {HostCall::DeleteFileA, [&] { return !DeleteFileA(path.c_str()); }},
        {HostCall::MoveFileExA, [&] { return !MoveFileExA(path.c_str(), "x", 0); }},
        {HostCall::CreateDirectoryA, [&] { return !CreateDirectoryA("new", NULL); }},
        {HostCall::FindFirstFileA,
         [&] { return FindFirstFileA(path.c_str(), &found) == INVALID_HANDLE_VALUE; }},
        {HostCall::GlobalAlloc, [&] { return GlobalAlloc(GMEM_ZEROINIT, 4) == nullptr; }},
        {HostCall::CreateMutexA, [&] { return CreateMutexA(NULL, TRUE, "m") == nullptr; }},
        {HostCall::GetVersionExA, [&] { return !GetVersionExA(&version); }},
        {HostCall::RegOpenKeyExA, [&] {
             HKEY other = nullptr;
             return RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_READ, &other) ==
                        (LSTATUS)error && other == nullptr;
         }},
        {HostCall::RegQueryValueExA,
         [&] { return RegQueryValueExA(key, "v", NULL, NULL, data, &size) == (LSTATUS)error; }},
        {HostCall::RegSetValueExA,
         [&] { return RegSetValueExA(key, "v", 0, REG_BINARY, data, 4) == (LSTATUS)error; }},
        {HostCall::DialogBoxParamA,
         [&] { return DialogBoxParamA(NULL, MAKEINTRESOURCEA(101), NULL, ignore, 0) == -1; }},
        {HostCall::MessageBoxA, [&] { return MessageBoxA(NULL, "t", "c", MB_OK) == 0; }},
        {HostCall::SHGetMalloc, [&] {
             LPMALLOC other = nullptr;
             return FAILED(SHGetMalloc(&other));
         }},
        {HostCall::SHGetSpecialFolderLocation, [&] {
             LPITEMIDLIST other = nullptr;
             return FAILED(SHGetSpecialFolderLocation(NULL, CSIDL_LOCAL_APPDATA, &other)) &&
                    other == nullptr;
         }},
        {HostCall::SHGetPathFromIDListA, [&] { return !SHGetPathFromIDListA(list, buffer); }},
    };
    ASSERT_EQ(sizeof cases / sizeof cases[0], (size_t)HostCall::Count) << "every call is listed";
    for (const Case& c : cases) {
        SCOPED_TRACE(hostCallName(c.call));
        hostInjectFault(c.call, 0, FaultRepeat::Once, error);
        unsigned before = hostCallCount(c.call);
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(c.failsAsItsOwn());
        EXPECT_EQ(GetLastError(), error);
        EXPECT_EQ(hostCallCount(c.call), before + 1) << "the faulted call is traced";
    }
    EXPECT_EQ(hostMessageBoxes().size(), 0u) << "a message box that failed showed nothing";

    allocator->Free(list);
    allocator->Release();
    RegCloseKey(key);
    EXPECT_TRUE(CloseHandle(file)) << "a faulted close left the handle open";
    EXPECT_EQ(fileContents(path), "0123456789") << "faulted writes and deletes change nothing";
    EXPECT_EQ(hostShellObjectsHeld(), 0u);
    EXPECT_EQ(hostOpenKeys(), 0u);
    EXPECT_EQ(hostOpenHandles(), 0u);
    EXPECT_EQ(hostLiveGlobalBlocks(), 0u);
}

TEST_F(FaultInjection, ShortTransfersMoveFewerBytes)
{
    HANDLE file = CreateFileA((folder / "ten").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[10] = {};
    DWORD count = 0;

    hostInjectShortTransfer(HostCall::ReadFile, 1, FaultRepeat::Once, 3);
    EXPECT_TRUE(ReadFile(file, buffer, 2, &count, NULL));
    EXPECT_EQ(std::string(buffer, count), "01");
    EXPECT_TRUE(ReadFile(file, buffer, 8, &count, NULL));
    EXPECT_EQ(std::string(buffer, count), "234") << "the short read";
    EXPECT_TRUE(ReadFile(file, buffer, 8, &count, NULL));
    EXPECT_EQ(std::string(buffer, count), "56789") << "only once";

    ASSERT_EQ(SetFilePointer(file, 0, NULL, FILE_BEGIN), 0u);
    hostInjectShortTransfer(HostCall::WriteFile, 0, FaultRepeat::FromThenOn, 2);
    EXPECT_TRUE(WriteFile(file, "abcdef", 6, &count, NULL));
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(WriteFile(file, "ABCDEF", 6, &count, NULL));
    EXPECT_EQ(count, 2u) << "from then on";
    CloseHandle(file);
    EXPECT_EQ(fileContents(folder / "ten"), "abAB456789");
}

TEST_F(FaultInjection, TraceRecordsCallsWithTheirFirstTextArgument)
{
    std::string path = folder / "ten";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    CloseHandle(file);
    DeleteFileA("missing.sav");
    MessageBoxA(NULL, "text", "caption", MB_OK);
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Absent", 0, KEY_READ, &key);
    GlobalFree(GlobalAlloc(GMEM_ZEROINIT, 8));

    std::vector<std::pair<HostCall, std::string>> expected = {
        {HostCall::CreateFileA, path},  {HostCall::CloseHandle, ""},
        {HostCall::DeleteFileA, "missing.sav"}, {HostCall::MessageBoxA, "text"},
        {HostCall::RegOpenKeyExA, "Software\\Absent"}, {HostCall::GlobalAlloc, ""},
    };
    ASSERT_EQ(hostTrace().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(hostCallName(hostTrace()[i].call), hostCallName(expected[i].first)) << i;
        EXPECT_EQ(hostTrace()[i].argument, expected[i].second) << i;
    }
    EXPECT_EQ(hostTraceOf(HostCall::DeleteFileA), std::vector<std::string>{"missing.sav"});
    EXPECT_EQ(hostCallCount(HostCall::CloseHandle), 1u);

    hostReset();
    EXPECT_TRUE(hostTrace().empty());
    EXPECT_EQ(hostCallCount(HostCall::CreateFileA), 0u);
}

}  // namespace
