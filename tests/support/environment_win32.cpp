#include "support/environment.h"

#include <cstdlib>

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

bool PointConfigHome(const std::string&, std::string&) {
    return false;
}

void RestoreConfigHome(bool, const std::string&) {}

ScopedHome::ScopedHome(const std::string& folder) : m_old(Replace("USERPROFILE", folder.c_str())) {}

ScopedHome::~ScopedHome() {
    Replace("USERPROFILE", m_old ? m_old->c_str() : nullptr);
}

} // namespace testing_support
