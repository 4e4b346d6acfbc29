#include "platform/posix/hive_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hive {

std::string_view RootName(Root root) {
    return root == Root::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::optional<Root> RootFromHandle(HKEY key) {
    if (key == HKEY_CURRENT_USER)
        return Root::CurrentUser;
    if (key == HKEY_LOCAL_MACHINE)
        return Root::LocalMachine;
    return std::nullopt;
}

std::optional<Root> RootFromName(std::string_view name) {
    if (NamesEqual(name, "HKEY_CURRENT_USER") || NamesEqual(name, "HKCU"))
        return Root::CurrentUser;
    if (NamesEqual(name, "HKEY_LOCAL_MACHINE") || NamesEqual(name, "HKLM"))
        return Root::LocalMachine;
    return std::nullopt;
}

std::string HiveFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as for every XDG variable.
    if (config && config[0] == '/')
        return std::string(config) + "/brisvane";
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env)
        home = env;
    else if (const passwd* entry = getpwuid(getuid()))
        home = entry->pw_dir;
    return home + "/.config/brisvane";
}

std::string HivePath(Root root) {
    return HiveFolder() + "/" + std::string(RootName(root)) + ".reg";
}

namespace {

bool DeniesOwnerWrite(const std::string& path, bool& exists) {
    struct stat info {};
    exists = stat(path.c_str(), &info) == 0;
    return exists && (info.st_mode & S_IWUSR) == 0;
}

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The folder, or the nearest existing folder above it while it is missing.
bool FolderDeniesOwnerWrite(std::string folder) {
    bool exists = false;
    for (;; folder = ParentOf(folder)) {
        if (DeniesOwnerWrite(folder, exists))
            return true;
        if (exists || folder == "/")
            return false;
    }
}

// The file a hive's name leads to through any symbolic links, even to a target not yet made:
// a hive that a dotfiles manager keeps as a link is changed where the link points.
bool FollowLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        char link[PATH_MAX];
        ssize_t length = readlink(target.c_str(), link, sizeof link);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof link)
            return false;
        std::string next(link, static_cast<std::size_t>(length));
        target = next.front() == '/' ? next : ParentOf(target) + "/" + next;
    }
    return false;
}

// Once per process and message, so that a program that opens keys all day does not flood
// stderr.
void ReportOnce(const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard lock(mutex);
    if (reported.insert(message).second)
        std::fprintf(stderr, "brisvane: %s\n", message.c_str());
}

// The damage last found in each hive file, for HiveDamage.
std::map<std::string, std::string>& DamageFound() {
    static std::map<std::string, std::string> found;
    return found;
}

void ReportDamage(const std::string& path, const ParseError& error) {
    DamageFound()[path] = "line " + std::to_string(error.line) + " (" + error.reason + ")";
    ReportOnce("registry hive " + path + " is damaged at line " + std::to_string(error.line) +
               " (" + error.reason + "); it is left as it is and its keys cannot be opened");
}

// For anything stat() reports that is not a regular file (it follows links).
std::string NotAFileProblem(mode_t mode) {
    const char* kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a named pipe"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "a device";
    return std::string("is ") + kind + ", not a regular file";
}

void ReportNotAFile(const std::string& path, mode_t mode) {
    ReportOnce("registry hive " + path + " " + NotAFileProblem(mode) +
               "; it is left as it is and its keys cannot be opened");
}

// Only a regular file is read, and opening never waits: a named pipe would block the program
// for ever, and a device has no business being a hive.
LONG ReadWhole(const std::string& path, std::string& content, bool& missing) {
    missing = false;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        missing = errno == ENOENT;
        return missing ? ERROR_SUCCESS : static_cast<LONG>(ERROR_CANTREAD);
    }
    if (!S_ISREG(info.st_mode)) {
        ReportNotAFile(path, info.st_mode);
        return ERROR_CANTREAD;
    }
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ERROR_CANTREAD;
    // It may have been replaced between the look and the open.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (!S_ISREG(info.st_mode))
            ReportNotAFile(path, info.st_mode);
        close(fd);
        return ERROR_CANTREAD;
    }
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            return ERROR_CANTREAD;
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return ERROR_SUCCESS;
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t put = write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool MakeFolders(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (path != "/" && !MakeFolders(ParentOf(path)))
        return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// The new content goes to a temporary file beside the hive (beside its target when the hive is
// a link), reaches the disk, and only then replaces it in one rename; the folder is synced so
// that the rename itself survives.
LONG WriteHive(const std::string& path, const std::string& content) {
    std::string target;
    if (!FollowLinks(path, target))
        return ERROR_CANTWRITE;
    std::string temporary = target + ".tmp";
    mode_t mode = 0600;
    struct stat info {};
    if (stat(target.c_str(), &info) == 0)
        mode = info.st_mode & 07777;
    // A temporary file left by a crash, or a link planted in its place, is removed rather than
    // written through; the new one is made afresh, so nothing else can be overwritten.
    if (unlink(temporary.c_str()) != 0 && errno != ENOENT)
        return ERROR_CANTWRITE;
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return ERROR_CANTWRITE;
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, content) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return ERROR_CANTWRITE;
    }
    int folder = open(ParentOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return ERROR_SUCCESS;
}

class HiveLock {
public:
    explicit HiveLock(const std::string& hivePath) {
        // The lock file is ours alone: a link left at its name is removed, never followed, so
        // that taking the lock cannot create or open a file anywhere else.
        const std::string lockPath = hivePath + ".lock";
        const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        m_fd = open(lockPath.c_str(), flags, 0600);
        if (m_fd < 0 && errno == ELOOP && unlink(lockPath.c_str()) == 0)
            m_fd = open(lockPath.c_str(), flags, 0600);
        if (m_fd < 0)
            return;
        while (flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~HiveLock() {
        if (m_fd >= 0)
            close(m_fd);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

LONG LoadHiveAt(Root root, const std::string& path, Key& out) {
    std::string content;
    bool missing = false;
    if (LONG rc = ReadWhole(path, content, missing); rc != ERROR_SUCCESS)
        return rc;
    out = Key();
    if (missing)
        return ERROR_SUCCESS;
    std::vector<RegEdit> edits;
    std::optional<ParseError> error = ParseRegDocument(content, edits);
    if (!error) {
        for (const RegEdit& edit : edits) {
            if (!NamesEqual(edit.rootName, RootName(root))) {
                error = ParseError{edit.line, "a key outside " + std::string(RootName(root))};
                break;
            }
        }
    }
    if (!error)
        error = ApplyEdits(edits, RootName(root), out);
    if (error) {
        ReportDamage(path, *error);
        out = Key();
        return ERROR_BADDB;
    }
    return ERROR_SUCCESS;
}

} // namespace

bool HiveIsReadOnly(Root root) {
    std::string path = HivePath(root);
    std::string target;
    if (!FollowLinks(path, target))
        target = path;
    bool exists = false;
    if (DeniesOwnerWrite(target, exists) || FolderDeniesOwnerWrite(ParentOf(target)))
        return true;
    // The lock file lies beside the link itself.
    return target != path && FolderDeniesOwnerWrite(ParentOf(path));
}

std::string HiveFileProblem(Root root) {
    struct stat info {};
    std::string path = HivePath(root);
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? std::string()
                               : "cannot be read (" + std::string(strerror(errno)) + ")";
    return S_ISREG(info.st_mode) ? std::string() : NotAFileProblem(info.st_mode);
}

LONG LoadHive(Root root, Key& out) {
    return LoadHiveAt(root, HivePath(root), out);
}

std::optional<std::string> HiveDamage(Root root) {
    Key ignored;
    if (LoadHive(root, ignored) != ERROR_BADDB)
        return std::nullopt;
    return DamageFound()[HivePath(root)];
}

LONG ChangeHive(Root root, const std::function<LONG(Key& hiveRoot, bool& changed)>& change) {
    if (HiveIsReadOnly(root))
        return ERROR_ACCESS_DENIED;
    std::string path = HivePath(root);
    if (!MakeFolders(ParentOf(path)))
        return ERROR_CANTWRITE;
    HiveLock lock(path);
    if (!lock.Held())
        return ERROR_CANTWRITE;
    Key hiveRoot;
    if (LONG rc = LoadHiveAt(root, path, hiveRoot); rc != ERROR_SUCCESS)
        return rc;
    bool changed = false;
    if (LONG rc = change(hiveRoot, changed); rc != ERROR_SUCCESS || !changed)
        return rc;
    return WriteHive(path, SerializeHive(hiveRoot, RootName(root)));
}

} // namespace hive
