#include "platform/local_path.h"

namespace brisvane::platform {

std::string LocalPath(const std::string& name) {
    return name;
}

} // namespace brisvane::platform
