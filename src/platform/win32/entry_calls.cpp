#include "platform/win32/entry_calls.h"

#include "platform/win32/folder_walk_seam.h"
#include "platform/win32/walk_paths.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace brisvane::platform::win32 {

namespace {

// A folder is held, and an entry checked, through a handle that lets others read and write but
// not rename, delete or replace it while it is open.
constexpr DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderAccess = FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE;
constexpr DWORD kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

BeforeEnteringHook g_beforeEntering = nullptr;

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

bool IsFolder(const BY_HANDLE_FILE_INFORMATION& info) {
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteThrough(const Entry& entry) {
    BOOLEAN deleteFile = TRUE;
    return SetInformation(entry.handle.Get(), &deleteFile, sizeof deleteFile,
                          kFileDispositionInformation);
}

} // namespace

BeforeEnteringHook SetBeforeEnteringHook(BeforeEnteringHook hook) {
    return std::exchange(g_beforeEntering, hook);
}

bool Parent::Open(const std::wstring& path) {
    m_handle = Handle(CreateFileW(path.c_str(), kFolderAccess, kShareAllButDelete, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return m_handle.Valid() && GetFileInformationByHandle(m_handle.Get(), &m_info) &&
           IsFolder(m_info);
}

bool Parent::Holds(HANDLE entry, const BY_HANDLE_FILE_INFORMATION& entryInfo,
                   std::wstring_view name) {
    if (entryInfo.dwVolumeSerialNumber != m_info.dwVolumeSerialNumber)
        return false;
    if (!m_realName)
        m_realName = RealName(m_handle.Get());
    std::wstring expected = *m_realName;
    if (expected.empty() || name.empty())
        return false;
    if (expected.back() != L'\\')
        expected += L'\\';
    expected += name;
    return SameText(expected, RealName(entry));
}

bool OpenEntry(const EntryRef& ref, DWORD access, DWORD share, DWORD flags, Entry& entry) {
    entry.handle = Handle(CreateFileW(ref.path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                      flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!entry.handle.Valid() || !GetFileInformationByHandle(entry.handle.Get(), &entry.info))
        return false;
    if ((entry.info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !ref.parent.Holds(entry.handle.Get(), entry.info, ref.name))
        return Fail(ERROR_ACCESS_DENIED);
    return true;
}

DWORD EntryAttributes(const EntryRef& ref) {
    const Handle entry(
        CreateFileW(ref.path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!entry.Valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? INVALID_FILE_ATTRIBUTES
                   : GetFileAttributesW(ref.path.c_str());
    }
    if (!GetFileInformationByHandle(entry.Get(), &info))
        return GetFileAttributesW(ref.path.c_str());
    if (!ref.parent.Holds(entry.Get(), info, ref.name))
        info.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return info.dwFileAttributes;
}

// Deleting a link by its name deletes what it leads to under Wine: the file is deleted through
// the handle that was checked, so nothing put in its place meanwhile is reached.
bool DeleteEntry(const EntryRef& ref) {
    Entry entry;
    if (!OpenEntry(ref, kDeleteAccess, kShareAll, 0, entry))
        return false;
    if (entry.info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        return Fail(ERROR_ACCESS_DENIED);
    return DeleteThrough(entry);
}

bool RemoveFolderEntry(const EntryRef& ref) {
    Entry entry;
    if (!OpenEntry(ref, kDeleteAccess, kShareAll, FILE_FLAG_BACKUP_SEMANTICS, entry))
        return false;
    // The system refuses one that is not empty, as RemoveDirectoryW would.
    if (!IsFolder(entry.info))
        return Fail(ERROR_DIRECTORY);
    return DeleteThrough(entry);
}

bool ResetEntryAttributes(const EntryRef& ref) {
    Entry entry;
    if (!OpenEntry(ref, FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                   FILE_FLAG_BACKUP_SEMANTICS, entry))
        return false;
    // Through the handle that was checked; the times at zero stay as they are.
    struct {
        LARGE_INTEGER creation, lastAccess, lastWrite, change;
        ULONG attributes;
    } basic{};
    basic.attributes = FILE_ATTRIBUTE_NORMAL;
    return SetInformation(entry.handle.Get(), &basic, sizeof basic, kFileBasicInformation);
}

bool EnterEntry(const EntryRef& ref, const char* hookName) {
    // The subfolder is checked through a handle that keeps it from being renamed or replaced
    // until it is current; a link or junction put in its place all the same is found by what
    // is current afterwards.
    Entry subfolder;
    if (!OpenEntry(ref, kFolderAccess, kShareAllButDelete, FILE_FLAG_BACKUP_SEMANTICS, subfolder) ||
        !IsFolder(subfolder.info))
        return Fail(ERROR_DIRECTORY);
    if (g_beforeEntering)
        g_beforeEntering(hookName);
    return EnterFolderPath(ref.path, subfolder.info);
}

bool MoveEntryInto(const EntryRef& ref, HANDLE target, const std::string& newName) {
    Entry entry;
    if (!OpenEntry(ref, kDeleteAccess, kShareAllButDelete, FILE_FLAG_BACKUP_SEMANTICS, entry))
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
    rename->rootDirectory = target;
    rename->fileNameLength = nameBytes;
    std::memcpy(rename->fileName, wideName.data(), nameBytes);
    return SetInformation(entry.handle.Get(), rename, static_cast<ULONG>(size),
                          kFileRenameInformation);
}

} // namespace brisvane::platform::win32
