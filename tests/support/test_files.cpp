#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace fs = std::filesystem;

static std::string toWindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

TempFolder::TempFolder()
{
    static std::mt19937 random(std::random_device{}());
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("updater-test-" + std::to_string(random() % 100000000));
        if (fs::create_directory(candidate)) {
            hostPath_ = candidate.string();
            break;
        }
    }
    path_ = toWindowsPath(hostPath_);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    // A test may have left read-only files behind: make them writable so they can go.
    for (auto it = fs::recursive_directory_iterator(hostPath_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(hostPath_, ignored);
}

void writeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << path << ", error "
                                          << GetLastError();
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << "cannot write " << path;
}

bool readFile(const std::string& path, std::string* bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->assign(GetFileSize(file, NULL), '\0');
    DWORD read = 0;
    BOOL ok = bytes->empty() ||
              ReadFile(file, &(*bytes)[0], (DWORD)bytes->size(), &read, NULL);
    CloseHandle(file);
    return ok && read == bytes->size();
}

std::string fileContents(const std::string& path)
{
    std::string bytes;
    return readFile(path, &bytes) ? bytes : std::string("<missing>");
}

bool fileExists(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

void makeFolder(const std::string& path)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), NULL)) << "cannot create folder " << path;
}

CurrentDirectory::CurrentDirectory(const std::string& windowsPath)
{
    previous_ = fs::current_path().string();
    std::string host = windowsPath;
    if (fs::path::preferred_separator == '/')
        for (char& c : host)
            if (c == '\\')
                c = '/';
    fs::current_path(host);
}

CurrentDirectory::~CurrentDirectory()
{
    fs::current_path(previous_);
}

std::string patternBytes(size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    std::minstd_rand random(seed + 1);
    for (char& b : bytes)
        b = (char)(random() & 0xFF);
    return bytes;
}
