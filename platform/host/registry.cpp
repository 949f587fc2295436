// The registry as an in-process store the tests fill and read back. Key and value names are
// compared ignoring the case of ASCII letters, as the registry compares them.
#include <cstring>

#include "host_internal.h"

struct Value {
    DWORD type;
    std::string bytes;
};

struct Key {
    bool readOnly;
    std::map<std::string, Value> values;  // by folded name
};

// Keys by root and folded path ("software\quelm").
typedef std::pair<HKEY, std::string> KeyName;
static std::map<KeyName, Key> keys;

struct OpenKey {
    KeyName name;
    bool writable;
};
static std::map<ULONG_PTR, OpenKey> openKeys;
static ULONG_PTR nextKeyValue = 0x2000;  // never reused, never a root's value

static bool isRoot(HKEY key)
{
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

static std::string joinKeyPath(const std::string& parent, const std::string& child)
{
    if (parent.empty())
        return child;
    if (child.empty())
        return parent;
    return parent + "\\" + child;
}

static Key* findKey(const KeyName& name)
{
    auto found = keys.find(name);
    return found == keys.end() ? nullptr : &found->second;
}

// Creates the key and, as the registry has them, every key above it.
static Key& createKey(HKEY root, const std::string& subKey)
{
    std::string folded = hostFoldAsciiCase(subKey);
    for (size_t slash = folded.find('\\'); slash != std::string::npos;
         slash = folded.find('\\', slash + 1))
        keys.emplace(KeyName(root, folded.substr(0, slash)), Key{false, {}});
    return keys.emplace(KeyName(root, folded), Key{false, {}}).first->second;
}

// The key a handle stands for (a root or an open key); false for an unknown handle.
static bool resolveHandle(HKEY key, KeyName* name, bool* writable)
{
    if (isRoot(key)) {
        *name = KeyName(key, "");
        *writable = true;
        return true;
    }
    auto found = openKeys.find((ULONG_PTR)key);
    if (found == openKeys.end())
        return false;
    *name = found->second.name;
    *writable = found->second.writable;
    return true;
}

// Access rights that change a key or its values.
static const REGSAM writeAccess = 0x0002 /* KEY_SET_VALUE */ | 0x0004 /* KEY_CREATE_SUB_KEY */ |
                                  0x0020 /* KEY_CREATE_LINK */ | 0x00010000 /* DELETE */ |
                                  0x00040000 /* WRITE_DAC */ | 0x00080000 /* WRITE_OWNER */ |
                                  GENERIC_WRITE | 0x10000000 /* GENERIC_ALL */;

LSTATUS WINAPI RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    if (result)
        *result = nullptr;
    if (hostEnterCall(HostCall::RegOpenKeyExA, subKey).fails)
        return (LSTATUS)GetLastError();
    KeyName parent;
    bool parentWritable;
    if (!result || !resolveHandle(root, &parent, &parentWritable))
        return ERROR_INVALID_HANDLE;
    KeyName name(parent.first,
                 joinKeyPath(parent.second, hostFoldAsciiCase(subKey ? subKey : "")));
    const Key* key = findKey(name);
    if (!key && !name.second.empty())
        return ERROR_FILE_NOT_FOUND;
    bool wantsWrite = (access & writeAccess) != 0;
    if (wantsWrite && key && key->readOnly)
        return ERROR_ACCESS_DENIED;
    ULONG_PTR value = nextKeyValue;
    nextKeyValue += 4;
    openKeys[value] = OpenKey{name, wantsWrite};
    *result = (HKEY)value;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                                LPDWORD size)
{
    if (hostEnterCall(HostCall::RegQueryValueExA, name).fails)
        return (LSTATUS)GetLastError();
    KeyName keyName;
    bool writable;
    if (!resolveHandle(key, &keyName, &writable))
        return ERROR_INVALID_HANDLE;
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    const Key* stored = findKey(keyName);
    if (!stored)
        return ERROR_FILE_NOT_FOUND;
    auto found = stored->values.find(hostFoldAsciiCase(name ? name : ""));
    if (found == stored->values.end())
        return ERROR_FILE_NOT_FOUND;
    const Value& value = found->second;
    DWORD length = (DWORD)value.bytes.size();
    if (type)
        *type = value.type;
    if (data && length > *size) {
        // What fits is copied, as Windows may do: the buffer holds no whole value afterwards.
        std::memcpy(data, value.bytes.data(), *size);
        *size = length;
        return ERROR_MORE_DATA;
    }
    if (data)
        std::memcpy(data, value.bytes.data(), length);
    if (size)
        *size = length;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data,
                              DWORD size)
{
    if (hostEnterCall(HostCall::RegSetValueExA, name).fails)
        return (LSTATUS)GetLastError();
    KeyName keyName;
    bool writable;
    if (!resolveHandle(key, &keyName, &writable))
        return ERROR_INVALID_HANDLE;
    if (!writable)
        return ERROR_ACCESS_DENIED;
    if (!data && size)
        return ERROR_INVALID_PARAMETER;
    Key* stored = findKey(keyName);
    if (!stored) {
        if (!keyName.second.empty())
            return 1018;  // ERROR_KEY_DELETED: the store was reset under the open key
        stored = &createKey(keyName.first, "");
    }
    stored->values[hostFoldAsciiCase(name ? name : "")] =
        Value{type, std::string((const char*)data, data ? size : 0)};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key)
{
    if (isRoot(key))
        return ERROR_SUCCESS;
    if (openKeys.erase((ULONG_PTR)key) == 0)
        return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

unsigned hostRegistryOpenKeyCount()
{
    return (unsigned)openKeys.size();
}

void hostResetRegistry()
{
    keys.clear();
}

// --- The control panel's view of the store ---------------------------------------------------

void hostRegistryCreateKey(HKEY root, const std::string& subKey, bool readOnly)
{
    createKey(root, subKey).readOnly = readOnly;
}

void hostRegistrySetValue(HKEY root, const std::string& subKey, const std::string& name,
                          DWORD type, const std::string& bytes)
{
    createKey(root, subKey).values[hostFoldAsciiCase(name)] = Value{type, bytes};
}

bool hostRegistryKeyExists(HKEY root, const std::string& subKey)
{
    return findKey(KeyName(root, hostFoldAsciiCase(subKey))) != nullptr;
}

bool hostRegistryGetValue(HKEY root, const std::string& subKey, const std::string& name,
                          DWORD* type, std::string* bytes)
{
    const Key* key = findKey(KeyName(root, hostFoldAsciiCase(subKey)));
    if (!key)
        return false;
    auto found = key->values.find(hostFoldAsciiCase(name));
    if (found == key->values.end())
        return false;
    if (type)
        *type = found->second.type;
    if (bytes)
        *bytes = found->second.bytes;
    return true;
}
