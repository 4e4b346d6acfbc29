#include "platform/folder_walk.h"

#include "platform/win32.h"
#include "platform/win32/folder_walk_seam.h"
#include "platform/win32/native_file_calls.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace brisvane::platform {

using win32::Handle;
using win32::kFileBasicInformation;
using win32::kFileDispositionInformation;
using win32::kFileRenameInformation;
using win32::PathToEnter;
using win32::RealName;
using win32::RenameInformation;
using win32::SameText;
using win32::SetInformation;
using win32::Wide;

namespace {

// A folder is held, and an entry checked, through a handle that lets others read and write but
// not rename, delete or replace it while it is open.
constexpr DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderAccess = FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE;
constexpr DWORD kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

win32::BeforeEnteringHook g_beforeEntering = nullptr;

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

std::string FullPathOf(const char* path) {
    const DWORD size = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path, size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    return full;
}

std::string CurrentPath() {
    return FullPathOf(".");
}

// `path` as the folder it lies in and its last name, both as given.
std::pair<std::string, std::string> SplitLast(std::string path) {
    const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    while (path.size() > 1 && isSeparator(path.back()) && path[path.size() - 2] != ':')
        path.pop_back();
    const std::size_t at = path.find_last_of("\\/");
    if (at == std::string::npos)
        return {".", path};
    std::string folder = path.substr(0, at);
    if (folder.empty() || folder.back() == ':')
        folder += '\\';
    return {folder, path.substr(at + 1)};
}

bool IsFolder(const BY_HANDLE_FILE_INFORMATION& info) {
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

Handle OpenFolderHandle(const char* path, DWORD flags) {
    return Handle(CreateFileA(path, kFolderAccess, kShareAllButDelete, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
}

// A folder held while its entries are looked at, so that an entry opened by its name can be
// told to be that very entry of this folder.
class Parent {
public:
    bool Open(const char* path) {
        m_handle = OpenFolderHandle(path, 0);
        return m_handle.Valid() && GetFileInformationByHandle(m_handle.Get(), &m_info) &&
               IsFolder(m_info);
    }

    const BY_HANDLE_FILE_INFORMATION& Info() const { return m_info; }

    // Whether `entry`, opened by `name` from this folder, is the entry of that name itself: on
    // the same volume, and with the name of this folder's entry rather than that of wherever a
    // link put there leads.
    bool Holds(HANDLE entry, const BY_HANDLE_FILE_INFORMATION& entryInfo, std::string_view name) {
        if (entryInfo.dwVolumeSerialNumber != m_info.dwVolumeSerialNumber)
            return false;
        if (!m_realName)
            m_realName = RealName(m_handle.Get());
        std::wstring expected = *m_realName;
        const std::wstring wideName = Wide(name);
        if (expected.empty() || wideName.empty())
            return false;
        if (expected.back() != L'\\')
            expected += L'\\';
        expected += wideName;
        return SameText(expected, RealName(entry));
    }

private:
    Handle m_handle;
    BY_HANDLE_FILE_INFORMATION m_info{};
    std::optional<std::wstring> m_realName;
};

struct Entry {
    Handle handle;
    BY_HANDLE_FILE_INFORMATION info{};
};

// Opens the entry `name` of `parent` (reached by `path`) itself, for `access`: false, with the
// reason in GetLastError(), when it is gone, or is a link or other reparse point.
bool OpenEntry(Parent& parent, const char* path, std::string_view name, DWORD access, DWORD share,
               DWORD flags, Entry& entry) {
    entry.handle = Handle(CreateFileA(path, access, share, nullptr, OPEN_EXISTING,
                                      flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!entry.handle.Valid() || !GetFileInformationByHandle(entry.handle.Get(), &entry.info))
        return false;
    if ((entry.info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !parent.Holds(entry.handle.Get(), entry.info, name))
        return Fail(ERROR_ACCESS_DENIED);
    return true;
}

// Deletes the file `name` of `parent` as DeleteFileA would, but never a link: deleting a link by
// its name deletes what it leads to under Wine. The file is deleted through the handle that was
// checked, so nothing put in its place meanwhile is reached.
bool DeleteEntry(Parent& parent, const char* path, std::string_view name) {
    Entry entry;
    if (!OpenEntry(parent, path, name, kDeleteAccess, kShareAll, 0, entry))
        return false;
    if (entry.info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        return Fail(ERROR_ACCESS_DENIED);
    BOOLEAN deleteFile = TRUE;
    return SetInformation(entry.handle.Get(), &deleteFile, sizeof deleteFile,
                          kFileDispositionInformation);
}

// Makes `path` current, then checks that the folder now current is `wanted`: whatever was put at
// the path after it was checked, the walk lands in that folder or stays where it was.
bool EnterAndCheck(const char* path, const BY_HANDLE_FILE_INFORMATION& wanted) {
    const std::string before = CurrentPath();
    if (!SetCurrentDirectoryA(path))
        return false;
    Parent now;
    if (now.Open(".") && SameFile(now.Info(), wanted))
        return true;
    if (!before.empty())
        SetCurrentDirectoryA(before.c_str());
    return Fail(ERROR_FILE_INVALID);
}

} // namespace

namespace win32 {

BeforeEnteringHook SetBeforeEnteringHook(BeforeEnteringHook hook) {
    return std::exchange(g_beforeEntering, hook);
}

} // namespace win32

HeldFolder HeldFolder::Current() {
    return Open(".");
}

HeldFolder HeldFolder::Open(const std::string& path) {
    HeldFolder held;
    if (path.empty())
        return held;
    Handle handle = OpenFolderHandle(path.c_str(), 0);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle.Valid() || !GetFileInformationByHandle(handle.Get(), &info) || !IsFolder(info))
        return held;
    held.m_path = PathToEnter(handle.Get(), FullPathOf(path.c_str()));
    held.m_handle = handle.Release();
    return held;
}

HeldFolder HeldFolder::OpenWithoutFollowing(const std::string& path) {
    HeldFolder held;
    const std::string full = path.empty() ? std::string() : FullPathOf(path.c_str());
    const auto [folder, name] = SplitLast(full);
    // A drive's root has no name in a folder: it is never one the program made.
    if (!IsEntryName(name))
        return held;
    Parent parent;
    Entry entry;
    if (!parent.Open(folder.c_str()) ||
        !OpenEntry(parent, full.c_str(), name, kFolderAccess, kShareAllButDelete,
                   FILE_FLAG_BACKUP_SEMANTICS, entry) ||
        !IsFolder(entry.info))
        return held;
    held.m_path = PathToEnter(entry.handle.Get(), full);
    held.m_handle = entry.handle.Release();
    return held;
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_path(std::move(other.m_path)),
      m_handle(std::exchange(other.m_handle, nullptr)) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
    std::swap(m_descriptor, other.m_descriptor);
    std::swap(m_path, other.m_path);
    std::swap(m_handle, other.m_handle);
    return *this;
}

HeldFolder::~HeldFolder() {
    if (m_handle)
        CloseHandle(m_handle);
}

bool HeldFolder::Valid() const {
    return m_handle != nullptr;
}

bool HeldFolder::MakeCurrent() const {
    BY_HANDLE_FILE_INFORMATION held{};
    if (!Valid() || !GetFileInformationByHandle(m_handle, &held))
        return Fail(ERROR_INVALID_HANDLE);
    return EnterAndCheck(m_path.c_str(), held);
}

bool EnterSubfolder(const char* name) {
    if (!name || !IsEntryName(name))
        return Fail(ERROR_INVALID_NAME);
    // The subfolder is checked through a handle that keeps it from being renamed or replaced
    // until it is current; a link or junction put in its place all the same is found by what
    // is current afterwards.
    Parent current;
    Entry subfolder;
    if (!current.Open(".") || !OpenEntry(current, name, name, kFolderAccess, kShareAllButDelete,
                                         FILE_FLAG_BACKUP_SEMANTICS, subfolder))
        return Fail(ERROR_DIRECTORY);
    if (!IsFolder(subfolder.info))
        return Fail(ERROR_DIRECTORY);
    if (g_beforeEntering)
        g_beforeEntering(name);
    return EnterAndCheck(name, subfolder.info);
}

bool MoveFolderInto(const char* source, const HeldFolder& target, const std::string& newName) {
    if (!source || !*source || !IsEntryName(newName) || !target.Valid())
        return Fail(ERROR_INVALID_NAME);
    const auto [folder, name] = SplitLast(source);
    Parent parent;
    Entry entry;
    if (!IsEntryName(name))
        return Fail(ERROR_INVALID_NAME);
    if (!parent.Open(folder.c_str()) ||
        !OpenEntry(parent, source, name, kDeleteAccess, kShareAllButDelete,
                   FILE_FLAG_BACKUP_SEMANTICS, entry))
        return false;
    if (!IsFolder(entry.info))
        return Fail(ERROR_DIRECTORY);
    // Renamed through the handle that was checked, into the held target by the target's
    // handle: neither path is looked up again.
    const std::wstring wideName = Wide(newName);
    const ULONG nameBytes = static_cast<ULONG>(wideName.size() * sizeof(wchar_t));
    // Never shorter than the structure itself, which Wine insists on for a one-letter name.
    const std::size_t size = std::max<std::size_t>(
        sizeof(RenameInformation), offsetof(RenameInformation, fileName) + nameBytes);
    std::vector<ULONGLONG> buffer((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG) + 1);
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->replaceIfExists = FALSE;
    rename->rootDirectory = target.m_handle;
    rename->fileNameLength = nameBytes;
    std::memcpy(rename->fileName, wideName.data(), nameBytes);
    return SetInformation(entry.handle.Get(), rename, static_cast<ULONG>(size),
                          kFileRenameInformation);
}

namespace {

// Holds the folder the file `name` lies in; `last` is the file's own name. False, with the
// error set, when `name` names no entry of a folder.
bool HoldFolderOf(const char* name, Parent& parent, std::string& last) {
    if (!name || !*name)
        return Fail(ERROR_INVALID_NAME);
    std::string folder;
    std::tie(folder, last) = SplitLast(name);
    if (!IsEntryName(last))
        return Fail(ERROR_INVALID_NAME);
    return parent.Open(folder.c_str());
}

} // namespace

bool ResetAttributesNotLink(const char* name) {
    Parent parent;
    std::string last;
    Entry entry;
    if (!HoldFolderOf(name, parent, last) ||
        !OpenEntry(parent, name, last, FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                   kShareAll, FILE_FLAG_BACKUP_SEMANTICS, entry))
        return false;
    // Through the handle that was checked; the times at zero stay as they are.
    struct {
        LARGE_INTEGER creation, lastAccess, lastWrite, change;
        ULONG attributes;
    } basic{};
    basic.attributes = FILE_ATTRIBUTE_NORMAL;
    return SetInformation(entry.handle.Get(), &basic, sizeof basic, kFileBasicInformation);
}

bool DeleteFileNotLink(const char* name) {
    Parent parent;
    std::string last;
    return HoldFolderOf(name, parent, last) && DeleteEntry(parent, name, last);
}

// Windows lists a folder in its own order, "." and ".." first, and gives every entry's attributes
// with it. The listed folder is held while it is listed, so that each entry can be told to be
// that folder's entry itself and not something a link leads to.
struct FolderEntries::State {
    Parent folder;
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    std::optional<DWORD> attributes;
    bool started = false;
    bool withDots = true;

    bool Advance() {
        attributes.reset();
        if (!started) {
            started = true;
            return true;
        }
        return FindNextFileA(handle, &data) != FALSE;
    }

    bool IsDot() const {
        return std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0;
    }

    // As GetFileAttributesA gives them, read through a handle on the entry itself; an entry
    // that leads elsewhere (a link Wine follows without saying so) carries the reparse bit.
    DWORD ReadAttributes() {
        const char* name = data.cFileName;
        if (!IsEntryName(name))
            return GetFileAttributesA(name);
        const Handle entry(
            CreateFileA(name, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!entry.Valid()) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? INVALID_FILE_ATTRIBUTES
                       : GetFileAttributesA(name);
        }
        if (!GetFileInformationByHandle(entry.Get(), &info))
            return GetFileAttributesA(name);
        if (!folder.Holds(entry.Get(), info, name))
            info.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        return info.dwFileAttributes;
    }
};

FolderEntries::FolderEntries(Order order) : m_state(std::make_unique<State>()) {
    m_state->withDots = order == Order::Listing;
    if (m_state->folder.Open("."))
        m_state->handle = FindFirstFileA("*.*", &m_state->data);
}

FolderEntries::~FolderEntries() {
    if (m_state->handle != INVALID_HANDLE_VALUE)
        FindClose(m_state->handle);
}

bool FolderEntries::Valid() const {
    return m_state->handle != INVALID_HANDLE_VALUE;
}

bool FolderEntries::Next() {
    if (!Valid())
        return false;
    while (m_state->Advance()) {
        if (m_state->withDots || !m_state->IsDot())
            return true;
    }
    return false;
}

const char* FolderEntries::Name() const {
    return m_state->data.cFileName;
}

bool FolderEntries::IsLink() const {
    return (m_state->data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FolderEntries::IsFolder() const {
    return !IsLink() && (m_state->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD FolderEntries::Attributes() {
    if (!m_state->attributes)
        m_state->attributes = m_state->ReadAttributes();
    return *m_state->attributes;
}

bool FolderEntries::Delete() {
    const char* name = m_state->data.cFileName;
    if (!IsEntryName(name))
        return Fail(ERROR_INVALID_NAME);
    if (IsLink() || (m_state->attributes && (*m_state->attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        return Fail(ERROR_ACCESS_DENIED);
    return DeleteEntry(m_state->folder, name, name);
}

} // namespace brisvane::platform
