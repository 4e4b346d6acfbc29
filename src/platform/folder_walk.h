// What a walk over a folder's entries needs beyond the Windows file calls so that it can never
// reach outside the folder it walks: a hold on that folder that survives renames and links put
// in place of its path, a way into a listed subfolder that follows no link and crosses onto no
// other file system, and a move that names its target by the held folder rather than a path.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <string>
#include <string_view>

namespace brisvane::platform {

// A folder held open for the life of the object. Making it current again lands in that very
// folder, whatever has happened to the path it was reached by since.
class HeldFolder {
public:
    // Holds the current folder.
    static HeldFolder Current();
    // Holds the folder `path` names now; not Valid() when there is none. A link there is
    // followed this once: a folder the user named by a link is the folder the user chose.
    static HeldFolder Open(const std::string& path);
    // Holds the folder `path` names now only when it is a folder itself, not a link or other
    // reparse point leading to one: for folders the program made itself.
    static HeldFolder OpenWithoutFollowing(const std::string& path);

    HeldFolder(HeldFolder&& other) noexcept;
    HeldFolder& operator=(HeldFolder&& other) noexcept;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    ~HeldFolder();

    bool Valid() const;
    bool MakeCurrent() const;

private:
    HeldFolder() = default;

    int m_descriptor = -1;     // Linux: an O_PATH descriptor of the folder
    std::wstring m_path;       // Windows: its full "\\?\" path to make it current by
    HANDLE m_handle = nullptr; // Windows: a handle on it that others may not delete through
    friend bool MoveFolderInto(const char*, const HeldFolder&, const std::string&);
    friend class FolderEntries;
};

// True when `name`, as a listing returned it, can only ever mean that one entry of the listed
// folder: not "." or "..", and without "\" or "/", which the file calls would read as separators.
inline bool IsEntryName(std::string_view name) {
    // Two plain searches: find_first_of would search the set once for every character.
    return !name.empty() && name != "." && name != ".." &&
           name.find('\\') == std::string_view::npos && name.find('/') == std::string_view::npos;
}

// Makes the entry `name` of the current folder current when it is a folder of its own: an entry
// name, not a link or other reparse point, and on the same file system as the current folder
// (a mount point is not entered). Names match without regard to case, an exact match first.
// On false the current folder is unchanged.
bool EnterSubfolder(const char* name);

// Moves the folder `source` (an entry of the current folder or a full path) into `target` as
// `newName`, never replacing an entry. On failure GetLastError() tells ERROR_ALREADY_EXISTS
// (the name is taken) from anything else.
bool MoveFolderInto(const char* source, const HeldFolder& target, const std::string& newName);

// Deletes the file `name` (an entry of the current folder or a full path) as DeleteFileA would,
// but refuses a link or other reparse point rather than delete it or what it leads to: the
// cleaning steps' deletes by name go through here.
bool DeleteFileNotLink(const char* name);

// Clears the read-only, hidden and system attributes of the file `name` as SetFileAttributesA
// with FILE_ATTRIBUTE_NORMAL would, but refuses a link or other reparse point rather than change
// what it leads to.
bool ResetAttributesNotLink(const char* name);

// Looks the entry `name` of the current folder up as FindFirstFileA would, without regard to
// case: its spelling there (the one to change and delete it by) and its attributes as listed.
// False when there is none.
bool FindEntry(const char* name, std::string& spelling, DWORD& attributes);

// The entries of the current folder, one at a time, for a walk; the listing is closed however the
// walk ends. Each entry is looked at no more than the walk needs: its name and what the listing
// itself tells of it come free, its attributes are read once when asked for, and deleting it
// trusts those attributes instead of looking the name up again.
class FolderEntries {
public:
    enum class Order {
        // ".", ".." and every name in the order the file calls list them, so that a walk's count
        // of leading entries means the same on every system.
        Listing,
        // The names as the file system keeps them, without "." and "..": for a walk that
        // counts none.
        AnyOrder,
    };

    explicit FolderEntries(Order order);
    ~FolderEntries();
    FolderEntries(const FolderEntries&) = delete;
    FolderEntries& operator=(const FolderEntries&) = delete;

    // False when the folder could not be listed; there are no entries then.
    bool Valid() const;
    // Moves to the next entry, the first one on the first call; false when there is none left.
    bool Next();

    // The name in the program's ANSI text. On Windows a character outside the ANSI code page
    // shows as "?", so the name may reach no entry, or another: the calls below act on the
    // entry itself, by the exact name the listing gave.
    const char* Name() const;
    // A link or other reparse point, as the listing tells it; never followed to find out.
    bool IsLink() const;
    // A folder of its own (not a link), as the listing tells it.
    bool IsFolder() const;
    // The entry's attributes, as GetFileAttributesA gives them; INVALID_FILE_ATTRIBUTES when the
    // entry is gone.
    DWORD Attributes();
    // Deletes the entry as DeleteFileA would by its name: a folder, a link to a folder and a
    // read-only file are refused. A link is removed itself, never what it leads to.
    bool Delete();
    // Deletes the entry as Delete() would, at the latest when the listing closes or another call
    // here acts on the folder, and tells nothing: on Linux the unlinks of a walk may go to the
    // kernel together, which pays where the disk makes each one wait. For walks that look at
    // the folder only through this listing; one that needs the result calls Delete().
    void DeleteLater();
    // Makes the entry current as EnterSubfolder would: only a folder of its own, on the same
    // file system, never through a link.
    bool EnterAsSubfolder();
    // Removes the entry when it is an empty folder of its own, never a link or mount point.
    bool RemoveFolder();
    // Moves the entry, a folder of its own, into `target` as `newName` as MoveFolderInto would.
    bool MoveInto(const HeldFolder& target, const std::string& newName);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace brisvane::platform
