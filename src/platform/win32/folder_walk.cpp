#include "platform/folder_walk.h"

#include "platform/win32.h"
#include "platform/win32/entry_calls.h"
#include "platform/win32/native_file_calls.h"
#include "platform/win32/walk_paths.h"

#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace brisvane::platform {

using win32::Ansi;
using win32::CurrentFolder;
using win32::Entry;
using win32::EntryRef;
using win32::Handle;
using win32::Join;
using win32::LongPath;
using win32::Parent;
using win32::SplitLast;

namespace {

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

bool IsWideEntryName(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/") == std::wstring_view::npos;
}

// The path to make a held folder current by: its real path where the system tells it, so that
// a link or junction it was reached through plays no part any more; else `fallback`.
std::wstring PathToEnter(HANDLE handle, const std::wstring& fallback) {
    const std::wstring real = win32::RealName(handle);
    const bool full = real.rfind(L"\\\\?\\UNC\\", 0) == 0 ||
                      (real.rfind(L"\\\\?\\", 0) == 0 && real.size() > 5 && real[5] == L':');
    return full ? real : fallback;
}

// The file a program's path names, with the folder it lies in held; false, with the error set,
// when the path names no entry of a folder.
struct NamedEntry {
    Parent parent;
    std::wstring path;
    std::wstring name;

    bool Open(const char* given) {
        path = given && *given ? LongPath(given) : std::wstring();
        std::wstring folder;
        std::tie(folder, name) = SplitLast(path);
        if (path.empty() || !IsWideEntryName(name))
            return Fail(ERROR_INVALID_NAME);
        return parent.Open(folder);
    }

    EntryRef Ref() { return {parent, path, name}; }
};

} // namespace

HeldFolder HeldFolder::Current() {
    HeldFolder held;
    const std::wstring path = CurrentFolder();
    Handle handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (path.empty() || !handle.Valid() || !GetFileInformationByHandle(handle.Get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return held;
    held.m_path = PathToEnter(handle.Get(), path);
    held.m_handle = handle.Release();
    return held;
}

HeldFolder HeldFolder::Open(const std::string& path) {
    HeldFolder held;
    const std::wstring full = path.empty() ? std::wstring() : LongPath(path);
    if (full.empty())
        return held;
    Handle handle(CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle.Valid() || !GetFileInformationByHandle(handle.Get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return held;
    held.m_path = PathToEnter(handle.Get(), full);
    held.m_handle = handle.Release();
    return held;
}

HeldFolder HeldFolder::OpenWithoutFollowing(const std::string& path) {
    HeldFolder held;
    NamedEntry named;
    Entry entry;
    // A drive's root has no name in a folder: it is never one the program made.
    if (path.empty() || !named.Open(path.c_str()) ||
        !OpenEntry(named.Ref(), FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE,
                   FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_BACKUP_SEMANTICS, entry) ||
        !(entry.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return held;
    held.m_path = PathToEnter(entry.handle.Get(), named.path);
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
    return win32::EnterFolderPath(m_path, held);
}

bool EnterSubfolder(const char* name) {
    if (!name || !IsEntryName(name))
        return Fail(ERROR_INVALID_NAME);
    NamedEntry named;
    if (!named.Open(name))
        return Fail(ERROR_DIRECTORY);
    return EnterEntry(named.Ref(), name);
}

bool MoveFolderInto(const char* source, const HeldFolder& target, const std::string& newName) {
    if (!source || !*source || !IsEntryName(newName) || !target.Valid())
        return Fail(ERROR_INVALID_NAME);
    NamedEntry named;
    if (!named.Open(source))
        return false;
    return MoveEntryInto(named.Ref(), target.m_handle, newName);
}

bool ResetAttributesNotLink(const char* name) {
    NamedEntry named;
    return named.Open(name) && ResetEntryAttributes(named.Ref());
}

bool DeleteFileNotLink(const char* name) {
    NamedEntry named;
    return named.Open(name) && DeleteEntry(named.Ref());
}

bool FindEntry(const char* name, std::string& spelling, DWORD& attributes) {
    const std::wstring path = name && IsEntryName(name) ? LongPath(name) : std::wstring();
    WIN32_FIND_DATAW found{};
    const HANDLE lookup =
        path.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(path.c_str(), &found);
    if (lookup == INVALID_HANDLE_VALUE)
        return false;
    FindClose(lookup);
    bool lossy = false;
    spelling = Ansi(found.cFileName, &lossy);
    // Windows matches the program's own name without regard to case anyway.
    if (lossy)
        spelling = name;
    attributes = found.dwFileAttributes;
    return true;
}

// Windows lists a folder in its own order, "." and ".." first, and gives every entry's attributes
// with it. The listed folder is held while it is listed, so that each entry can be told to be
// that folder's entry itself and not something a link leads to; each entry is reached by the
// wide name the listing gave, from the listed folder's full path.
struct FolderEntries::State {
    Parent folder;
    std::wstring folderPath;
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    std::string name;
    std::wstring path;
    std::optional<DWORD> attributes;
    bool started = false;
    bool withDots = true;

    bool Advance() {
        attributes.reset();
        if (started && !FindNextFileW(handle, &data))
            return false;
        started = true;
        name = Ansi(data.cFileName);
        path = Join(folderPath, data.cFileName);
        return true;
    }

    bool IsDot() const {
        const std::wstring_view listed = data.cFileName;
        return listed == L"." || listed == L"..";
    }

    bool IsEntry() const { return IsWideEntryName(data.cFileName); }
    // A "\\?\" path is taken as it is: "." and ".." are named by the folders they mean.
    std::wstring DotPath() const {
        return std::wstring_view(data.cFileName) == L"." ? folderPath : SplitLast(folderPath).first;
    }
    EntryRef Ref() { return {folder, path, data.cFileName}; }
};

FolderEntries::FolderEntries(Order order) : m_state(std::make_unique<State>()) {
    m_state->withDots = order == Order::Listing;
    m_state->folderPath = CurrentFolder();
    if (!m_state->folderPath.empty() && m_state->folder.Open(m_state->folderPath))
        m_state->handle = FindFirstFileW(Join(m_state->folderPath, L"*").c_str(), &m_state->data);
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
    return m_state->name.c_str();
}

bool FolderEntries::IsLink() const {
    return (m_state->data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FolderEntries::IsFolder() const {
    return !IsLink() && (m_state->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD FolderEntries::Attributes() {
    if (!m_state->attributes)
        m_state->attributes = m_state->IsEntry() ? EntryAttributes(m_state->Ref())
                                                 : GetFileAttributesW(m_state->DotPath().c_str());
    return *m_state->attributes;
}

bool FolderEntries::Delete() {
    if (!m_state->IsEntry())
        return Fail(ERROR_INVALID_NAME);
    if (IsLink() || (m_state->attributes && (*m_state->attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        return Fail(ERROR_ACCESS_DENIED);
    return DeleteEntry(m_state->Ref());
}

void FolderEntries::DeleteLater() {
    Delete();
}

bool FolderEntries::EnterAsSubfolder() {
    if (!m_state->IsEntry() || IsLink())
        return Fail(ERROR_DIRECTORY);
    return EnterEntry(m_state->Ref(), Name());
}

bool FolderEntries::RemoveFolder() {
    if (!m_state->IsEntry() || IsLink())
        return Fail(ERROR_ACCESS_DENIED);
    return RemoveFolderEntry(m_state->Ref());
}

bool FolderEntries::MoveInto(const HeldFolder& target, const std::string& newName) {
    if (!m_state->IsEntry() || !IsEntryName(newName) || !target.Valid())
        return Fail(ERROR_INVALID_NAME);
    return MoveEntryInto(m_state->Ref(), target.m_handle, newName);
}

} // namespace brisvane::platform
