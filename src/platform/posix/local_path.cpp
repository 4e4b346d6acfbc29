#include "platform/local_path.h"

#include "platform/posix/path_lookup.h"

#include <algorithm>

namespace brisvane::platform {

std::string LocalPath(const std::string& name) {
    posix::ResolvedPath resolved = posix::ResolvePath(name);
    if (resolved.lookup == posix::Lookup::Found)
        return resolved.path;
    std::string mapped = name;
    std::replace(mapped.begin(), mapped.end(), '\\', '/');
    return mapped;
}

} // namespace brisvane::platform
