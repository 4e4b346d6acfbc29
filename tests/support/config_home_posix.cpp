#include "support/config_home.h"

#include <cstdlib>

namespace testing_support {

bool PointConfigHome(const std::string& folder, std::string& oldValue) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old)
        oldValue = old;
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    return old != nullptr;
}

void RestoreConfigHome(bool hadValue, const std::string& oldValue) {
    if (hadValue)
        setenv("XDG_CONFIG_HOME", oldValue.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

} // namespace testing_support
