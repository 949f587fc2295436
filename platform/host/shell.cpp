// The shell's allocator and the local application-data folder the tests set.
#include <cstring>
#include <set>

#include "host_internal.h"

static std::string localAppData;
static std::set<void*> itemLists;  // each holds its path, NUL-terminated
static unsigned allocatorReferences;

namespace {
struct HostMalloc : IMalloc {
    void STDMETHODCALLTYPE Free(void* block) override
    {
        if (itemLists.erase(block))
            delete[] (char*)block;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        if (allocatorReferences > 0)
            --allocatorReferences;
        return allocatorReferences;
    }
};
}
static HostMalloc allocator;

void hostSetLocalAppData(const std::string& path)
{
    localAppData = path;
}

void hostResetShell()
{
    localAppData.clear();
}

unsigned hostShellObjectsHeld()
{
    return allocatorReferences + (unsigned)itemLists.size();
}

HRESULT WINAPI SHGetMalloc(LPMALLOC* malloc)
{
    if (hostEnterCall(HostCall::SHGetMalloc, nullptr).fails)
        return E_FAIL;
    if (!malloc)
        return E_FAIL;
    ++allocatorReferences;
    *malloc = &allocator;
    return S_OK;
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* list)
{
    if (list)
        *list = nullptr;
    if (hostEnterCall(HostCall::SHGetSpecialFolderLocation, nullptr).fails)
        return E_FAIL;
    if (!list || csidl != CSIDL_LOCAL_APPDATA || localAppData.empty())
        return E_FAIL;
    char* block = new char[localAppData.size() + 1];
    std::memcpy(block, localAppData.c_str(), localAppData.size() + 1);
    itemLists.insert(block);
    *list = (LPITEMIDLIST)block;
    return S_OK;
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path)
{
    if (hostEnterCall(HostCall::SHGetPathFromIDListA, nullptr).fails)
        return FALSE;
    void* block = (void*)list;
    if (!path || !itemLists.count(block))
        return FALSE;
    size_t length = std::strlen((const char*)block);
    if (length >= MAX_PATH) {
        path[0] = '\0';
        return FALSE;
    }
    std::memcpy(path, block, length + 1);
    return TRUE;
}
