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

// Who a folder is, whatever path reached it: its volume and its index there.
struct Identity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool known = false;

    bool operator==(const Identity& other) const {
        return known && other.known && volume == other.volume && indexHigh == other.indexHigh &&
               indexLow == other.indexLow;
    }
};

Identity IdentityOf(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (folder == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(folder, &info))
        return {};
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, true};
}

HANDLE OpenFolder(const char* path) {
    return CreateFileA(path, FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

Identity IdentityOf(const char* path) {
    const HANDLE folder = OpenFolder(path);
    const Identity identity = IdentityOf(folder);
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    return identity;
}

// The path of the folder open as `folder` with every link and junction on the way resolved,
// where the system can tell it (Vista on); else empty.
std::string RealPath(HANDLE folder) {
    using FinalPathCall = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto finalPath = kernel ? reinterpret_cast<FinalPathCall>(reinterpret_cast<void (*)()>(
                                        GetProcAddress(kernel, "GetFinalPathNameByHandleA")))
                                  : nullptr;
    char buffer[MAX_PATH + 8];
    const DWORD length = finalPath ? finalPath(folder, buffer, sizeof buffer, 0) : 0;
    if (length == 0 || length >= sizeof buffer)
        return {};
    std::string path(buffer, length);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        return "\\\\" + path.substr(8);
    return path.rfind("\\\\?\\", 0) == 0 ? path.substr(4) : path;
}

} // namespace

bool CurrentFolderIsRootOrHome() {
    const HANDLE here = OpenFolder(".");
    const Identity current = IdentityOf(here);
    std::string path = here == INVALID_HANDLE_VALUE ? std::string() : RealPath(here);
    if (here != INVALID_HANDLE_VALUE)
        CloseHandle(here);
    if (!current.known)
        return true;
    // The folder reached, not the spelling that reached it: a link or junction to a drive's
    // root or to the home folder is that folder.
    if (path.empty()) {
        char buffer[MAX_PATH];
        const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
        if (length == 0 || length >= MAX_PATH)
            return true;
        path.assign(buffer, length);
    }
    char volume[MAX_PATH];
    if (!GetVolumePathNameA(path.c_str(), volume, MAX_PATH) || SamePath(path, volume) ||
        IdentityOf(volume) == current)
        return true;
    char profile[MAX_PATH];
    const DWORD profileLength = GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
    if (profileLength == 0 || profileLength >= MAX_PATH)
        return false;
    const std::string home = FullPath(profile);
    return !home.empty() && (SamePath(path, home) || IdentityOf(home.c_str()) == current);
}

} // namespace brisvane::platform
