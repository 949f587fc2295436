// The game installer's per-user record: HKEY_CURRENT_USER\Software\Quelm\PikopekoLand, with
// the values InstallFolder and Version. The updater never creates the key.
#ifndef FRONT_INSTALL_RECORD_H
#define FRONT_INSTALL_RECORD_H

#include "platform.h"

// Opens the record for full access (KEY_ALL_ACCESS), so a record the user may only read
// fails too. 1 and *key on success, 0 otherwise.
int openInstallRecord(HKEY* key);

// Reads InstallFolder into installFolder (at most MAX_PATH bytes, its registry type not
// examined). 1 when it yields a non-empty path terminated within the buffer; otherwise 0 and
// installFolder is empty.
int readInstallFolder(HKEY key);

// Reads Version into installedVersion (at most 4 bytes, little-endian, missing high bytes
// zero, its registry type not examined). 1 when it was read; 0 when it is missing or longer
// than 4 bytes, and installedVersion is then kVersionWhenUnrecorded.
int readInstalledVersion(HKEY key);

// Writes Version = kVersionOfThisUpdate as a 4-byte REG_BINARY (F2 03 00 00). The result is
// not examined: a failed write leaves the old value, which the user is not told about.
void recordThisUpdate(HKEY key);

#endif
