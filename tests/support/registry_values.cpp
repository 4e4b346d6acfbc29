#include "support/registry_values.h"

#include <stdexcept>
#include <vector>

namespace testing_support {

namespace {

// The platform calls take key paths relative to the root, without the leading "\".
std::string Relative(const std::string& key) {
    return !key.empty() && key.front() == '\\' ? key.substr(1) : key;
}

HKEY Create(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegCreateKeyExA(root, Relative(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create " + key);
    return handle;
}

void Set(HKEY root, const std::string& key, const std::string& name, DWORD type, const BYTE* data,
         DWORD size) {
    HKEY handle = Create(root, key);
    const LONG result = RegSetValueExA(handle, name.c_str(), 0, type, data, size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("cannot set " + name);
}

} // namespace

void SetText(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
    Set(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
        static_cast<DWORD>(value.size() + 1));
}

void SetNumber(HKEY root, const std::string& key, const std::string& name, DWORD value) {
    Set(root, key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, Relative(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::optional<DWORD> ValueType(HKEY root, const std::string& key, const std::string& name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, Relative(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, nullptr);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    return type;
}

std::optional<std::string> ValueText(HKEY root, const std::string& key, const std::string& name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, Relative(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD size = 0;
    LONG result = RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, nullptr, &size);
    std::vector<BYTE> data(size + 1, 0);
    if (result == ERROR_SUCCESS)
        result = RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, data.data(), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data.data()));
}

} // namespace testing_support
