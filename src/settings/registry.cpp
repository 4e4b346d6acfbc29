#include "settings/registry.h"

#include <algorithm>
#include <vector>

namespace {

// Drops the "\" that marks a path taken from the root.
bool SplitAbsolute(const std::string& path, std::string& rest) {
    bool absolute = !path.empty() && path.front() == '\\';
    rest = absolute ? path.substr(1) : path;
    return absolute;
}

std::string Quoted(const char* format, const std::string& name) {
    return std::string(format) + " '" + name + "'";
}

} // namespace

TRegistry::TRegistry() : m_root(HKEY_CURRENT_USER) {}

TRegistry::~TRegistry() {
    CloseSubkey();
}

void TRegistry::SetRoot(HKEY root) {
    if (root == m_root)
        return;
    CloseSubkey();
    m_root = root;
}

bool TRegistry::OpenSubkey(const std::string& path, bool create) {
    return Open(path, create, KEY_ALL_ACCESS);
}

bool TRegistry::OpenSubkeyReadOnly(const std::string& path) {
    return Open(path, false, KEY_READ);
}

bool TRegistry::Open(const std::string& path, bool create, REGSAM access) {
    std::string rest;
    bool absolute = SplitAbsolute(path, rest);
    HKEY base = (!absolute && m_key) ? m_key : m_root;
    HKEY key = nullptr;
    LONG result;
    if (!create || rest.empty()) {
        result = RegOpenKeyExA(base, rest.c_str(), 0, access, &key);
    } else {
        DWORD disposition = 0;
        result = RegCreateKeyExA(base, rest.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                 nullptr, &key, &disposition);
    }
    m_lastOpen = result;
    if (result != ERROR_SUCCESS)
        return false;
    CloseSubkey();
    m_key = key;
    return true;
}

void TRegistry::CloseSubkey() {
    if (!m_key)
        return;
    RegCloseKey(m_key);
    m_key = nullptr;
}

std::string TRegistry::ReadText(const std::string& name) {
    if (!m_key)
        return {};
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(m_key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        size == 0)
        return {};
    std::vector<BYTE> data(size);
    if (RegQueryValueExA(m_key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        throw ERegistryException(Quoted("Failed to get data for", name));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException(Quoted("Invalid data type for", name));
    auto end = data.begin() + std::min<std::size_t>(size, data.size());
    return std::string(data.begin(), std::find(data.begin(), end, BYTE{0}));
}

void TRegistry::WriteText(const std::string& name, const std::string& value) {
    if (!m_key ||
        RegSetValueExA(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw ERegistryException(Quoted("Failed to set data for", name));
}

bool TRegistry::RemoveValue(const std::string& name) {
    return m_key && RegDeleteValueA(m_key, name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::RemoveKey(const std::string& path) {
    std::string rest;
    bool absolute = SplitAbsolute(path, rest);
    HKEY base = (!absolute && m_key) ? m_key : m_root;
    // The root itself cannot be deleted; emptying it first would only lose the whole hive.
    if (rest.empty() && base == m_root)
        return false;
    // One change: on Linux a hive that cannot be written keeps the whole tree.
    return RegDeleteTreeA(base, rest.c_str()) == ERROR_SUCCESS;
}
