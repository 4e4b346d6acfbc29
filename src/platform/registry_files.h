// The files that hold the registry where the system has none of its own, and which of them the
// program cannot use as they are. On Windows the registry is the system's, and none is listed.
#pragma once

#include <string>
#include <vector>

namespace brisvane::platform {

struct UnusableRegistryFile {
    enum class Problem { Damaged, Unreadable, ReadOnlyFile, ReadOnlyFolder };

    std::string name;   // "HKEY_CURRENT_USER.reg"
    std::string folder; // where it lies
    Problem problem;
    // For a damaged file where ("line 7 (...)"); for an unreadable one why ("is a folder, not
    // a regular file").
    std::string detail;
};

// Looks at the files as they are now; changes nothing.
std::vector<UnusableRegistryFile> UnusableRegistryFiles();

} // namespace brisvane::platform
