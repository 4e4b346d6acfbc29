#include "support/config_home.h"

namespace testing_support {

bool PointConfigHome(const std::string&, std::string&) {
    return false;
}

void RestoreConfigHome(bool, const std::string&) {}

} // namespace testing_support
