#include "install_record.h"

#include <cstring>

#include "state.h"

static const char kRecordKey[] = "Software\\Quelm\\PikopekoLand";

int openInstallRecord(HKEY* key)
{
    return RegOpenKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, KEY_ALL_ACCESS, key) ==
           ERROR_SUCCESS;
}

int readInstallFolder(HKEY key)
{
    // Zero-filled, so that data shorter than the buffer but stored without its terminator
    // still ends within it.
    memset(installFolder, 0, sizeof installFolder);
    DWORD size = sizeof installFolder;
    LSTATUS status = RegQueryValueExA(key, "InstallFolder", NULL, NULL,
                                      reinterpret_cast<LPBYTE>(installFolder), &size);
    // Exactly MAX_PATH bytes with no NUL among them would leave installFolder unterminated
    // for everyone who reads it later: refused like a missing value.
    if (status != ERROR_SUCCESS || memchr(installFolder, 0, sizeof installFolder) == NULL) {
        installFolder[0] = 0;
        return 0;
    }
    return installFolder[0] != 0;
}

int readInstalledVersion(HKEY key)
{
    // Data of fewer than 4 bytes fills the low-order bytes (the record is little-endian, as
    // is every machine the updater runs on); the rest stay zero.
    installedVersion = 0;
    DWORD size = sizeof installedVersion;
    if (RegQueryValueExA(key, "Version", NULL, NULL, reinterpret_cast<LPBYTE>(&installedVersion),
                         &size) != ERROR_SUCCESS) {
        installedVersion = kVersionWhenUnrecorded;
        return 0;
    }
    return 1;
}

void recordThisUpdate(HKEY key)
{
    static const BYTE code[4] = {kVersionOfThisUpdate & 0xFF, (kVersionOfThisUpdate >> 8) & 0xFF,
                                 (kVersionOfThisUpdate >> 16) & 0xFF,
                                 (kVersionOfThisUpdate >> 24) & 0xFF};
    RegSetValueExA(key, "Version", 0, REG_BINARY, code, sizeof code);
}
