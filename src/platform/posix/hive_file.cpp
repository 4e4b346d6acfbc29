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

bool SameTime(const timespec& one, const timespec& other) {
    return one.tv_sec == other.tv_sec && one.tv_nsec == other.tv_nsec;
}

// What tells one version of a hive file from another: every write of ours makes a new inode,
// and a change made in place moves the inode change time, which, unlike the modification time
// (`touch -d`, `cp -p`, `rsync -t`), no program can set back.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               SameTime(modified, other.modified) && SameTime(changed, other.changed);
    }
};

FileIdentity IdentityOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

// Only a regular file is read, and opening never waits: a named pipe would block the program
// for ever, and a device has no business being a hive.
LONG ReadWhole(const std::string& path, std::string& content, bool& missing,
               FileIdentity* identity = nullptr) {
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
    if (identity)
        *identity = IdentityOf(info);
    content.clear();
    content.reserve(static_cast<std::size_t>(info.st_size));
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
// that the rename itself survives. written tells the new file's identity and a time before it
// took the hive's place.
LONG WriteHive(const std::string& path, const std::string& content, FileIdentity& written,
               timespec& placedAfter) {
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
    clock_gettime(CLOCK_REALTIME, &placedAfter);
    if (!ok || rename(temporary.c_str(), target.c_str()) != 0) {
        close(fd);
        unlink(temporary.c_str());
        return ERROR_CANTWRITE;
    }
    // Only now: the rename itself moves the file's change time.
    if (fstat(fd, &info) == 0)
        written = IdentityOf(info);
    else
        written = {};
    close(fd);
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

// Parses content into a new settled tree; syntax faults come before keys of the other root,
// and those before edits the hive cannot take, as a reader going through the file in turn
// would find them.
LONG ParseHive(Root root, const std::string& path, std::string_view content,
               std::shared_ptr<Key>& tree) {
    auto parsed = std::make_shared<Key>();
    EditApplier applier(RootName(root), *parsed);
    std::optional<ParseError> outside;
    std::optional<ParseError> refused;
    std::optional<ParseError> error =
        ParseRegDocument(content, [&](const RegEdit& edit) -> std::optional<ParseError> {
            if (!outside && !NamesEqual(edit.rootName, RootName(root)))
                outside = ParseError{edit.line, "a key outside " + std::string(RootName(root))};
            if (!outside && !refused)
                refused = applier.Apply(edit);
            return std::nullopt;
        });
    if (!error)
        error = outside ? outside : refused;
    if (error) {
        ReportDamage(path, *error);
        tree.reset();
        return ERROR_BADDB;
    }
    parsed->Settle();
    tree = std::move(parsed);
    return ERROR_SUCCESS;
}

// A change made in place after the read is stamped with the kernel's clock of that moment,
// which lags the clock read here by up to a tick and is cut to the file system's granularity.
// So while the change time lies within that margin of the read, or after it, a later change may
// carry the very same time, and the file must be read again; once past it, every change shows.
// A file system that keeps whole seconds (or two, as FAT) gets the wider margin.
bool ChangedTooCloseToReading(const timespec& changed, const timespec& readAt) {
    const long long margin = changed.tv_nsec == 0 ? 2'000'000'000LL : 20'000'000LL;
    const long long nanos =
        (static_cast<long long>(readAt.tv_sec) - changed.tv_sec) * 1'000'000'000LL +
        (readAt.tv_nsec - changed.tv_nsec);
    return nanos <= margin;
}

// The last version of each hive parsed or written by this process.
struct ParsedHive {
    std::string path;
    FileIdentity identity;
    // Its bytes, to tell apart two versions with the same identity; null for a missing file.
    std::shared_ptr<const std::string> content;
    timespec readAt{};           // a time at which the file was known to hold content
    LONG result = ERROR_SUCCESS; // ERROR_BADDB for a damaged file
    std::shared_ptr<Key> tree;   // settled; null when damaged
};

class HiveCache {
public:
    // The parsed version for this path and identity, when it can be trusted without reading the
    // file again.
    std::optional<ParsedHive> Trusted(Root root, const std::string& path,
                                      const FileIdentity& identity) {
        std::lock_guard lock(m_mutex);
        const std::optional<ParsedHive>& slot = m_slots[Index(root)];
        if (!slot || slot->path != path || !(slot->identity == identity) ||
            ChangedTooCloseToReading(identity.changed, slot->readAt))
            return std::nullopt;
        return slot;
    }

    // Takes the slot out; the caller may change its tree only if nobody else holds it.
    std::optional<ParsedHive> Take(Root root, const std::string& path) {
        std::lock_guard lock(m_mutex);
        std::optional<ParsedHive> slot = std::move(m_slots[Index(root)]);
        m_slots[Index(root)].reset();
        if (slot && slot->path != path)
            slot.reset();
        return slot;
    }

    // The slot for path, for comparing a fresh read with.
    std::optional<ParsedHive> Peek(Root root, const std::string& path) {
        std::lock_guard lock(m_mutex);
        const std::optional<ParsedHive>& slot = m_slots[Index(root)];
        if (!slot || slot->path != path)
            return std::nullopt;
        return slot;
    }

    void Keep(Root root, ParsedHive parsed) {
        std::lock_guard lock(m_mutex);
        m_slots[Index(root)] = std::move(parsed);
    }

private:
    static int Index(Root root) { return root == Root::CurrentUser ? 0 : 1; }

    std::mutex m_mutex;
    std::optional<ParsedHive> m_slots[2];
};

HiveCache& Cache() {
    // Never destroyed: a program ending with a large hive parsed need not take the tree apart.
    static HiveCache& cache = *new HiveCache;
    return cache;
}

// The hive at path as it is now, parsed once per version. A missing file is an empty hive.
LONG ParsedNow(Root root, const std::string& path, ParsedHive& out) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT)
            return ERROR_CANTREAD;
        out = ParsedHive{path, {}, {}, {}, ERROR_SUCCESS, std::make_shared<Key>()};
        return ERROR_SUCCESS;
    }
    if (!S_ISREG(info.st_mode)) {
        ReportNotAFile(path, info.st_mode);
        return ERROR_CANTREAD;
    }
    if (auto trusted = Cache().Trusted(root, path, IdentityOf(info))) {
        out = std::move(*trusted);
        return ERROR_SUCCESS;
    }
    ParsedHive fresh;
    fresh.path = path;
    clock_gettime(CLOCK_REALTIME, &fresh.readAt);
    bool missing = false;
    auto content = std::make_shared<std::string>();
    if (LONG rc = ReadWhole(path, *content, missing, &fresh.identity); rc != ERROR_SUCCESS)
        return rc;
    fresh.content = content;
    if (missing) {
        out = ParsedHive{path, {}, {}, {}, ERROR_SUCCESS, std::make_shared<Key>()};
        return ERROR_SUCCESS;
    }
    // Read again only because its time was too recent to trust: the same bytes need no parse.
    std::optional<ParsedHive> known = Cache().Peek(root, path);
    if (known && known->content && *known->content == *content) {
        fresh.result = known->result;
        fresh.tree = std::move(known->tree);
    } else {
        fresh.result = ParseHive(root, path, *content, fresh.tree);
    }
    out = fresh;
    Cache().Keep(root, std::move(fresh));
    return ERROR_SUCCESS;
}

// A tree of the hive that only the caller holds, to change.
LONG TakeForChange(Root root, const std::string& path, ParsedHive& out) {
    if (LONG rc = ParsedNow(root, path, out); rc != ERROR_SUCCESS)
        return rc;
    if (out.result != ERROR_SUCCESS)
        return out.result;
    // The cache lets go of it; someone still reading it keeps their copy and this one is made
    // afresh.
    std::optional<ParsedHive> taken = Cache().Take(root, path);
    taken.reset();
    if (out.tree.use_count() > 1) {
        if (!out.content)
            out.tree = std::make_shared<Key>();
        else if (LONG rc = ParseHive(root, path, *out.content, out.tree); rc != ERROR_SUCCESS)
            return rc;
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

LONG ReadHive(Root root, std::shared_ptr<const Key>& out) {
    ParsedHive parsed;
    if (LONG rc = ParsedNow(root, HivePath(root), parsed); rc != ERROR_SUCCESS)
        return rc;
    out = std::move(parsed.tree);
    return parsed.result;
}

std::optional<std::string> HiveDamage(Root root) {
    std::shared_ptr<const Key> ignored;
    if (ReadHive(root, ignored) != ERROR_BADDB)
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
    ParsedHive hive;
    if (LONG rc = TakeForChange(root, path, hive); rc != ERROR_SUCCESS)
        return rc;
    bool changed = false;
    LONG rc = change(*hive.tree, changed);
    if (!changed) {
        // Untouched, it still is what the file holds.
        if (hive.content)
            Cache().Keep(root, std::move(hive));
        return rc;
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    // Writing lists every key, which settles the whole tree before it is shared again.
    // Most changes leave the size about as it was.
    const std::size_t expected = hive.content ? hive.content->size() + hive.content->size() / 8 : 0;
    auto content =
        std::make_shared<const std::string>(SerializeHive(*hive.tree, RootName(root), expected));
    if (rc = WriteHive(path, *content, hive.identity, hive.readAt); rc != ERROR_SUCCESS)
        return rc;
    hive.content = std::move(content);
    Cache().Keep(root, std::move(hive));
    return ERROR_SUCCESS;
}

} // namespace hive
