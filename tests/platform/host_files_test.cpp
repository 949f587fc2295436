// File behaviour that only the host layer can show: the read-only attribute as permission
// bits (root ignores them under Wine), drive letters, and the handle count.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "host_control.h"
#include "test_files.h"

namespace {

class HostFiles : public ::testing::Test {
protected:
    void SetUp() override { hostReset(); }
    void TearDown() override { hostReset(); }
};

std::string hostPathOf(std::string windowsPath)
{
    for (char& c : windowsPath)
        if (c == '\\')
            c = '/';
    return windowsPath;
}

TEST_F(HostFiles, NoWritePermissionBitsMeanReadOnly)
{
    TempFolder folder;
    std::string path = folder / "pkadv.exe";
    writeFile(path, "old program");
    writeFile(folder / "staged~", "new program");
    ASSERT_EQ(chmod(hostPathOf(path).c_str(), 0444), 0);

    struct Case {
        const char* label;
        DWORD access, creation;
    } refused[] = {
        {"open for writing", GENERIC_WRITE, OPEN_EXISTING},
        {"create always", GENERIC_WRITE, CREATE_ALWAYS},
        {"truncate", GENERIC_WRITE, TRUNCATE_EXISTING},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.label);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CreateFileA(path.c_str(), c.access, FILE_SHARE_WRITE, NULL, c.creation,
                              FILE_ATTRIBUTE_NORMAL, NULL),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED) << "delete";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileExA((folder / "staged~").c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED) << "replace";
    EXPECT_EQ(fileContents(path), "old program") << "reading is still allowed";

    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path.c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    FindClose(search);
}

TEST_F(HostFiles, DriveLettersMapToHostFolders)
{
    TempFolder folder;
    hostMapDrive('c', hostPathOf(folder.path()));
    makeFolder("C:\\Game");
    writeFile("c:\\Game\\Install.ini", "save=C:\\Save");
    EXPECT_EQ(fileContents(folder / "Game\\Install.ini"), "save=C:\\Save");

    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileA("Q:\\Game\\Install.ini", GENERIC_READ, 0, NULL, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, NULL),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND) << "an unmapped drive";

    hostReset();
    EXPECT_FALSE(fileExists("C:\\Game\\Install.ini")) << "reset forgets the drives";
}

TEST_F(HostFiles, HandlesAreCountedAndNeverValidAfterClose)
{
    TempFolder folder;
    writeFile(folder / "a", "x");
    unsigned before = hostOpenHandles();
    HANDLE file = CreateFileA((folder / "a").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder / "a").c_str(), &data);
    HANDLE mutex = CreateMutexA(NULL, TRUE, "counted");
    EXPECT_EQ(hostOpenHandles(), before + 3);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(search)) << "a search ends with FindClose";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_TRUE(FindClose(search));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(CloseHandle(mutex));
    EXPECT_EQ(hostOpenHandles(), before);

    HANDLE reopened = CreateFileA((folder / "a").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_NE(reopened, file) << "handle values are not reused";
    DWORD read = 0;
    char byte;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReadFile(file, &byte, 1, &read, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseHandle(reopened);
}

TEST_F(HostFiles, SetFilePointerBeyond32BitsFailsWithoutAHighPart)
{
    TempFolder folder;
    writeFile(folder / "a", "x");
    HANDLE file = CreateFileA((folder / "a").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_EQ(SetFilePointer(file, 0x7FFFFFFF, NULL, FILE_BEGIN), 0x7FFFFFFFu);
    ASSERT_EQ(SetFilePointer(file, 0x7FFFFFFF, NULL, FILE_CURRENT), 0xFFFFFFFEu);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetFilePointer(file, 2, NULL, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetFilePointer(file, 0, NULL, FILE_CURRENT), 0xFFFFFFFEu) << "position kept";
    CloseHandle(file);
}

}  // namespace
