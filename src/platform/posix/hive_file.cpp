// Where the hive files lie, how a version is read and parsed, and how a change is written:
// under the lock, through the one atomic replace of file_io.h.
#include "platform/posix/hive_file.h"

#include "platform/posix/file_io.h"
#include "platform/posix/hive_cache.h"
#include "platform/posix/hive_halves.h"
#include "platform/posix/hive_one_key.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text.h"

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

namespace brisvane::platform::hive {

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

// Only a regular file is read, and what is not one is named on stderr.
LONG ReadWhole(const std::string& path, std::string& content, bool& missing,
               FileIdentity* identity = nullptr) {
    struct stat info {};
    const posix::FileRead read = posix::ReadRegularFile(path, content, &info);
    missing = read == posix::FileRead::Missing;
    switch (read) {
    case posix::FileRead::Read:
        if (identity)
            *identity = IdentityOf(info);
        return ERROR_SUCCESS;
    case posix::FileRead::Missing:
        return ERROR_SUCCESS;
    case posix::FileRead::NotRegular:
        ReportNotAFile(path, info.st_mode);
        break;
    case posix::FileRead::TooLarge: // not asked for: no size limit is given
    case posix::FileRead::Failed:
        break;
    }
    return ERROR_CANTREAD;
}

bool MakeFolders(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (path != "/" && !MakeFolders(ParentOf(path)))
        return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// The tree's text replaces the hive at once, written as it is made (beside its target when the
// hive is a link, which stays one). Only this process's writers are kept apart by the lock, so
// the temporary file can have a fixed name. written tells the new file's identity and a time
// before it took the hive's place.
LONG WriteHive(const std::string& path, const Key& tree, std::string_view rootName,
               FileIdentity& written, timespec& placedAfter) {
    std::string target;
    if (!FollowLinks(path, target))
        return ERROR_CANTWRITE;
    posix::ReplaceRules rules;
    rules.temporary = posix::TemporaryName::Fixed;
    rules.newFileMode = 0600;
    posix::ReplacedFile replaced;
    const auto write = [&](int fd) {
        return SerializeHiveTo(tree, rootName,
                               [fd](std::string_view text) { return posix::WriteAll(fd, text); });
    };
    if (posix::ReplaceFile(target, write, rules, &replaced) != posix::ReplaceOutcome::Done)
        return ERROR_CANTWRITE;
    written = IdentityOf(replaced.status);
    placedAfter = replaced.before;
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

// Reads a hive's text through parse and hands its edits to apply, in the order its faults are
// named: syntax faults come before keys of the other root, and those before edits the hive
// cannot take, as a reader going through the file in turn would find them.
template <typename Parse, typename Apply>
std::optional<ParseError> CheckedEdits(Root root, const Parse& parse, Apply& apply) {
    EditFaults faults;
    std::optional<ParseError> error = parse([&](const RegEdit& edit) -> std::optional<ParseError> {
        faults.Take(edit, RootName(root), apply);
        return std::nullopt;
    });
    return error ? error : faults.First();
}

// Parses content into a new settled tree.
LONG ParseHive(Root root, const std::string& path, std::string_view content,
               std::shared_ptr<Key>& tree) {
    auto parsed = std::make_shared<Key>();
    EditApplier applier(RootName(root), *parsed);
    const auto parse = [&](const EditSink& sink) { return ParseRegDocument(content, sink); };
    if (std::optional<ParseError> error = CheckedEdits(root, parse, applier)) {
        ReportDamage(path, *error);
        tree.reset();
        return ERROR_BADDB;
    }
    parsed->Settle();
    tree = std::move(parsed);
    return ERROR_SUCCESS;
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
        // A hive written by this process keeps no copy of its text: it is read again.
        std::shared_ptr<const std::string> content = out.content;
        bool missing = out.identity.inode == 0;
        if (!content && !missing) {
            auto read = std::make_shared<std::string>();
            if (LONG rc = ReadWhole(path, *read, missing); rc != ERROR_SUCCESS)
                return rc;
            content = std::move(read);
        }
        if (!content || missing)
            out.tree = std::make_shared<Key>();
        else if (LONG rc = ParseHive(root, path, *content, out.tree); rc != ERROR_SUCCESS)
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

LONG ReadHiveKey(Root root, const std::vector<std::string>& path, std::shared_ptr<const Key>& tree,
                 const std::optional<std::string>& onlyValue) {
    const std::string file = HivePath(root);
    auto parsed = std::make_shared<Key>();
    posix::Descriptor hive;
    struct stat info {};
    switch (posix::OpenRegularFile(file, hive, &info)) {
    case posix::FileRead::Read:
        break;
    case posix::FileRead::Missing:
        tree = std::move(parsed);
        return path.empty() ? ERROR_SUCCESS : static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    case posix::FileRead::NotRegular:
        ReportNotAFile(file, info.st_mode);
        return ERROR_CANTREAD;
    default:
        return ERROR_CANTREAD;
    }
    OneKeyApplier applier(RootName(root), path, *parsed, onlyValue);
    std::optional<ParseError> error;
    bool failed = false;
    if (auto halves = ReadKeyInHalves(hive.Get(), static_cast<std::uint64_t>(info.st_size),
                                      RootName(root), path, onlyValue, applier)) {
        error = halves->fault;
        failed = halves->failed;
    } else {
        const ByteSource source = [&](char* buffer, std::size_t size) {
            return posix::ReadSome(hive.Get(), buffer, size, failed);
        };
        const auto parse = [&](const EditSink& sink) { return ParseRegStream(source, sink); };
        error = CheckedEdits(root, parse, applier);
    }
    if (failed)
        return ERROR_CANTREAD;
    if (error) {
        ReportDamage(file, *error);
        return ERROR_BADDB;
    }
    parsed->Settle();
    const bool found = parsed->Find(path) != nullptr;
    tree = std::move(parsed);
    return found ? ERROR_SUCCESS : static_cast<LONG>(ERROR_FILE_NOT_FOUND);
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
    // Settled before it is written and shared again. The text goes to the file as it is made,
    // and the old text is let go first: a large hive is never held twice.
    hive.tree->Settle();
    hive.content.reset();
    if (rc = WriteHive(path, *hive.tree, RootName(root), hive.identity, hive.readAt);
        rc != ERROR_SUCCESS)
        return rc;
    Cache().Keep(root, std::move(hive));
    return ERROR_SUCCESS;
}

} // namespace brisvane::platform::hive
