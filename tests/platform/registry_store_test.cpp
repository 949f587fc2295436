// The host layer's registry store as the registry calls see it.
#include <gtest/gtest.h>

#include <cstring>

#include "host_control.h"

namespace {

const char* const record = "Software\\Quelm\\PikopekoLand";

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        hostReset();
        hostRegistrySetValue(HKEY_CURRENT_USER, record, "InstallFolder", REG_SZ,
                             std::string("C:\\Game\0", 8));
        hostRegistrySetValue(HKEY_CURRENT_USER, record, "Version", REG_BINARY,
                             std::string("\xe8\x03\x00\x00", 4));
    }
    void TearDown() override
    {
        EXPECT_EQ(hostOpenKeys(), 0u) << "every key opened was closed";
        hostReset();
    }
};

TEST_F(RegistryStore, OpenKeyExHonoursExistenceAndReadOnlyKeys)
{
    hostRegistryCreateKey(HKEY_LOCAL_MACHINE, "Software\\Locked", true);
    struct Case {
        const char* label;
        HKEY root;
        const char* subKey;
        REGSAM access;
        LSTATUS status;
    } cases[] = {
        {"the record for all access", HKEY_CURRENT_USER, record, KEY_ALL_ACCESS, ERROR_SUCCESS},
        {"names ignore letter case", HKEY_CURRENT_USER, "SOFTWARE\\quelm\\pikopekoland",
         KEY_READ, ERROR_SUCCESS},
        {"a key above a created one exists", HKEY_CURRENT_USER, "Software\\Quelm", KEY_READ,
         ERROR_SUCCESS},
        {"the other root has no such key", HKEY_LOCAL_MACHINE, record, KEY_READ,
         ERROR_FILE_NOT_FOUND},
        {"a missing key", HKEY_CURRENT_USER, "Software\\Quelm\\Other", KEY_ALL_ACCESS,
         ERROR_FILE_NOT_FOUND},
        {"a read-only key for reading", HKEY_LOCAL_MACHINE, "Software\\Locked", KEY_READ,
         ERROR_SUCCESS},
        {"a read-only key for all access", HKEY_LOCAL_MACHINE, "Software\\Locked",
         KEY_ALL_ACCESS, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HKEY key = (HKEY)(ULONG_PTR)0xdeadbeef;
        EXPECT_EQ(RegOpenKeyExA(c.root, c.subKey, 0, c.access, &key), c.status);
        if (c.status == ERROR_SUCCESS) {
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        } else {
            EXPECT_EQ(key, nullptr);
        }
    }
    EXPECT_FALSE(hostRegistryKeyExists(HKEY_CURRENT_USER, "Software\\Quelm\\Other"))
        << "opening never creates a key";
}

TEST_F(RegistryStore, QueryValueExCopiesWhatFits)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, record, 0, KEY_READ, &key), ERROR_SUCCESS);
    struct Case {
        const char* label;
        const char* name;
        DWORD size;
        bool withBuffer;
        LSTATUS status;
        DWORD sizeAfter;
        std::string data;  // the buffer's first sizeAfter bytes, when the query succeeds
    } cases[] = {
        {"fits with room to spare", "InstallFolder", 260, true, ERROR_SUCCESS, 8,
         std::string("C:\\Game\0", 8)},
        {"fits exactly", "Version", 4, true, ERROR_SUCCESS, 4,
         std::string("\xe8\x03\x00\x00", 4)},
        {"one byte short", "InstallFolder", 7, true, ERROR_MORE_DATA, 8, ""},
        {"no room at all", "Version", 0, true, ERROR_MORE_DATA, 4, ""},
        {"the length alone", "version", 0, false, ERROR_SUCCESS, 4, ""},
        {"a missing value", "Missing", 260, true, ERROR_FILE_NOT_FOUND, 260, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        BYTE buffer[260];
        std::memset(buffer, 0xCC, sizeof buffer);
        DWORD size = c.size;
        DWORD type = 0xdeadbeef;
        EXPECT_EQ(RegQueryValueExA(key, c.name, NULL, &type, c.withBuffer ? buffer : NULL,
                                   &size),
                  c.status);
        EXPECT_EQ(size, c.sizeAfter);
        if (c.status == ERROR_SUCCESS && c.withBuffer) {
            EXPECT_EQ(std::string((char*)buffer, size), c.data);
        }
        if (c.size < sizeof buffer) {
            EXPECT_EQ(buffer[c.size], 0xCC) << "nothing written past the size given";
        }
    }
    RegCloseKey(key);
}

TEST_F(RegistryStore, SetValueExNeedsWriteAccessAndReplaces)
{
    const BYTE version[4] = {0xF2, 0x03, 0x00, 0x00};
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, record, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Version", 0, REG_BINARY, version, 4), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    hostRegistrySetValue(HKEY_CURRENT_USER, record, "Version", REG_DWORD,
                         std::string("\xe8\x03\x00\x00", 4));
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, record, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "VERSION", 0, REG_BINARY, version, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "New", 0, REG_SZ, (const BYTE*)"x", 2), ERROR_SUCCESS);
    RegCloseKey(key);

    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(hostRegistryGetValue(HKEY_CURRENT_USER, record, "Version", &type, &bytes));
    EXPECT_EQ(type, (DWORD)REG_BINARY) << "the type is replaced too";
    EXPECT_EQ(bytes, std::string("\xf2\x03\x00\x00", 4));
    ASSERT_TRUE(hostRegistryGetValue(HKEY_CURRENT_USER, record, "new", &type, &bytes));
    EXPECT_EQ(bytes, std::string("x\0", 2));
    EXPECT_FALSE(hostRegistryGetValue(HKEY_CURRENT_USER, record, "Other", &type, &bytes));

    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE) << "a closed key";
    hostReset();
    EXPECT_FALSE(hostRegistryKeyExists(HKEY_CURRENT_USER, record)) << "reset empties the store";
}

}  // namespace
