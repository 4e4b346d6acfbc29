#include "platform/win32/walk_paths.h"

#include "platform/folder_walk.h"
#include "platform/win32/native_file_calls.h"

#include <utility>

namespace brisvane::platform::win32 {

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The folder the walks made current last, and the process's current folder as it was then: when
// that has changed since, someone else has made another folder current.
struct WalkFolder {
    std::wstring path;
    std::wstring processFolder;
    Handle handle;
};

WalkFolder& Walk() {
    static WalkFolder walk;
    return walk;
}

std::wstring ProcessFolder() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = size ? GetCurrentDirectoryW(size, folder.data()) : 0;
    folder.resize(length < size ? length : 0);
    return folder;
}

// A "\\?\" path as the calls that take no such path want it.
std::wstring PlainForm(const std::wstring& path) {
    if (StartsWith(path, kLongUncPrefix))
        return L"\\\\" + path.substr(8);
    return StartsWith(path, kLongPrefix) ? path.substr(4) : path;
}

std::wstring FullPathOf(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size ? GetFullPathNameW(path.c_str(), size, full.data(), nullptr) : 0;
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    return full;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

std::wstring LongForm(const std::wstring& full) {
    if (full.empty() || StartsWith(full, kLongPrefix))
        return full;
    if (full.size() > 2 && IsSeparator(full[0]) && IsSeparator(full[1]))
        return kLongUncPrefix + full.substr(2);
    return kLongPrefix + full;
}

std::wstring CurrentFolder() {
    const std::wstring process = ProcessFolder();
    const WalkFolder& walk = Walk();
    if (!walk.path.empty() && process == walk.processFolder)
        return walk.path;
    return LongForm(process);
}

bool EnterFolderPath(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& wanted) {
    constexpr DWORD kAccess = FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE;
    // Held without delete sharing while it is current, as Windows holds a current folder.
    const auto open = [](const wchar_t* name) {
        return Handle(CreateFileW(name, kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    };
    const auto isWanted = [&wanted](const Handle& folder) {
        BY_HANDLE_FILE_INFORMATION info{};
        return folder.Valid() && GetFileInformationByHandle(folder.Get(), &info) &&
               SameFile(info, wanted);
    };
    Handle folder = open(path.c_str());
    if (!isWanted(folder)) {
        SetLastError(ERROR_FILE_INVALID);
        return false;
    }
    // SetCurrentDirectory takes no more than MAX_PATH - 2 characters before Windows 10; a
    // deeper folder is current for the walks alone.
    const std::wstring plain = PlainForm(path);
    if (plain.size() < MAX_PATH - 1) {
        const std::wstring before = ProcessFolder();
        if (!SetCurrentDirectoryW(plain.c_str()))
            return false;
        if (!isWanted(open(L"."))) {
            if (!before.empty())
                SetCurrentDirectoryW(before.c_str());
            SetLastError(ERROR_FILE_INVALID);
            return false;
        }
    }
    WalkFolder& walk = Walk();
    walk.path = path;
    walk.processFolder = ProcessFolder();
    walk.handle = std::move(folder);
    return true;
}

std::wstring LongPath(std::string_view path) {
    const std::wstring wide = Wide(path);
    if (wide.empty())
        return {};
    if (StartsWith(wide, kLongPrefix))
        return wide;
    // The program's own names of entries ("desktop.ini", "cache") join the current folder
    // as they are; any other path is made full the way the ANSI calls would.
    if (IsEntryName(path))
        return Join(CurrentFolder(), wide);
    // A rooted path ("/", "/dir") or one with a drive ("C:/dir", "C:dir") is made full as the
    // ANSI calls would make it.
    const bool relative = !(IsSeparator(wide[0]) || (wide.size() > 1 && wide[1] == L':'));
    if (!relative)
        return LongForm(FullPathOf(wide));
    const std::wstring base = PlainForm(CurrentFolder());
    return base.empty() ? std::wstring() : LongForm(FullPathOf(base + L"\\" + wide));
}

std::wstring Join(const std::wstring& folder, std::wstring_view name) {
    if (folder.empty())
        return {};
    std::wstring path = folder;
    if (path.back() != L'\\')
        path += L'\\';
    return path.append(name);
}

std::pair<std::wstring, std::wstring> SplitLast(const std::wstring& path) {
    std::wstring trimmed = path;
    while (trimmed.size() > 1 && IsSeparator(trimmed.back()) && trimmed[trimmed.size() - 2] != L':')
        trimmed.pop_back();
    const std::size_t at = trimmed.find_last_of(L"\\/");
    if (at == std::wstring::npos)
        return {L".", trimmed};
    std::wstring folder = trimmed.substr(0, at);
    if (folder.empty() || folder.back() == L':' || folder == L"\\\\?" ||
        (StartsWith(trimmed, kLongUncPrefix) && folder.size() <= 8))
        folder = trimmed.substr(0, at + 1);
    return {folder, trimmed.substr(at + 1)};
}

std::string Ansi(std::wstring_view name, bool* lossy) {
    BOOL usedDefault = FALSE;
    const int size = static_cast<int>(name.size());
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), size, nullptr, 0,
                                     "?", &usedDefault);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), size, text.data(),
                                     length, "?", &usedDefault);
    if (lossy)
        *lossy = usedDefault || (length <= 0 && !name.empty());
    return length > 0 ? text : std::string(name.empty() ? 0 : 1, '?');
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

} // namespace brisvane::platform::win32
