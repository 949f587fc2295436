// replaceFileContents where its own rules show: the staging name beside the target, and what
// happens to a staging file that a killed run left behind.
#include <gtest/gtest.h>

#include "file_replace.h"
#include "test_files.h"

TEST(FileReplace, StagesBesideTheTargetAndLeavesOnlyTheTarget)
{
    struct Case {
        const char* label;
        const char* target;
        const char* staging;
        bool stalePresent;  // a staging file from an earlier, killed run
    } cases[] = {
        {"new target", "Install.ini", "Install.in~", false},
        {"target ending in a tilde", "backup~", "backup#", false},
        {"stale staging file from a killed run", "pkadv.exe", "pkadv.ex~", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        if (c.stalePresent)
            writeFile(folder / c.staging, patternBytes(5000, 1));
        std::string bytes = patternBytes(700, 2);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(replaceFileContents((folder / c.target).c_str(), bytes.data(),
                                      (DWORD)bytes.size()),
                  1);
        EXPECT_TRUE(fileContents(folder / c.target) == bytes);
        EXPECT_FALSE(fileExists(folder / c.staging));
    }
}

TEST(FileReplace, RefusedTargetKeepsItsBytesAndTheCallsError)
{
    TempFolder folder;
    writeFile(folder / "held.dat", "old");
    HANDLE held = CreateFileA((folder / "held.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    makeFolder(folder / "folder.dat");
    struct Case {
        const char* label;
        std::string target;
        DWORD error;
    } cases[] = {
        {"held without write sharing", folder / "held.dat", ERROR_SHARING_VIOLATION},
        {"a folder in its place", folder / "folder.dat", ERROR_ACCESS_DENIED},
        {"in a missing folder", folder / "gone\\new.dat", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(replaceFileContents(c.target.c_str(), "new", 3), 0);
        EXPECT_EQ(GetLastError(), c.error);
    }
    CloseHandle(held);
    EXPECT_EQ(fileContents(folder / "held.dat"), "old");
    EXPECT_FALSE(fileExists(folder / "held.da~"));
}
