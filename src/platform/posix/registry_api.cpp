// The registry calls of registry_api.h over the hive files: handles, look-ups and changes.
#include "platform/posix/registry_api.h"

#include "platform/posix/hive_file.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace {

namespace hive = brisvane::platform::hive;
using hive::Key;
using hive::Root;

// A handle stands for a root and a key path; every call looks the path up in the hive file as
// it is at that moment, so a change by another process is seen at once.
struct OpenKey {
    Root root;
    std::vector<std::string> path;
    REGSAM access;
};

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK;

class HandleTable {
public:
    HKEY Add(OpenKey key) {
        std::lock_guard lock(m_mutex);
        m_next += 4;
        m_keys.emplace(m_next, std::move(key));
        return reinterpret_cast<HKEY>(m_next);
    }
    bool Remove(HKEY handle) {
        std::lock_guard lock(m_mutex);
        return m_keys.erase(reinterpret_cast<std::uintptr_t>(handle)) > 0;
    }
    std::optional<OpenKey> Find(HKEY handle) {
        if (auto root = hive::RootFromHandle(handle))
            return OpenKey{*root, {}, KEY_ALL_ACCESS};
        std::lock_guard lock(m_mutex);
        auto at = m_keys.find(reinterpret_cast<std::uintptr_t>(handle));
        if (at == m_keys.end())
            return std::nullopt;
        return at->second;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<std::uintptr_t, OpenKey> m_keys;
    std::uintptr_t m_next = 0x10000;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

bool FitsOneLine(std::string_view name) {
    return name.find_first_of("\r\n") == std::string_view::npos;
}

// Splits a subkey path given to the API. One trailing "\" is allowed, as on Windows; a name
// that would not fit a line of the hive file is refused.
LONG SplitSubkey(LPCSTR subKey, std::vector<std::string>& parts) {
    parts.clear();
    if (!subKey || !*subKey)
        return ERROR_SUCCESS;
    std::string_view path(subKey);
    if (path.back() == '\\')
        path.remove_suffix(1);
    std::size_t start = 0;
    for (;;) {
        std::size_t at = path.find('\\', start);
        std::string_view part = path.substr(start, at == std::string_view::npos ? at : at - start);
        if (part.empty())
            return ERROR_BAD_PATHNAME;
        if (!hive::IsKeyNamePart(part))
            return ERROR_INVALID_PARAMETER;
        parts.emplace_back(part);
        if (at == std::string_view::npos)
            return ERROR_SUCCESS;
        start = at + 1;
    }
}

std::vector<std::string> Join(const std::vector<std::string>& base,
                              const std::vector<std::string>& sub) {
    std::vector<std::string> path = base;
    path.insert(path.end(), sub.begin(), sub.end());
    return path;
}

std::string_view NameOf(LPCSTR name) {
    return name ? std::string_view(name) : std::string_view();
}

using HiveTree = std::shared_ptr<const Key>;

// Reads the hive of handle and finds its key; a key removed since it was opened reports so.
LONG Locate(const OpenKey& handle, HiveTree& hiveRoot, const Key*& key) {
    if (LONG rc = hive::ReadHive(handle.root, hiveRoot); rc != ERROR_SUCCESS)
        return rc;
    key = hiveRoot->Find(handle.path);
    return key ? ERROR_SUCCESS : static_cast<LONG>(ERROR_KEY_DELETED);
}

// Finds the handle's key for a call that only reads it, once the handle holds the right.
LONG LocateForReading(HKEY hKey, REGSAM needed, OpenKey& handle, HiveTree& hiveRoot,
                      const Key*& key) {
    auto found = Handles().Find(hKey);
    if (!found)
        return ERROR_INVALID_HANDLE;
    if (!(found->access & needed))
        return ERROR_ACCESS_DENIED;
    handle = std::move(*found);
    return Locate(handle, hiveRoot, key);
}

// Runs change on the handle's key inside a locked read-modify-write of its hive.
LONG ChangeKey(const OpenKey& handle, REGSAM needed,
               const std::function<LONG(Key& key, bool& changed)>& change) {
    if ((handle.access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    return hive::ChangeHive(handle.root, [&](Key& hiveRoot, bool& changed) -> LONG {
        Key* key = hiveRoot.Find(handle.path);
        if (!key)
            return ERROR_KEY_DELETED;
        return change(*key, changed);
    });
}

// Whether the handle's key, as the hive holds it now, has the value with this type and these
// bytes.
bool AlreadyHolds(const OpenKey& handle, std::string_view name, DWORD type, const BYTE* data,
                  DWORD size) {
    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (Locate(handle, hiveRoot, key) != ERROR_SUCCESS)
        return false;
    const hive::Value* value = key->FindValue(name);
    return value && value->type == type &&
           std::equal(value->data.begin(), value->data.end(), data, data + size);
}

LONG CopyOut(std::span<const BYTE> data, LPBYTE out, LPDWORD size) {
    auto needed = static_cast<DWORD>(data.size());
    if (out) {
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed)
            std::memcpy(out, data.data(), needed);
    }
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

LONG CopyName(std::string_view name, LPSTR out, LPDWORD chars) {
    if (!out || !chars)
        return ERROR_INVALID_PARAMETER;
    if (*chars <= name.size())
        return ERROR_MORE_DATA;
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

} // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    auto base = Handles().Find(hKey);
    if (!base)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> sub;
    if (LONG rc = SplitSubkey(lpSubKey, sub); rc != ERROR_SUCCESS)
        return rc;
    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (LONG rc = Locate(*base, hiveRoot, key); rc != ERROR_SUCCESS)
        return rc;
    if (!key->Find(sub))
        return ERROR_FILE_NOT_FOUND;
    if ((samDesired & kWriteRights) && hive::HiveIsReadOnly(base->root))
        return ERROR_ACCESS_DENIED;
    *phkResult = Handles().Add(OpenKey{base->root, Join(base->path, sub), samDesired});
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                     const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult || !lpSubKey)
        return ERROR_INVALID_PARAMETER;
    auto base = Handles().Find(hKey);
    if (!base)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> sub;
    if (LONG rc = SplitSubkey(lpSubKey, sub); rc != ERROR_SUCCESS)
        return rc;
    std::vector<std::string> path = Join(base->path, sub);
    if (path.size() > hive::kMaxKeyDepth)
        return ERROR_INVALID_PARAMETER;
    DWORD disposition = REG_OPENED_EXISTING_KEY;

    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (LONG rc = Locate(*base, hiveRoot, key); rc != ERROR_SUCCESS)
        return rc;
    const bool exists = key->Find(sub) != nullptr;
    // Held while the hive changes, the tree read would have to be copied.
    hiveRoot.reset();
    if (!exists) {
        // Only a new key needs the hive written; an existing one is opened as RegOpenKeyExA does.
        LONG rc = ChangeKey(*base, KEY_CREATE_SUB_KEY, [&](Key& parent, bool& changed) -> LONG {
            bool created = false;
            parent.Create(sub, &created);
            changed = created;
            if (created)
                disposition = REG_CREATED_NEW_KEY;
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    if ((samDesired & kWriteRights) && hive::HiveIsReadOnly(base->root))
        return ERROR_ACCESS_DENIED;
    if (lpdwDisposition)
        *lpdwDisposition = disposition;
    *phkResult = Handles().Add(OpenKey{base->root, std::move(path), samDesired});
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (hive::RootFromHandle(hKey))
        return ERROR_SUCCESS;
    return Handles().Remove(hKey) ? ERROR_SUCCESS : static_cast<LONG>(ERROR_INVALID_HANDLE);
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    OpenKey handle{};
    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (LONG rc = LocateForReading(hKey, KEY_QUERY_VALUE, handle, hiveRoot, key);
        rc != ERROR_SUCCESS)
        return rc;
    const hive::Value* value = key->FindValue(NameOf(lpValueName));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (lpType)
        *lpType = value->type;
    return CopyOut(value->data, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    if (!lpData && cbData)
        return ERROR_INVALID_PARAMETER;
    std::string_view name = NameOf(lpValueName);
    if (!FitsOneLine(name))
        return ERROR_INVALID_PARAMETER;
    auto handle = Handles().Find(hKey);
    if (!handle)
        return ERROR_INVALID_HANDLE;
    // A start writes back every option it read; one that is already stored as it stands needs
    // neither the lock nor a second look at the file. A read-only hive still refuses the write.
    if ((handle->access & KEY_SET_VALUE) && !hive::HiveIsReadOnly(handle->root) &&
        AlreadyHolds(*handle, name, dwType, lpData, cbData))
        return ERROR_SUCCESS;
    std::vector<BYTE> data(lpData, lpData + cbData);
    return ChangeKey(*handle, KEY_SET_VALUE, [&](Key& key, bool& changed) -> LONG {
        // The same type and bytes again leave the file as it is.
        changed = key.SetValue(name, dwType, std::move(data));
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    auto handle = Handles().Find(hKey);
    if (!handle)
        return ERROR_INVALID_HANDLE;
    return ChangeKey(*handle, KEY_SET_VALUE, [&](Key& key, bool& changed) -> LONG {
        changed = key.RemoveValue(NameOf(lpValueName));
        return changed ? ERROR_SUCCESS : static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    });
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    OpenKey handle{};
    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (LONG rc = LocateForReading(hKey, KEY_QUERY_VALUE, handle, hiveRoot, key);
        rc != ERROR_SUCCESS)
        return rc;
    // Keys carry no class and no security descriptor here.
    if (lpClass && lpcchClass && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    DWORD maxSubkey = 0, maxName = 0, maxData = 0;
    for (const auto& subkey : key->Subkeys())
        maxSubkey = std::max(maxSubkey, static_cast<DWORD>(subkey->Name().size()));
    for (const hive::Value& value : key->Values()) {
        maxName = std::max(maxName, static_cast<DWORD>(value.name.size()));
        maxData = std::max(maxData, static_cast<DWORD>(value.data.size()));
    }
    if (lpcSubKeys)
        *lpcSubKeys = static_cast<DWORD>(key->Subkeys().size());
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = maxSubkey;
    if (lpcValues)
        *lpcValues = static_cast<DWORD>(key->Values().size());
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = maxData;
    if (lpftLastWriteTime) {
        // The hive file's time stands for every key in it, as 100 ns steps since 1601.
        struct stat info {};
        std::uint64_t ticks = 0;
        if (stat(hive::HivePath(handle.root).c_str(), &info) == 0)
            ticks =
                (static_cast<std::uint64_t>(info.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100;
        lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(ticks);
        lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    }
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD,
                   LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    OpenKey handle{};
    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (LONG rc = LocateForReading(hKey, KEY_ENUMERATE_SUB_KEYS, handle, hiveRoot, key);
        rc != ERROR_SUCCESS)
        return rc;
    if (dwIndex >= key->Subkeys().size())
        return ERROR_NO_MORE_ITEMS;
    if (LONG rc = CopyName(key->Subkeys()[dwIndex]->Name(), lpName, lpcchName); rc != ERROR_SUCCESS)
        return rc;
    if (lpClass && lpcchClass && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    OpenKey handle{};
    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (LONG rc = LocateForReading(hKey, KEY_QUERY_VALUE, handle, hiveRoot, key);
        rc != ERROR_SUCCESS)
        return rc;
    if (dwIndex >= key->Values().size())
        return ERROR_NO_MORE_ITEMS;
    const hive::Value& value = key->Values()[dwIndex];
    if (LONG rc = CopyName(value.name, lpValueName, lpcchValueName); rc != ERROR_SUCCESS)
        return rc;
    if (lpType)
        *lpType = value.type;
    return CopyOut(value.data, lpData, lpcbData);
}

namespace {

// Removes the key in one change of its hive. Without wholeTree a key that has subkeys is refused;
// with it, everything below goes too, so that a crash can never leave part of the tree.
LONG DeleteKey(HKEY hKey, LPCSTR lpSubKey, bool wholeTree) {
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    auto base = Handles().Find(hKey);
    if (!base)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> sub;
    if (LONG rc = SplitSubkey(lpSubKey, sub); rc != ERROR_SUCCESS)
        return rc;
    std::vector<std::string> path = Join(base->path, sub);
    // An empty subkey names the handle's own key; a root cannot be deleted.
    if (path.empty())
        return ERROR_ACCESS_DENIED;
    HiveTree hiveRoot;
    const Key* key = nullptr;
    if (LONG rc = Locate(*base, hiveRoot, key); rc != ERROR_SUCCESS)
        return rc;
    const Key* target = key->Find(sub);
    if (!target)
        return ERROR_FILE_NOT_FOUND;
    if (!wholeTree && target->HasSubkeys())
        return ERROR_ACCESS_DENIED;
    hiveRoot.reset();
    return hive::ChangeHive(base->root, [&](Key& root, bool& changed) -> LONG {
        std::vector<std::string> parentPath(path.begin(), path.end() - 1);
        Key* parent = root.Find(parentPath);
        const Key* current = parent ? parent->FindSubkey(path.back()) : nullptr;
        if (!current)
            return root.Find(base->path) ? ERROR_FILE_NOT_FOUND
                                         : static_cast<LONG>(ERROR_KEY_DELETED);
        if (!wholeTree && current->HasSubkeys())
            return ERROR_ACCESS_DENIED;
        changed = parent->RemoveSubkey(path.back());
        return ERROR_SUCCESS;
    });
}

} // namespace

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    return DeleteKey(hKey, lpSubKey, false);
}

LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    return DeleteKey(hKey, lpSubKey, true);
}
