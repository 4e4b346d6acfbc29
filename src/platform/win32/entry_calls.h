// What the Windows walks do to one entry of a held folder, by the entry's exact name: each call
// opens the entry itself (never a link or other reparse point, never what a link leads to),
// checks that it is that folder's entry, and acts through the handle it checked.
#pragma once

#include "platform/win32.h"
#include "platform/win32/native_file_calls.h"

#include <optional>
#include <string>
#include <string_view>

namespace brisvane::platform::win32 {

// A folder held while its entries are looked at, so that an entry opened by its name can be
// told to be that very entry of this folder.
class Parent {
public:
    // Opens the folder at `path` (a "\\?\" path, or "." for the process's current folder).
    bool Open(const std::wstring& path);
    const BY_HANDLE_FILE_INFORMATION& Info() const { return m_info; }
    // Whether `entry`, opened by `name` from this folder, is the entry of that name itself: on
    // the same volume, and with the name of this folder's entry rather than that of wherever a
    // link put there leads.
    bool Holds(HANDLE entry, const BY_HANDLE_FILE_INFORMATION& entryInfo, std::wstring_view name);

private:
    Handle m_handle;
    BY_HANDLE_FILE_INFORMATION m_info{};
    std::optional<std::wstring> m_realName;
};

// The entry `name` of `parent`, reached by the "\\?\" path `path`.
struct EntryRef {
    Parent& parent;
    const std::wstring& path;
    std::wstring_view name;
};

struct Entry {
    Handle handle;
    BY_HANDLE_FILE_INFORMATION info{};
};

// Opens the entry itself for `access`: false, with the reason in GetLastError(), when it is
// gone, or is a link or other reparse point.
bool OpenEntry(const EntryRef& ref, DWORD access, DWORD share, DWORD flags, Entry& entry);

// As GetFileAttributesW gives them, read through a handle on the entry itself; an entry that
// leads elsewhere (a link Wine follows without saying so) carries the reparse bit.
DWORD EntryAttributes(const EntryRef& ref);

// Deletes the file as DeleteFileW would, but never a link.
bool DeleteEntry(const EntryRef& ref);

// Removes the empty folder as RemoveDirectoryW would, but never a link or mount point.
bool RemoveFolderEntry(const EntryRef& ref);

// Clears read-only, hidden and system as SetFileAttributesW with FILE_ATTRIBUTE_NORMAL would.
bool ResetEntryAttributes(const EntryRef& ref);

// Makes the subfolder the walks' current folder; `hookName` is what the test hook is told.
bool EnterEntry(const EntryRef& ref, const char* hookName);

// Renames the folder into the folder `target` holds as `newName`, never replacing an entry.
bool MoveEntryInto(const EntryRef& ref, HANDLE target, const std::string& newName);

} // namespace brisvane::platform::win32
