// The file and folder calls as the updater relies on them. Runs on the host layer and, as a
// Windows program under Wine, against the real calls: both must give the same answers.
#include <gtest/gtest.h>

#include "platform.h"
#include "test_files.h"

namespace {

enum class Entry { Missing, File, Folder, MissingFolder };

// Makes `name` in `folder` what `entry` says; a MissingFolder entry lies in "gone\".
std::string prepare(const TempFolder& folder, Entry entry, const std::string& name)
{
    switch (entry) {
    case Entry::File: writeFile(folder / name, "old bytes"); break;
    case Entry::Folder: makeFolder(folder / name); break;
    case Entry::MissingFolder: return folder / ("gone\\" + name);
    case Entry::Missing: break;
    }
    return folder / name;
}

HANDLE openFile(const std::string& path, DWORD access, DWORD share, DWORD creation)
{
    return CreateFileA(path.c_str(), access, share, NULL, creation, FILE_ATTRIBUTE_NORMAL, NULL);
}

const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

TEST(FileConformance, CreateFileModes)
{
    struct Case {
        const char* label;
        Entry entry;
        DWORD access;
        DWORD creation;
        bool opens;
        DWORD error;          // last error after the call
        const char* content;  // the file's bytes afterwards; null: not a file
    } cases[] = {
        {"CREATE_ALWAYS empties an existing file", Entry::File, GENERIC_WRITE, CREATE_ALWAYS,
         true, ERROR_ALREADY_EXISTS, ""},
        {"CREATE_ALWAYS creates a missing file", Entry::Missing, GENERIC_WRITE, CREATE_ALWAYS,
         true, ERROR_SUCCESS, ""},
        {"CREATE_ALWAYS in a missing folder", Entry::MissingFolder, GENERIC_WRITE, CREATE_ALWAYS,
         false, ERROR_PATH_NOT_FOUND, nullptr},
        {"CREATE_ALWAYS on a folder", Entry::Folder, GENERIC_WRITE, CREATE_ALWAYS, false,
         ERROR_ACCESS_DENIED, nullptr},
        {"CREATE_NEW on an existing file", Entry::File, GENERIC_WRITE, CREATE_NEW, false,
         ERROR_FILE_EXISTS, "old bytes"},
        {"CREATE_NEW on a folder", Entry::Folder, GENERIC_WRITE, CREATE_NEW, false,
         ERROR_FILE_EXISTS, nullptr},
        {"OPEN_EXISTING keeps the bytes", Entry::File, GENERIC_READ, OPEN_EXISTING, true,
         ERROR_SUCCESS, "old bytes"},
        {"OPEN_EXISTING on a missing file", Entry::Missing, GENERIC_READ, OPEN_EXISTING, false,
         ERROR_FILE_NOT_FOUND, nullptr},
        {"OPEN_EXISTING in a missing folder", Entry::MissingFolder, GENERIC_READ, OPEN_EXISTING,
         false, ERROR_PATH_NOT_FOUND, nullptr},
        {"OPEN_EXISTING on a folder", Entry::Folder, GENERIC_READ, OPEN_EXISTING, false,
         ERROR_ACCESS_DENIED, nullptr},
        {"OPEN_ALWAYS keeps an existing file", Entry::File, GENERIC_WRITE, OPEN_ALWAYS, true,
         ERROR_ALREADY_EXISTS, "old bytes"},
        {"TRUNCATE_EXISTING empties", Entry::File, GENERIC_WRITE, TRUNCATE_EXISTING, true,
         ERROR_SUCCESS, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        std::string path = prepare(folder, c.entry, "target.dat");
        SetLastError(0xdeadbeef);
        HANDLE file = openFile(path, c.access, 0, c.creation);
        DWORD error = GetLastError();
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens) << path;
        EXPECT_EQ(error, c.error);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD high = 0xdeadbeef;
            EXPECT_EQ(SetFilePointer(file, 0, NULL, FILE_CURRENT), 0u) << "starts at 0";
            EXPECT_EQ(GetFileSize(file, &high), (DWORD)std::string(c.content).size());
            EXPECT_EQ(high, 0u);
            EXPECT_TRUE(CloseHandle(file));
        }
        if (c.content) {
            EXPECT_EQ(fileContents(path), c.content);
        }
    }
}

TEST(FileConformance, ShareModesBetweenTwoHandles)
{
    struct Case {
        const char* label;
        DWORD firstAccess, firstShare;
        DWORD secondAccess, secondShare, secondCreation;
        bool secondOpens;
    } cases[] = {
        {"two readers sharing reading", GENERIC_READ, FILE_SHARE_READ, GENERIC_READ,
         FILE_SHARE_READ, OPEN_EXISTING, true},
        {"writer after a reader who shares only reading", GENERIC_READ, FILE_SHARE_READ,
         GENERIC_WRITE, shareAll, OPEN_EXISTING, false},
        {"reader after a writer who shares only writing", GENERIC_WRITE, FILE_SHARE_WRITE,
         GENERIC_READ, shareAll, OPEN_EXISTING, false},
        {"two writers sharing writing", GENERIC_WRITE, FILE_SHARE_WRITE, GENERIC_WRITE,
         FILE_SHARE_WRITE, OPEN_EXISTING, true},
        {"reader who refuses the reader already there", GENERIC_READ, FILE_SHARE_READ,
         GENERIC_READ, 0, OPEN_EXISTING, false},
        {"writer who shares reading after a reader sharing all", GENERIC_READ, shareAll,
         GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, true},
        {"CREATE_ALWAYS while held without sharing", GENERIC_READ, 0, GENERIC_WRITE, shareAll,
         CREATE_ALWAYS, false},
        {"payload reader while the target writer shares writing", GENERIC_WRITE,
         FILE_SHARE_WRITE, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        std::string path = prepare(folder, Entry::File, "held.dat");
        HANDLE first = openFile(path, c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        SetLastError(0xdeadbeef);
        HANDLE second = openFile(path, c.secondAccess, c.secondShare, c.secondCreation);
        DWORD error = GetLastError();
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second != INVALID_HANDLE_VALUE) {
            CloseHandle(second);
        } else {
            EXPECT_EQ(error, (DWORD)ERROR_SHARING_VIOLATION);
        }
        CloseHandle(first);
        EXPECT_EQ(fileContents(path), "old bytes") << "a refused CREATE_ALWAYS empties nothing";
    }
}

TEST(FileConformance, ReadFileIsShortAtTheEnd)
{
    TempFolder folder;
    writeFile(folder / "five", "hello");
    HANDLE file = openFile(folder / "five", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    struct Step {
        DWORD count;
        const char* delivered;
    } steps[] = {{3, "hel"}, {10, "lo"}, {10, ""}, {0, ""}};
    for (const Step& step : steps) {
        char buffer[16] = {};
        DWORD read = 0xdeadbeef;
        EXPECT_TRUE(ReadFile(file, buffer, step.count, &read, NULL)) << "count " << step.count;
        EXPECT_EQ(std::string(buffer, read), step.delivered) << "count " << step.count;
    }
    char byte;
    DWORD written = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, NULL)) << "write on a read handle";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(written, 0u);
    CloseHandle(file);

    file = openFile(folder / "five", GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD read = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReadFile(file, &byte, 1, &read, NULL)) << "read on a write handle";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(file);
}

TEST(FileConformance, SetFilePointerMovesFromTheCurrentPosition)
{
    TempFolder folder;
    writeFile(folder / "ten", "0123456789");
    HANDLE file = openFile(folder / "ten", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    struct Case {
        const char* label;
        LONG distance;
        DWORD method;
        DWORD result;  // INVALID_SET_FILE_POINTER: fails with `error`, position stays 4
        DWORD error;
        const char* next;  // the next two bytes read from the new position
    } cases[] = {
        {"forward from the current position", 3, FILE_CURRENT, 7, 0, "78"},
        {"back to the start", -4, FILE_CURRENT, 0, 0, "01"},
        {"before the start", -5, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK,
         "45"},
        {"past the end is allowed", 100, FILE_CURRENT, 104, 0, ""},
        {"from the start", 2, FILE_BEGIN, 2, 0, "23"},
        {"from the end", -1, FILE_END, 9, 0, "9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(SetFilePointer(file, 4, NULL, FILE_BEGIN), 4u);
        SetLastError(0xdeadbeef);
        DWORD result = SetFilePointer(file, c.distance, NULL, c.method);
        EXPECT_EQ(result, c.result);
        if (c.result == INVALID_SET_FILE_POINTER) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        char buffer[2] = {};
        DWORD read = 0;
        EXPECT_TRUE(ReadFile(file, buffer, 2, &read, NULL));
        EXPECT_EQ(std::string(buffer, read), c.next);
    }
    CloseHandle(file);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetFilePointer(file, 0, NULL, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE) << "on a closed handle";
}

TEST(FileConformance, GetFileSizeFollowsWrites)
{
    TempFolder folder;
    HANDLE file = openFile(folder / "grows", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, NULL), 0u);
    std::string bytes = patternBytes(70000, 1);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL));
    EXPECT_EQ(written, 70000u);
    EXPECT_EQ(GetFileSize(file, NULL), 70000u);
    EXPECT_TRUE(FlushFileBuffers(file));
    CloseHandle(file);
    EXPECT_TRUE(fileContents(folder / "grows") == bytes);
}

TEST(FileConformance, MoveFileExReplacesInOneStep)
{
    struct Case {
        const char* label;
        Entry target;
        DWORD flags;
        DWORD heldShare;  // the target held open for reading with this share mode; ~0u: not held
        bool moves;
        DWORD error;
    } cases[] = {
        {"replaces an existing file", Entry::File, MOVEFILE_REPLACE_EXISTING, ~0u, true, 0},
        {"replaces with write-through", Entry::File,
         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, ~0u, true, 0},
        {"to a missing name", Entry::Missing, 0, ~0u, true, 0},
        {"existing target, replacing not asked", Entry::File, 0, ~0u, false,
         ERROR_ALREADY_EXISTS},
        {"target held without delete sharing", Entry::File, MOVEFILE_REPLACE_EXISTING,
         FILE_SHARE_READ | FILE_SHARE_WRITE, false, ERROR_ACCESS_DENIED},
        {"target held even with delete sharing", Entry::File, MOVEFILE_REPLACE_EXISTING,
         shareAll, false, ERROR_ACCESS_DENIED},
        {"target is a folder", Entry::Folder, MOVEFILE_REPLACE_EXISTING, ~0u, false,
         ERROR_ACCESS_DENIED},
        {"target in a missing folder", Entry::MissingFolder, MOVEFILE_REPLACE_EXISTING, ~0u,
         false, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        writeFile(folder / "staged~", "new bytes");
        std::string target = prepare(folder, c.target, "target.dat");
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.heldShare != ~0u) {
            held = openFile(target, GENERIC_READ, c.heldShare, OPEN_EXISTING);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
        }
        SetLastError(0xdeadbeef);
        BOOL moved = MoveFileExA((folder / "staged~").c_str(), target.c_str(), c.flags);
        DWORD error = GetLastError();
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(moved != 0, c.moves);
        if (c.moves) {
            EXPECT_EQ(fileContents(target), "new bytes");
            EXPECT_FALSE(fileExists(folder / "staged~"));
        } else {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(fileContents(folder / "staged~"), "new bytes");
            if (c.target == Entry::File) {
                EXPECT_EQ(fileContents(target), "old bytes");
            }
        }
    }

    TempFolder folder;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileExA((folder / "absent").c_str(), (folder / "b").c_str(), 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND) << "a missing source";

    writeFile(folder / "held", "held bytes");
    HANDLE held = openFile(folder / "held", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           OPEN_EXISTING);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileExA((folder / "held").c_str(), (folder / "b").c_str(), 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION) << "a source held open";
    CloseHandle(held);
}

TEST(FileConformance, DeleteFileErrors)
{
    struct Case {
        const char* label;
        Entry entry;
        DWORD heldShare;  // ~0u: not held
        bool deletes;
        DWORD error;
    } cases[] = {
        {"an existing file", Entry::File, ~0u, true, 0},
        {"a file held with delete sharing", Entry::File, shareAll, true, 0},
        {"a missing file", Entry::Missing, ~0u, false, ERROR_FILE_NOT_FOUND},
        {"in a missing folder", Entry::MissingFolder, ~0u, false, ERROR_PATH_NOT_FOUND},
        {"a folder", Entry::Folder, ~0u, false, ERROR_ACCESS_DENIED},
        {"a file held without delete sharing", Entry::File, FILE_SHARE_READ | FILE_SHARE_WRITE,
         false, ERROR_SHARING_VIOLATION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        std::string path = prepare(folder, c.entry, "save000.sav");
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.heldShare != ~0u)
            held = openFile(path, GENERIC_READ, c.heldShare, OPEN_EXISTING);
        SetLastError(0xdeadbeef);
        BOOL deleted = DeleteFileA(path.c_str());
        DWORD error = GetLastError();
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(deleted != 0, c.deletes);
        if (!c.deletes) {
            EXPECT_EQ(error, c.error);
        }
        if (c.entry == Entry::File) {
            EXPECT_EQ(fileExists(path), !c.deletes);
        }
    }
}

TEST(FileConformance, CreateDirectoryMakesOneLevel)
{
    struct Case {
        const char* label;
        Entry entry;
        bool creates;
        DWORD error;
    } cases[] = {
        {"a new folder", Entry::Missing, true, 0},
        {"an existing folder", Entry::Folder, false, ERROR_ALREADY_EXISTS},
        {"an existing file of that name", Entry::File, false, ERROR_ALREADY_EXISTS},
        {"a missing parent", Entry::MissingFolder, false, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        std::string path = prepare(folder, c.entry, "save");
        SetLastError(0xdeadbeef);
        BOOL created = CreateDirectoryA(path.c_str(), NULL);
        EXPECT_EQ(created != 0, c.creates);
        if (!c.creates) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(path.c_str(), &data);
        EXPECT_EQ(search != INVALID_HANDLE_VALUE, c.entry != Entry::MissingFolder);
        if (search != INVALID_HANDLE_VALUE) {
            EXPECT_EQ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                      c.entry != Entry::File);
            FindClose(search);
        }
    }
}

TEST(FileConformance, FindFirstFileTakesAnExactPath)
{
    struct Case {
        const char* label;
        Entry entry;
        const char* suffix;  // appended to the path
        bool finds;
        DWORD error;
    } cases[] = {
        {"a file", Entry::File, "", true, 0},
        {"a folder", Entry::Folder, "", true, 0},
        {"a missing entry", Entry::Missing, "", false, ERROR_FILE_NOT_FOUND},
        {"in a missing folder", Entry::MissingFolder, "", false, ERROR_PATH_NOT_FOUND},
        {"a folder with a trailing backslash", Entry::Folder, "\\", false,
         ERROR_FILE_NOT_FOUND},
        {"a file with a trailing backslash", Entry::File, "\\", false, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        std::string path = prepare(folder, c.entry, "Quelm") + c.suffix;
        WIN32_FIND_DATAA data = {};
        SetLastError(0xdeadbeef);
        HANDLE search = FindFirstFileA(path.c_str(), &data);
        EXPECT_EQ(search != INVALID_HANDLE_VALUE, c.finds) << path;
        if (search == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), c.error);
            continue;
        }
        EXPECT_STREQ(data.cFileName, "Quelm");
        bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        EXPECT_EQ(isFolder, c.entry == Entry::Folder);
        if (!isFolder) {
            EXPECT_EQ(data.nFileSizeLow, 9u);
        }
        EXPECT_TRUE(FindClose(search));
    }
}

// 予 is 97 5C in code page 932: its second byte is a backslash that separates nothing.
TEST(FileConformance, DoubleByteNamesWithABackslashByte)
{
    TempFolder folder;
    const std::string name = "予定.dat";
    ASSERT_EQ(name.substr(0, 2), std::string("\x97\x5c"));
    writeFile(folder / name, "planned");
    EXPECT_EQ(fileContents(folder / name), "planned");
    makeFolder(folder / "予備");
    writeFile(folder / "予備\\予定.dat", "inside");
    EXPECT_EQ(fileContents(folder / "予備\\予定.dat"), "inside");
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder / "予備\\予定.dat").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "予定.dat");
    FindClose(search);
}

}  // namespace
