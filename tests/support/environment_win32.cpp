#include "support/environment.h"
#include "support/registry_values.h"

#include <cstdlib>
#include <sddl.h>
#include <stdexcept>
#include <windows.h>

namespace testing_support {

namespace {

std::optional<std::string> Replace(const char* name, const char* value) {
    std::optional<std::string> old;
    if (const char* current = std::getenv(name))
        old = current;
    _putenv_s(name, value ? value : ""); // an empty value removes the variable
    return old;
}

} // namespace

bool OnWindows() {
    return true;
}

namespace {

// The tests' own registry: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE point into this scratch key
// of the real HKEY_CURRENT_USER, so no test touches the program's real keys.
constexpr const char* kScratchKey = "Software\\Brisvane tests";

HKEY OpenScratch(const char* root) {
    const std::string path = std::string(kScratchKey) + "\\" + root;
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

} // namespace

bool PointConfigHome(const std::string&, std::string&) {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
    HKEY user = OpenScratch("HKEY_CURRENT_USER");
    HKEY machine = OpenScratch("HKEY_LOCAL_MACHINE");
    if (!user || !machine)
        throw std::runtime_error("cannot make the tests' registry");
    // The machine key first: once the user's is overridden, HKEY_CURRENT_USER is the scratch.
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
    RegOverridePredefKey(HKEY_CURRENT_USER, user);
    RegCloseKey(machine);
    RegCloseKey(user);
    return false;
}

void RestoreConfigHome(bool, const std::string&) {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
}

ScopedHome::ScopedHome(const std::string& folder) : m_old(Replace("USERPROFILE", folder.c_str())) {}

ScopedHome::~ScopedHome() {
    Replace("USERPROFILE", m_old ? m_old->c_str() : nullptr);
}

namespace {

void Dump(HKEY parent, const std::string& path, std::string& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    out += "[" + path + "]\n";
    char name[16384];
    std::string data(1 << 20, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name);
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
            break;
        out += std::string(name, nameLength) + "=" + std::to_string(type) + ":" +
               data.substr(0, size) + "\n";
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        Dump(parent, path.empty() ? name : path + "\\" + name, out);
    }
    RegCloseKey(key);
}

} // namespace

std::string HiveSnapshot(const RegistrySandbox&, const std::string& rootName) {
    std::string snapshot = rootName + ":";
    Dump(rootName == "HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, "", snapshot);
    return snapshot;
}

std::string HiveSnapshot(const RegistrySandbox& sandbox) {
    return HiveSnapshot(sandbox, "HKEY_CURRENT_USER") + HiveSnapshot(sandbox, "HKEY_LOCAL_MACHINE");
}

namespace {

// Gives the key and every key below it the security descriptor `sd`. Wine's server checks
// key access against it as Windows does.
void SetSecurityBelow(HKEY parent, const std::string& path, PSECURITY_DESCRIPTOR sd) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | WRITE_DAC, &key) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open " + path + " to deny writes");
    const LONG rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    char name[256];
    for (DWORD index = 0; rc == ERROR_SUCCESS; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        SetSecurityBelow(key, name, sd);
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error("cannot deny writes to " + path);
}

} // namespace

void DenyMachineWrites(const RegistrySandbox&) {
    // Everyone is denied setting values (0x2) and creating subkeys (0x4), and granted the rest,
    // removal included, so that the scratch key can still be removed afterwards.
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(D;;0x6;;;WD)(A;;KA;;;WD)",
                                                              SDDL_REVISION_1, &sd, nullptr))
        throw std::runtime_error("cannot make the security descriptor");
    try {
        SetSecurityBelow(HKEY_LOCAL_MACHINE, "", sd);
    } catch (...) {
        LocalFree(sd);
        throw;
    }
    LocalFree(sd);
}

} // namespace testing_support
