#include "platform/registry_files.h"

namespace brisvane::platform {

std::vector<UnusableRegistryFile> UnusableRegistryFiles() {
    return {};
}

} // namespace brisvane::platform
