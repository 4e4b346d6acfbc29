#include "support/environment.h"
#include "support/registry_values.h"

#include <cstdlib>
#include <stdexcept>
#include <sys/stat.h>

namespace testing_support {

namespace {

std::optional<std::string> Replace(const char* name, const char* value) {
    std::optional<std::string> old;
    if (const char* current = std::getenv(name))
        old = current;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
    return old;
}

} // namespace

bool OnWindows() {
    return false;
}

bool PointConfigHome(const std::string& folder, std::string& oldValue) {
    const std::optional<std::string> old = Replace("XDG_CONFIG_HOME", folder.c_str());
    oldValue = old.value_or("");
    return old.has_value();
}

void RestoreConfigHome(bool hadValue, const std::string& oldValue) {
    Replace("XDG_CONFIG_HOME", hadValue ? oldValue.c_str() : nullptr);
}

ScopedHome::ScopedHome(const std::string& folder) : m_old(Replace("HOME", folder.c_str())) {}

ScopedHome::~ScopedHome() {
    Replace("HOME", m_old ? m_old->c_str() : nullptr);
}

std::string HiveSnapshot(const RegistrySandbox& sandbox, const std::string& rootName) {
    const std::string path = sandbox.HivePath(rootName);
    return rootName + ":" + (Exists(path) ? ReadFile(path) : "<none>");
}

std::string HiveSnapshot(const RegistrySandbox& sandbox) {
    return HiveSnapshot(sandbox, "HKEY_CURRENT_USER") + HiveSnapshot(sandbox, "HKEY_LOCAL_MACHINE");
}

void DenyMachineWrites(const RegistrySandbox& sandbox) {
    const std::string hive = sandbox.HivePath("HKEY_LOCAL_MACHINE");
    if (chmod(hive.c_str(), 0444) != 0)
        throw std::runtime_error("cannot make " + hive + " read-only");
}

} // namespace testing_support
