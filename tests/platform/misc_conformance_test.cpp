// Memory, string and mutex calls as the updater relies on them, on the host layer and under
// Wine alike.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform.h"

namespace {

TEST(MemoryConformance, GlobalAllocZeroFillsEveryBlock)
{
    const SIZE_T sizes[] = {0, 1, 16, 4096, 300000};
    for (SIZE_T size : sizes) {
        SCOPED_TRACE(size);
        // Dirty a block of the same size first, so that zeros cannot be left-overs.
        void* dirty = GlobalAlloc(GMEM_FIXED, size ? size : 1);
        ASSERT_NE(dirty, nullptr);
        std::memset(dirty, 0xA5, size ? size : 1);
        EXPECT_EQ(GlobalFree(GlobalHandle(dirty)), nullptr);

        unsigned char* block = (unsigned char*)GlobalAlloc(GMEM_ZEROINIT, size);
        ASSERT_NE(block, nullptr) << "a request for " << size << " bytes yields a block";
        SIZE_T nonZero = 0;
        for (SIZE_T i = 0; i < size; ++i)
            nonZero += block[i] != 0;
        EXPECT_EQ(nonZero, 0u);
        EXPECT_EQ(GlobalHandle(block), (HGLOBAL)block) << "fixed memory: handle is pointer";
        EXPECT_EQ(GlobalFree(GlobalHandle(block)), nullptr);
    }
}

TEST(StringConformance, LstrcmpiIgnoresAsciiCaseOnly)
{
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"pkadv.exe", "PKADV.EXE", 0},
        {"Archive.dat", "archive.DAT", 0},
        {"", "", 0},
        {"a", "B", -1},
        {"B", "a", 1},
        {"abc", "abcd", -1},
        {"abcd", "ABC", 1},
        // The second bytes 0x41 and 0x61 are no letters: these are two different characters.
        {"\x83\x41", "\x83\x61", -1},
        {"予定", "予定", 0},
    };
    for (const Case& c : cases) {
        int result = lstrcmpiA(c.a, c.b);
        int sign = (result > 0) - (result < 0);
        EXPECT_EQ(sign, c.sign) << "lstrcmpiA(\"" << c.a << "\", \"" << c.b << "\") = " << result;
    }
    EXPECT_EQ(lstrlenA("Instdata.pak"), 12);
    EXPECT_EQ(lstrlenA(""), 0);
}

TEST(StringConformance, WsprintfJoinsAndLimitsTo1024Bytes)
{
    struct Case {
        const char* label;
        const char* format;
        std::string first, second;
        std::string expected;
    } cases[] = {
        {"a path", "%s\\%s", "C:\\Game", "pkadv.exe", "C:\\Game\\pkadv.exe"},
        {"a trailing backslash kept", "%s\\%s", "C:\\Game\\", "save", "C:\\Game\\\\save"},
        {"empty strings", "%s\\%s", "", "", "\\"},
        {"a percent sign", "100%% %s%s", "done", "", "100% done"},
        {"a double-byte text", "ファイルが書き込めません。[%s]%s", "pkadv.exe", "",
         "ファイルが書き込めません。[pkadv.exe]"},
        {"cut at 1023 bytes", "%s%s", std::string(1000, 'a'), std::string(100, 'b'),
         std::string(1000, 'a') + std::string(23, 'b')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        char out[2048];
        std::memset(out, 'X', sizeof out);
        int length = wsprintfA(out, c.format, c.first.c_str(), c.second.c_str());
        if (c.expected.size() < 1023) {
            EXPECT_EQ(length, (int)c.expected.size());
        }
        EXPECT_EQ(std::string(out), c.expected);
        EXPECT_EQ(out[c.expected.size() + 1], 'X') << "nothing written after the terminator";
    }
}

TEST(MutexConformance, SecondCreateInTheProcessFindsTheName)
{
    const char* name = "PlatformConformance Mutex";
    SetLastError(0xdeadbeef);
    HANDLE first = CreateMutexA(NULL, TRUE, name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

    SetLastError(0xdeadbeef);
    HANDLE second = CreateMutexA(NULL, TRUE, name);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(first));

    SetLastError(0xdeadbeef);
    HANDLE again = CreateMutexA(NULL, TRUE, name);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS) << "the name is free once all are closed";
    CloseHandle(again);
}

}  // namespace
