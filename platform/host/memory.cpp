// GlobalAlloc, GlobalHandle and GlobalFree over the C heap, with a count of live blocks.
#include <cstdlib>
#include <cstring>
#include <set>

#include "host_internal.h"

// A 32-bit process cannot have a block this large; refusing it here also keeps a bogus size
// from reaching the host allocator (which under AddressSanitizer would end the process).
static const SIZE_T largestBlock = 0x40000000u;

static std::set<void*> liveBlocks;

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (hostEnterCall(HostCall::GlobalAlloc, nullptr).fails)
        return nullptr;
    if ((flags & ~GMEM_ZEROINIT) != GMEM_FIXED) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bytes > largestBlock) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Zero-filled blocks come from calloc, which takes a large one straight from the system's
    // zero pages, on demand, as Windows does: filling it by hand would touch every page once
    // more before the payload's read does.
    void* block = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                          : std::malloc(bytes ? bytes : 1);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Without GMEM_ZEROINIT the contents are undefined: make that visible to a caller that
    // relies on zeros it did not ask for.
    if (!(flags & GMEM_ZEROINIT))
        std::memset(block, 0xCD, bytes ? bytes : 1);
    liveBlocks.insert(block);
    return block;
}

HGLOBAL WINAPI GlobalHandle(LPCVOID pointer)
{
    auto found = liveBlocks.find(const_cast<void*>(pointer));
    if (found == liveBlocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return *found;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL block)
{
    if (!block)
        return nullptr;
    auto found = liveBlocks.find(block);
    if (found == liveBlocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return block;
    }
    liveBlocks.erase(found);
    std::free(block);
    return nullptr;
}

unsigned hostLiveGlobalBlocks()
{
    return (unsigned)liveBlocks.size();
}
