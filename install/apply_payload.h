// Writing the payload files over the game's files in the install folder.
#ifndef INSTALL_APPLY_PAYLOAD_H
#define INSTALL_APPLY_PAYLOAD_H

#include "platform.h"

// The payload files, in the order they are written: parallel columns of bare names, each
// ended by a null entry. sourceName is the payload's name (loose file or archive member, and
// the name the error report shows); targetName is the file in the install folder.
extern const char* const payloadSourceNames[];
extern const char* const payloadTargetNames[];

// The update archive, sought in the current directory.
#define UPDATE_ARCHIVE_NAME "UpdateData.dat"

// Writes every entry of the payload table over its target in installFolder, in table order.
// At the first entry that cannot be completed, reports it to the user in a message box owned
// by `owner` and returns 0; later entries are not attempted, earlier ones stay written.
// Returns 1 when every entry was written.
int applyPayloadFiles(HWND owner, const char* installFolder);

#endif
