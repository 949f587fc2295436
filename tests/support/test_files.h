// Files and folders for tests, through the platform calls themselves, so that the same test
// runs on the host layer and on Windows under Wine.
#ifndef TESTS_SUPPORT_TEST_FILES_H
#define TESTS_SUPPORT_TEST_FILES_H

#include <string>

#include "platform.h"

// A new empty folder for one test, removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder as a Windows path ("\tmp\updater-test-XXXX" natively, "C:\users\...\Temp\..."
    // under Wine), without a trailing backslash.
    const std::string& path() const { return path_; }
    // path(), a backslash and name.
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
    std::string hostPath_;
};

// Creates or replaces a file with exactly these bytes. Fails the test when it cannot.
void writeFile(const std::string& path, const std::string& bytes);
// The file's bytes; false when it cannot be opened.
bool readFile(const std::string& path, std::string* bytes);
// The file's bytes, or "<missing>" when it cannot be opened: for comparisons in assertions.
std::string fileContents(const std::string& path);
bool fileExists(const std::string& path);
void makeFolder(const std::string& path);

// Makes this folder the process's current directory for the object's lifetime.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& windowsPath);
    ~CurrentDirectory();

private:
    std::string previous_;
};

// `count` bytes of a pattern that differs at every position and per seed.
std::string patternBytes(size_t count, unsigned seed);

#endif
