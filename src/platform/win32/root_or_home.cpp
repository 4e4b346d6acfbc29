#include "platform/root_or_home.h"

#include "platform/win32.h"

#include <string>

namespace brisvane::platform {

namespace {

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

bool SamePath(const std::string& a, const std::string& b) {
    return lstrcmpiA(WithoutTrailingSeparator(a).c_str(), WithoutTrailingSeparator(b).c_str()) == 0;
}

std::string FullPath(const char* path) {
    char buffer[MAX_PATH];
    const DWORD length = GetFullPathNameA(path, MAX_PATH, buffer, nullptr);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(buffer, length);
}

} // namespace

bool CurrentFolderIsRootOrHome() {
    char current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH)
        return true;
    char volume[MAX_PATH];
    if (!GetVolumePathNameA(current, volume, MAX_PATH) || SamePath(current, volume))
        return true;
    char profile[MAX_PATH];
    const DWORD profileLength = GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
    if (profileLength == 0 || profileLength >= MAX_PATH)
        return false;
    const std::string home = FullPath(profile);
    return !home.empty() && SamePath(current, home);
}

} // namespace brisvane::platform
