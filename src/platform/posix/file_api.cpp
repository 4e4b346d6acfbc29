// The file calls of kernel32 other than the listing (file_listing.cpp): current folder,
// attributes, delete, create and remove a folder, move, and the last error.
#include "platform/posix/file_api.h"

#include "platform/posix/dos_attributes.h"
#include "platform/posix/file_call_result.h"
#include "platform/posix/file_io.h"
#include "platform/posix/name_case.h"
#include "platform/posix/path_lookup.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace brisvane::platform::posix;

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

constexpr DWORD kStoredDosBits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

DWORD brisvane::platform::posix::ErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EBUSY:
        return ERROR_SHARING_VIOLATION;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

BOOL brisvane::platform::posix::Fail(DWORD error) {
    t_lastError = error;
    return FALSE;
}

BOOL brisvane::platform::posix::FailErrno(int error) {
    return Fail(ErrorFromErrno(error));
}

BOOL brisvane::platform::posix::Succeed() {
    t_lastError = ERROR_SUCCESS;
    return TRUE;
}

bool brisvane::platform::posix::IsDotName(const std::string& name) {
    return name == "." || name == "..";
}

namespace {

// The error for a name that did not resolve to an existing entry.
DWORD LookupError(const ResolvedPath& resolved) {
    if (resolved.lookup == Lookup::LastMissing)
        return ERROR_FILE_NOT_FOUND;
    if (resolved.error == ENOENT || resolved.error == ENOTDIR || resolved.error == 0)
        return ERROR_PATH_NOT_FOUND;
    return ErrorFromErrno(resolved.error);
}

// Resolves a name that must exist; fills `st` with its lstat.
bool ResolveExisting(LPCSTR name, ResolvedPath& resolved, struct stat& st) {
    if (!name || !*name) {
        t_lastError = ERROR_PATH_NOT_FOUND;
        return false;
    }
    resolved = ResolvePath(name);
    if (resolved.lookup != Lookup::Found) {
        t_lastError = LookupError(resolved);
        return false;
    }
    st = resolved.status;
    return true;
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

BOOL SetCurrentDirectoryA(LPCSTR lpPathName) {
    if (!lpPathName || !*lpPathName)
        return Fail(ERROR_INVALID_NAME);
    ResolvedPath resolved;
    struct stat st;
    if (!ResolveExisting(lpPathName, resolved, st))
        return FALSE;
    struct stat target;
    if (stat(resolved.path.c_str(), &target) != 0)
        return FailErrno(errno);
    if (!S_ISDIR(target.st_mode))
        return Fail(ERROR_DIRECTORY);
    if (chdir(resolved.path.c_str()) != 0)
        return FailErrno(errno);
    return Succeed();
}

DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) {
        t_lastError = ErrorFromErrno(errno);
        return 0;
    }
    const std::string path = cwd;
    std::free(cwd);
    if (!lpBuffer || nBufferLength <= path.size())
        return static_cast<DWORD>(path.size() + 1);
    std::memcpy(lpBuffer, path.c_str(), path.size() + 1);
    t_lastError = ERROR_SUCCESS;
    return static_cast<DWORD>(path.size());
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
    ResolvedPath resolved;
    struct stat st;
    if (!ResolveExisting(lpFileName, resolved, st))
        return INVALID_FILE_ATTRIBUTES;
    t_lastError = ERROR_SUCCESS;
    return AttributesOf(resolved.path, resolved.lastPart, st);
}

namespace {

// The hidden and system bits SetFileAttributesA leaves stored, with a stored read-only bit kept
// only while read-only is wanted, since the mode bits already say it.
DWORD WantedStoredBits(DWORD wanted, const std::optional<DWORD>& stored) {
    return (wanted & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) |
           (stored ? (wanted & *stored & FILE_ATTRIBUTE_READONLY) : 0);
}

// Gives the file open as `descriptor`, whose status is `st`, the mode `wantedMode` and the
// stored bits `bits`. The kernel refuses a user attribute on a file its owner cannot write (root
// aside), so the value is written while the owner may: after the write bits are set, before
// they are cleared, and on a file that stays read-only, while they are briefly set. Whatever
// fails, what was already changed is put back: no half change is left.
BOOL ChangeModeAndStoredBits(int descriptor, const struct stat& st, mode_t wantedMode, DWORD bits,
                             const std::optional<std::string>& before) {
    const mode_t mode = st.st_mode & 07777;
    // Only the owner may change the mode; anyone else writes with the rights it has.
    const bool keepMode = (mode & S_IWUSR) || geteuid() != st.st_uid;
    const mode_t writingMode = keepMode ? mode : (mode | S_IWUSR);
    if (writingMode != mode && fchmod(descriptor, writingMode) != 0)
        return FailErrno(errno);
    if (!WriteDosAttrib(descriptor, bits)) {
        const int error = errno;
        if (writingMode != mode)
            fchmod(descriptor, mode);
        return FailErrno(error);
    }
    if (wantedMode != writingMode && fchmod(descriptor, wantedMode) != 0) {
        const int error = errno;
        RestoreDosAttrib(descriptor, before);
        if (writingMode != mode)
            fchmod(descriptor, mode);
        return FailErrno(error);
    }
    return Succeed();
}

} // namespace

BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    ResolvedPath resolved;
    struct stat st;
    if (!ResolveExisting(lpFileName, resolved, st))
        return FALSE;
    // A symbolic link has no attributes of its own here, and its target is not ours to change.
    if (S_ISLNK(st.st_mode))
        return Succeed();
    // The entry looked at is opened without following a link (and without waiting on a pipe)
    // and changed only through that descriptor, so nothing put in its place meanwhile is
    // changed instead, whether /proc is there or not.
    const int descriptor =
        open(resolved.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        return FailErrno(errno);
    const Descriptor held(descriptor);
    if (fstat(descriptor, &st) != 0)
        return FailErrno(errno);
    // Only a file or a folder has attributes to change here.
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    // A file with other names shares its attributes with them, and they may lie anywhere.
    if (!S_ISDIR(st.st_mode) && st.st_nlink > 1)
        return Fail(ERROR_ACCESS_DENIED);
    if (dwFileAttributes == FILE_ATTRIBUTE_NORMAL)
        dwFileAttributes = 0;

    const mode_t mode = st.st_mode & 07777;
    mode_t wantedMode = mode;
    if (!S_ISDIR(st.st_mode))
        wantedMode = (dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                         ? (mode & ~static_cast<mode_t>(0222))
                         : (mode | S_IWUSR);

    // What is stored must be known, to keep what is not changed and to put it back on failure.
    std::optional<std::string> before;
    if (!ReadDosAttribValue(descriptor, before))
        return Fail(ERROR_ACCESS_DENIED);
    const std::optional<DWORD> stored = before ? ParseDosAttrib(*before) : std::nullopt;
    // Without a stored value the name alone decides hidden; a value not understood is replaced.
    const bool dotHidden = !resolved.lastPart.empty() && resolved.lastPart.front() == '.' &&
                           !IsDotName(resolved.lastPart);
    const DWORD wantedBits = WantedStoredBits(dwFileAttributes, stored);
    const bool storedChanges =
        stored ? (*stored & kStoredDosBits) != wantedBits
               : (before || (dotHidden ? FILE_ATTRIBUTE_HIDDEN : 0) != wantedBits);
    if (storedChanges)
        return ChangeModeAndStoredBits(descriptor, st, wantedMode, wantedBits, before);
    if (wantedMode != mode && fchmod(descriptor, wantedMode) != 0)
        return FailErrno(errno);
    return Succeed();
}

BOOL DeleteFileA(LPCSTR lpFileName) {
    ResolvedPath resolved;
    struct stat st;
    if (!ResolveExisting(lpFileName, resolved, st))
        return FALSE;
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (S_ISLNK(st.st_mode)) {
        // A link to a folder is removed as a folder on Windows, never as a file.
        struct stat target;
        if (stat(resolved.path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
            return Fail(ERROR_ACCESS_DENIED);
    } else if (AttributesOf(resolved.path, resolved.lastPart, st) & FILE_ATTRIBUTE_READONLY) {
        // Read-only by its mode bits or its stored bits; root could delete it, Windows would not.
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (unlink(resolved.path.c_str()) != 0)
        return FailErrno(errno);
    return Succeed();
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (!lpPathName || !*lpPathName)
        return Fail(ERROR_PATH_NOT_FOUND);
    const ResolvedPath resolved = ResolvePath(lpPathName);
    if (resolved.lookup == Lookup::Found)
        return Fail(ERROR_ALREADY_EXISTS);
    if (resolved.lookup != Lookup::LastMissing)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (mkdir(resolved.path.c_str(), 0777) != 0)
        return FailErrno(errno);
    return Succeed();
}

BOOL RemoveDirectoryA(LPCSTR lpPathName) {
    ResolvedPath resolved;
    struct stat st;
    if (!ResolveExisting(lpPathName, resolved, st))
        return FALSE;
    if (IsDotName(resolved.lastPart))
        return Fail(ERROR_INVALID_NAME);
    // A link is never followed into the folder it points at.
    if (!S_ISDIR(st.st_mode))
        return Fail(ERROR_DIRECTORY);
    if (rmdir(resolved.path.c_str()) != 0)
        return FailErrno(errno == EEXIST ? ENOTEMPTY : errno);
    return Succeed();
}

BOOL MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    ResolvedPath source;
    struct stat st;
    if (!ResolveExisting(lpExistingFileName, source, st))
        return FALSE;
    if (!lpNewFileName || !*lpNewFileName)
        return Fail(ERROR_PATH_NOT_FOUND);
    const ResolvedPath target = ResolvePath(lpNewFileName);
    std::string targetPath = target.path;
    if (target.lookup == Lookup::Found) {
        // Only a new spelling of the same entry's name may "exist" already.
        struct stat existing;
        if (lstat(target.path.c_str(), &existing) != 0 || existing.st_dev != st.st_dev ||
            existing.st_ino != st.st_ino)
            return Fail(ERROR_ALREADY_EXISTS);
        const std::size_t slash = target.path.rfind('/');
        targetPath =
            (slash == std::string::npos ? "" : target.path.substr(0, slash + 1)) + target.lastPart;
        if (targetPath == source.path)
            return Succeed();
        if (rename(source.path.c_str(), targetPath.c_str()) != 0)
            return FailErrno(errno);
        return Succeed();
    }
    if (target.lookup != Lookup::LastMissing)
        return Fail(ERROR_PATH_NOT_FOUND);
    // Never replaces: an entry that appears meanwhile under the new name makes the move fail.
    if (renameat2(AT_FDCWD, source.path.c_str(), AT_FDCWD, targetPath.c_str(), RENAME_NOREPLACE) ==
        0)
        return Succeed();
    if (errno != EINVAL)
        return FailErrno(errno);
    // A file system without the no-replace rename: check, then rename.
    struct stat existing;
    if (lstat(targetPath.c_str(), &existing) == 0)
        return Fail(ERROR_ALREADY_EXISTS);
    if (rename(source.path.c_str(), targetPath.c_str()) != 0)
        return FailErrno(errno);
    return Succeed();
}
