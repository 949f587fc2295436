#include "payload_stream.h"

#include "archive.h"

static HANDLE openForReading(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, NULL);
}

static int isOpen(HANDLE file)
{
    return file != NULL && file != INVALID_HANDLE_VALUE;
}

static void releaseStream(PayloadStream* stream)
{
    GlobalFree(GlobalHandle(stream));
}

PayloadStream* openPayload(const char* name, const char* archiveName)
{
    PayloadStream* stream = (PayloadStream*)GlobalAlloc(GMEM_ZEROINIT, sizeof(PayloadStream));
    if (!stream)
        return NULL;

    // A loose file of the payload's name takes the place of the archive member.
    stream->source = Loose;
    stream->file = openForReading(name);
    if (isOpen(stream->file)) {
        stream->size = GetFileSize(stream->file, NULL);
        stream->dataOffset = 0;
        return stream;
    }

    stream->file = openForReading(archiveName);
    if (!isOpen(stream->file)) {
        releaseStream(stream);
        return NULL;
    }
    stream->source = Archived;
    stream->size = findArchiveMember(stream->file, name, &stream->dataOffset);
    if (stream->size == 0) {
        closePayload(stream);
        return NULL;
    }
    return stream;
}

DWORD payloadSize(const PayloadStream* stream)
{
    return stream ? stream->size : 0;
}

int readPayload(PayloadStream* stream, void* buffer)
{
    if (!stream)
        return 0;
    stream->requested = stream->size;
    stream->transferred = 0;
    return ReadFile(stream->file, buffer, stream->size, &stream->transferred, NULL) ? 1 : 0;
}

int waitPayload(PayloadStream* stream)
{
    if (!stream || !isOpen(stream->file))
        return 0;
    // The read is synchronous: what it has not delivered by the time it returned will never
    // come, so a short read ends the wait at once instead of polling forever.
    return stream->transferred >= stream->requested ? 1 : 0;
}

void closePayload(PayloadStream* stream)
{
    if (!stream)
        return;
    CloseHandle(stream->file);
    releaseStream(stream);
}
