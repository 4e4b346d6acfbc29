#include "platform/folder_walk.h"

#include "platform/posix/dos_attributes.h"
#include "platform/posix/file_api.h"
#include "platform/posix/name_case.h"
#include "platform/posix/path_lookup.h"
#include "platform/posix/unlink_batching.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace brisvane::platform {

namespace {

using posix::ErrorFromErrno;

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

// The mount a descriptor's folder lies on. Two folders of one file system can still lie on
// different mounts (a bind mount), which the device number alone does not tell.
bool SameMount(int a, int b) {
    struct statx first {};
    struct statx second {};
    if (statx(a, "", AT_EMPTY_PATH, STATX_MNT_ID, &first) != 0 ||
        statx(b, "", AT_EMPTY_PATH, STATX_MNT_ID, &second) != 0)
        return false;
    if (first.stx_dev_major != second.stx_dev_major || first.stx_dev_minor != second.stx_dev_minor)
        return false;
    if ((first.stx_mask & STATX_MNT_ID) && (second.stx_mask & STATX_MNT_ID))
        return first.stx_mnt_id == second.stx_mnt_id;
    return !(second.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) ||
           !(second.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

// The entry of the current folder that `name` means: the exact name, else the one that matches
// without regard to case.
std::string EntryNamed(const char* name) {
    struct stat st;
    if (fstatat(AT_FDCWD, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return name;
    return posix::FindNameInFolder("", name);
}

} // namespace

HeldFolder HeldFolder::Current() {
    HeldFolder held;
    held.m_descriptor = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    return held;
}

namespace {

int OpenFolder(const std::string& path, int flags) {
    if (path.empty())
        return -1;
    const posix::ResolvedPath resolved = posix::ResolvePath(path);
    if (resolved.lookup != posix::Lookup::Found)
        return -1;
    return open(resolved.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | flags);
}

} // namespace

HeldFolder HeldFolder::Open(const std::string& path) {
    HeldFolder held;
    held.m_descriptor = OpenFolder(path, 0);
    return held;
}

HeldFolder HeldFolder::OpenWithoutFollowing(const std::string& path) {
    HeldFolder held;
    held.m_descriptor = OpenFolder(path, O_NOFOLLOW);
    return held;
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_path(std::move(other.m_path)) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
    if (this != &other) {
        if (m_descriptor >= 0)
            close(m_descriptor);
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

HeldFolder::~HeldFolder() {
    if (m_descriptor >= 0)
        close(m_descriptor);
}

bool HeldFolder::Valid() const {
    return m_descriptor >= 0;
}

bool HeldFolder::MakeCurrent() const {
    if (m_descriptor < 0)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (fchdir(m_descriptor) != 0)
        return Fail(ErrorFromErrno(errno));
    return true;
}

namespace {

// Enters the subfolder `name` of the folder `parent` is open on.
bool EnterAt(int parent, const char* name) {
    // The folder is opened once, without following a link, and that very folder is entered:
    // nothing can be put in its place between the check and the use.
    const int folder = openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return Fail(errno == ELOOP || errno == ENOTDIR ? ERROR_DIRECTORY : ErrorFromErrno(errno));
    const int here = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    const bool sameMount = here >= 0 && SameMount(here, folder);
    if (here >= 0)
        close(here);
    const bool entered = sameMount && fchdir(folder) == 0;
    const int error = errno;
    close(folder);
    if (!sameMount)
        return Fail(ERROR_NOT_SAME_DEVICE);
    if (!entered)
        return Fail(ErrorFromErrno(error));
    SetLastError(ERROR_SUCCESS);
    return true;
}

// Renames the folder `name` of the folder `parent` is open on into `target` as `newName`.
bool MoveAt(int parent, const char* name, int target, const std::string& newName) {
    struct stat st;
    if (fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(ErrorFromErrno(errno));
    if (!S_ISDIR(st.st_mode))
        return Fail(ERROR_DIRECTORY);
    // A rename moves the entry itself, never what a link put in its place points at.
    if (renameat2(parent, name, target, newName.c_str(), RENAME_NOREPLACE) == 0) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    if (errno != EINVAL)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno));
    // A file system without the no-replace rename: check, then rename.
    struct stat existing;
    if (fstatat(target, newName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return Fail(ERROR_ALREADY_EXISTS);
    if (renameat(parent, name, target, newName.c_str()) != 0)
        return Fail(ErrorFromErrno(errno));
    SetLastError(ERROR_SUCCESS);
    return true;
}

} // namespace

bool EnterSubfolder(const char* name) {
    if (!name || !IsEntryName(name))
        return Fail(ERROR_INVALID_NAME);
    const std::string entry = EntryNamed(name);
    if (entry.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    return EnterAt(AT_FDCWD, entry.c_str());
}

bool MoveFolderInto(const char* source, const HeldFolder& target, const std::string& newName) {
    if (!source || !*source || !IsEntryName(newName))
        return Fail(ERROR_INVALID_NAME);
    if (!target.Valid())
        return Fail(ERROR_PATH_NOT_FOUND);
    const posix::ResolvedPath resolved = posix::ResolvePath(source);
    if (resolved.lookup != posix::Lookup::Found)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (!S_ISDIR(resolved.status.st_mode))
        return Fail(ERROR_DIRECTORY);
    return MoveAt(AT_FDCWD, resolved.path.c_str(), target.m_descriptor, newName);
}

bool FindEntry(const char* name, std::string& spelling, DWORD& attributes) {
    WIN32_FIND_DATAA found{};
    const HANDLE lookup = FindFirstFileA(name, &found);
    if (lookup == INVALID_HANDLE_VALUE)
        return false;
    FindClose(lookup);
    spelling = found.cFileName;
    attributes = found.dwFileAttributes;
    return true;
}

struct FolderEntries::State {
    struct Listed {
        std::string name;
        unsigned char type;
    };

    DIR* dir = nullptr;
    int folder = -1; // the listing's own descriptor
    bool ordered = false;
    // Ordered: every name, read before the first is given. In any order: none; the names come
    // straight from the folder as it is read.
    std::vector<Listed> listed;
    std::size_t next = 0;
    const char* name = nullptr;
    unsigned char type = DT_UNKNOWN;
    bool attributesRead = false;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    dev_t device = 0; // the file system of the entry whose attributes were read
    // Unlinks handed over by DeleteLater and perhaps not done yet; `queued` when the current
    // entry's is one of them.
    std::optional<posix::PendingUnlinks> pending;
    bool queued = false;

    int Folder() const { return folder; }

    // Every unlink handed over is done, before anything else looks at the folder.
    void Settle() {
        if (pending)
            pending->Finish();
        queued = false;
    }

    // The type by the entry's lstat when the file system does not tell it in the listing.
    void SettleType() {
        if (type != DT_UNKNOWN)
            return;
        struct stat st;
        if (fstatat(Folder(), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    }

    void ReadAll() {
        std::vector<Listed> names;
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.push_back({entry->d_name, entry->d_type});
        }
        std::vector<std::string_view> views;
        views.reserve(names.size());
        for (const Listed& entry : names)
            views.emplace_back(entry.name);
        listed.reserve(names.size() + 2);
        listed.push_back({".", DT_DIR});
        listed.push_back({"..", DT_DIR});
        for (const std::size_t at : posix::ListingOrder(views))
            listed.push_back(std::move(names[at]));
    }

    bool Next() {
        attributesRead = false;
        queued = false;
        if (ordered) {
            if (next == listed.size())
                return false;
            name = listed[next].name.c_str();
            type = listed[next].type;
            ++next;
        } else {
            const dirent* entry = nullptr;
            do {
                entry = readdir(dir);
            } while (entry && (std::strcmp(entry->d_name, ".") == 0 ||
                               std::strcmp(entry->d_name, "..") == 0));
            if (!entry)
                return false;
            name = entry->d_name;
            type = entry->d_type;
        }
        SettleType();
        return true;
    }
};

FolderEntries::FolderEntries(Order order) : m_state(std::make_unique<State>()) {
    m_state->ordered = order == Order::Listing;
    m_state->dir = opendir(".");
    if (!m_state->dir)
        return;
    m_state->folder = dirfd(m_state->dir);
    if (m_state->ordered)
        m_state->ReadAll();
}

FolderEntries::~FolderEntries() {
    m_state->pending.reset();
    if (m_state->dir)
        closedir(m_state->dir);
}

bool FolderEntries::Valid() const {
    return m_state->dir != nullptr;
}

bool FolderEntries::Next() {
    return Valid() && m_state->Next();
}

const char* FolderEntries::Name() const {
    return m_state->name ? m_state->name : "";
}

bool FolderEntries::IsLink() const {
    return m_state->type == DT_LNK;
}

bool FolderEntries::IsFolder() const {
    return m_state->type == DT_DIR;
}

DWORD FolderEntries::Attributes() {
    State& state = *m_state;
    if (!state.name)
        return INVALID_FILE_ATTRIBUTES;
    // An entry whose unlink was handed over is read again once that is done.
    if (state.queued)
        state.Settle();
    if (!state.attributesRead) {
        struct stat st {};
        state.attributes = fstatat(state.Folder(), state.name, &st, AT_SYMLINK_NOFOLLOW) == 0
                               ? posix::AttributesAt(state.Folder(), state.name, st)
                               : INVALID_FILE_ATTRIBUTES;
        state.device = st.st_dev;
        state.attributesRead = true;
    }
    return state.attributes;
}

namespace {

// Why the entry with these attributes may not be deleted; ERROR_SUCCESS when it may.
DWORD RefusalToDelete(DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ERROR_FILE_NOT_FOUND;
    // Read-only by its mode bits or its stored bits; root could delete it, Windows would not.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

} // namespace

bool FolderEntries::Delete() {
    const DWORD refusal = RefusalToDelete(Attributes());
    if (refusal != ERROR_SUCCESS)
        return Fail(refusal);
    m_state->Settle();
    // Removes the name in the listed folder itself: whatever has been put there since the
    // attributes were read, no link is followed and nothing is opened.
    if (unlinkat(m_state->Folder(), m_state->name, 0) != 0)
        return Fail(ErrorFromErrno(errno));
    m_state->attributes = INVALID_FILE_ATTRIBUTES;
    SetLastError(ERROR_SUCCESS);
    return true;
}

void FolderEntries::DeleteLater() {
    State& state = *m_state;
    if (RefusalToDelete(Attributes()) != ERROR_SUCCESS)
        return;
    if (!state.pending)
        state.pending.emplace(state.Folder());
    // The same unlink as Delete's, relative to the listed folder, perhaps batched with others.
    state.pending->Add(state.name, state.device);
    state.queued = true;
    state.attributesRead = false;
}

bool FolderEntries::EnterAsSubfolder() {
    if (!m_state->name || !IsEntryName(m_state->name) || IsLink())
        return Fail(ERROR_DIRECTORY);
    m_state->Settle();
    return EnterAt(m_state->Folder(), m_state->name);
}

bool FolderEntries::RemoveFolder() {
    if (!m_state->name || !IsEntryName(m_state->name) || IsLink())
        return Fail(ERROR_ACCESS_DENIED);
    m_state->Settle();
    // Removes the name in the listed folder itself; a link put there since is no folder to
    // rmdir, and no link is followed.
    if (unlinkat(m_state->Folder(), m_state->name, AT_REMOVEDIR) != 0)
        return Fail(ErrorFromErrno(errno == EEXIST ? ENOTEMPTY : errno));
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool FolderEntries::MoveInto(const HeldFolder& target, const std::string& newName) {
    if (!m_state->name || !IsEntryName(m_state->name) || !IsEntryName(newName))
        return Fail(ERROR_INVALID_NAME);
    if (!target.Valid())
        return Fail(ERROR_PATH_NOT_FOUND);
    m_state->Settle();
    return MoveAt(m_state->Folder(), m_state->name, target.m_descriptor, newName);
}

} // namespace brisvane::platform
