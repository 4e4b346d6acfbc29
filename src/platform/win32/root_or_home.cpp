#include "platform/root_or_home.h"

#include "platform/win32.h"
#include "platform/win32/native_file_calls.h"
#include "platform/win32/walk_paths.h"

#include <string>
#include <vector>

namespace brisvane::platform {

namespace {

using win32::Handle;

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

Handle OpenFolder(const std::wstring& path) {
    return Handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

Identity IdentityOf(const std::wstring& path) {
    const Handle folder = OpenFolder(path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (path.empty() || !folder.Valid() || !GetFileInformationByHandle(folder.Get(), &info))
        return {};
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, true};
}

// The root of the volume (or of the mounted folder) `path`, a "\\?\" path, lies on.
std::wstring VolumeOf(const std::wstring& path) {
    std::vector<wchar_t> volume(path.size() + 2);
    if (!GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        return {};
    return win32::LongForm(volume.data());
}

std::wstring Home() {
    const DWORD size = GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0);
    std::wstring profile(size, L'\0');
    const DWORD length = size ? GetEnvironmentVariableW(L"USERPROFILE", profile.data(), size) : 0;
    if (length == 0 || length >= size)
        return {};
    profile.resize(length);
    const DWORD fullSize = GetFullPathNameW(profile.c_str(), 0, nullptr, nullptr);
    std::wstring full(fullSize, L'\0');
    const DWORD fullLength =
        fullSize ? GetFullPathNameW(profile.c_str(), fullSize, full.data(), nullptr) : 0;
    if (fullLength == 0 || fullLength >= fullSize)
        return {};
    full.resize(fullLength);
    return win32::LongForm(full);
}

} // namespace

bool CurrentFolderIsRootOrHome() {
    // The folder reached, not the spelling that reached it: a link or junction to a drive's
    // root or to the home folder is that folder.
    const std::wstring path = win32::CurrentFolder();
    const Identity current = IdentityOf(path);
    if (!current.known)
        return true;
    // Its real path where the system tells it (Vista on), so that the volume is the one the
    // folder lies on rather than the one a link to it lies on.
    std::wstring real = win32::RealName(OpenFolder(path).Get());
    if (real.rfind(L"\\\\?\\", 0) != 0)
        real = path;
    const std::wstring volume = VolumeOf(real);
    if (volume.empty() || IdentityOf(volume) == current)
        return true;
    const std::wstring home = Home();
    return !home.empty() && IdentityOf(home) == current;
}

} // namespace brisvane::platform
