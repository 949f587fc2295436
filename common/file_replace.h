// Replacing a file's contents so that it is never left empty or cut.
#ifndef COMMON_FILE_REPLACE_H
#define COMMON_FILE_REPLACE_H

#include "platform.h"

// Puts the `size` bytes at `data` in place of the file at `path`, so that at every moment,
// also if the process is killed or the write fails midway, `path` holds either its old
// contents whole or the new ones whole.
//
// 1. The target is first opened as a plain overwrite would open it (write access, write
//    sharing), but without changing it. A target that such an open refuses (in use without
//    write sharing, read-only, a folder, in a missing folder) fails here, before anything is
//    written. A target that does not exist yet is fine.
// 2. The bytes go to a staging file beside the target: `path` with its last byte replaced by
//    '~' (or by '#' when it is '~'), so it fits wherever `path` fits. A short write is a
//    failed write. The staging file is flushed to the device.
// 3. The staging file is moved over the target in one step (MOVEFILE_REPLACE_EXISTING).
//
// Returns 1 when the target holds the new bytes. Returns 0 on any failure, with the target
// untouched and the staging file deleted; the last error is that of the failing call.
// `path` must end in an ASCII byte (the last byte is replaced).
int replaceFileContents(const char* path, const void* data, DWORD size);

#endif
