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
// Each payload is read whole from a loose file in the current directory or from the update
// archive, and put in place of its target in one step (replaceFileContents), so a target
// holds either its old bytes or the whole payload.
// An entry fails when its target path does not fit in MAX_PATH, its payload cannot be had
// whole (missing, short or failed read, no memory for it), or its target cannot be replaced
// (in use, read-only, folder missing, failed write). At the first failing entry, its target
// untouched, the report "ファイルが書き込めません。[sourceName]" (caption "エラー", MB_OK,
// owned by `owner`) is shown and 0 returned; later entries are not attempted, earlier ones
// stay written. Returns 1 when every entry was written.
int applyPayloadFiles(HWND owner, const char* installFolder);

#endif
