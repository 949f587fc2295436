// The update archive UpdateData.dat, as the updater reads it.
//
// Layout (all integers unsigned 32-bit little-endian):
//   header, 16 bytes: 11 bytes not examined; formatDigit at 11 (0x32: name slots are 32 bytes
//   wide, anything else: 16); memberCount N at 12.
//   directory, D = N * (W + 8) bytes from 16: N name slots of W bytes (a NUL-terminated bare
//   name), then N extent records of 8 bytes (offset from the end of the directory, size).
//   data area: from 16 + D to the end of the file.
#ifndef PAYLOAD_ARCHIVE_H
#define PAYLOAD_ARCHIVE_H

#include "platform.h"

const DWORD kArchiveHeaderSize = 16;
const BYTE kArchiveWideSlots = 0x32;  // formatDigit '2'
const DWORD kArchiveWideSlotWidth = 32;
const DWORD kArchiveNarrowSlotWidth = 16;
const DWORD kArchiveExtentRecordSize = 8;

// Looks up the member `name` in the open archive, reading the header and the whole directory
// from the file's current position (the caller has just opened it). The member is sought by
// the part of `name` after its last backslash byte, compared without regard to case; the
// first matching slot in directory order wins. A slot is compared within its own bytes, also
// when it holds no NUL.
// Returns the member's size, with its absolute data position (16 + directory length + offset)
// in *dataPosition, and leaves the file positioned at the member's first byte by one relative
// move. Returns 0 when the member is absent, empty or cannot be reached (with *dataPosition
// 0, except for a matching member of size 0, whose position is given): no matching slot, no memory for the header or the directory, a directory or a data
// position beyond 32 bits, an offset of 2^31 or more (the move is a signed 32-bit distance),
// or a failed move. Extents past the end of the file are not detected here.
DWORD findArchiveMember(HANDLE archive, const char* name, DWORD* dataPosition);

#endif
