// One payload file, opened loose from the current directory or as a member of the update
// archive, and read whole with one read.
#ifndef PAYLOAD_PAYLOAD_STREAM_H
#define PAYLOAD_PAYLOAD_STREAM_H

#include "platform.h"

enum PayloadSource {
    Loose = 0,     // a loose file of the payload's own name
    Archived = 1,  // a member of the update archive
};

struct PayloadStream {
    DWORD source;       // a PayloadSource
    HANDLE file;        // the loose file or the archive; owned by the stream
    DWORD dataOffset;   // absolute position of the payload's first byte in file
    DWORD size;         // the payload's length in bytes
    DWORD requested;    // bytes asked for by the last readPayload; 0 until then
    DWORD transferred;  // bytes the last read delivered; 0 until then
};

// Opens `name` as a loose file, or failing that looks it up in the archive `archiveName`.
// Returns a zero-filled stream positioned at the payload's first byte, or null when there is
// no memory, neither file opens, or the member is absent or empty.
PayloadStream* openPayload(const char* name, const char* archiveName);

// The payload's size; 0 for a null stream.
DWORD payloadSize(const PayloadStream* stream);

// Reads `size` bytes from the file's current position into buffer with one read, the count
// delivered going into `transferred`. 1 when the read call succeeded; 0 for a null stream or
// a failed read.
int readPayload(PayloadStream* stream, void* buffer);

// 1 once the last read delivered every byte it asked for. 0 for a null stream, a stream
// without a file, or a read that ended short: a synchronous read does not go on, so waiting
// could never end.
int waitPayload(PayloadStream* stream);

// Closes the file and releases the stream; does nothing for a null stream.
void closePayload(PayloadStream* stream);

#endif
