// The local file a Windows-style name means, for code that opens files with other libraries
// than the file calls (the help viewer reads its file through Qt).
#pragma once

#include <string>

namespace brisvane::platform {

// On Linux "\" separates like "/" and each part matches without regard to case, as in the file
// calls; a name that names nothing comes back with its separators mapped. On Windows the name
// itself.
std::string LocalPath(const std::string& name);

} // namespace brisvane::platform
