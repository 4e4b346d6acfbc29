#include "platform/whole_file.h"

#include "platform/posix/path_lookup.h"
#include "platform/posix/whole_file_seam.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace brisvane::platform {

namespace {

std::atomic<posix::WholeFileWriter> g_writer{nullptr};

ssize_t WriteSome(int fd, const void* data, size_t size) {
    const posix::WholeFileWriter writer = g_writer.load();
    return writer ? writer(fd, data, size) : ::write(fd, data, size);
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = WriteSome(fd, content.data() + done, content.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a name means; a symbolic link stands for the file it points at.
bool TargetOf(const std::string& name, std::string& path, bool& exists) {
    const posix::ResolvedPath resolved = posix::ResolvePath(name);
    if (resolved.lookup == posix::Lookup::FolderMissing)
        return false;
    path = resolved.path;
    exists = resolved.lookup == posix::Lookup::Found;
    struct stat st;
    if (exists && lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = realpath(path.c_str(), nullptr);
        if (!real)
            return false;
        path = real;
        std::free(real);
    }
    return true;
}

// The stored DOS bits go with the content, whatever their length.
void CopyDosAttrib(int fromFd, int toFd) {
    constexpr const char* kName = "user.DOSATTRIB";
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = fgetxattr(fromFd, kName, nullptr, 0);
        if (size < 0)
            return;
        std::vector<char> value(static_cast<std::size_t>(size) + 1);
        const ssize_t got = fgetxattr(fromFd, kName, value.data(), value.size());
        if (got >= 0) {
            fsetxattr(toFd, kName, value.data(), static_cast<std::size_t>(got), 0);
            return;
        }
        if (errno != ERANGE)
            return;
    }
}

bool SameFile(const FileIdentity& identity, const struct stat& st) {
    return identity.volume == static_cast<std::uint64_t>(st.st_dev) &&
           identity.index == static_cast<std::uint64_t>(st.st_ino);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// A fresh file beside `name` in `folder`, made there and nowhere else: never an entry that
// was at that name before, nor what a link there leads to.
int CreateTemporaryBeside(int folder, const std::string& name, std::string& temporary) {
    static std::mt19937 generator{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(generator()));
        temporary = "." + name + suffix;
        const int fd = openat(folder, temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

mode_t DefaultFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

namespace posix {

WholeFileWriter SetWholeFileWriter(WholeFileWriter writer) {
    return g_writer.exchange(writer);
}

} // namespace posix

bool ReadWholeFile(const std::string& name, std::string& content, FileIdentity* identity) {
    content.clear();
    const posix::ResolvedPath resolved = posix::ResolvePath(name);
    if (resolved.lookup != posix::Lookup::Found)
        return false;
    // Only a regular file is opened, and the open never waits: a named pipe in its place would
    // otherwise hold the program for ever.
    struct stat st;
    if (stat(resolved.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = open(resolved.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const Descriptor file(fd);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            content.clear();
            return false;
        }
        if (got == 0)
            break;
        content.append(buffer.data(), static_cast<std::size_t>(got));
    }
    if (identity)
        *identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

ReplaceResult ReplaceWholeFile(const std::string& name, const std::string& content,
                               const FileIdentity* expected) {
    std::string path;
    bool exists = false;
    if (!TargetOf(name, path, exists))
        return ReplaceResult::CannotCreate;

    // From here on the folder is held and every name is looked up in it alone, never through
    // a link: what a link put at the file's name since leads to is never written.
    const Descriptor folder(open(FolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const std::string leaf = NameOf(path);
    struct stat folderStat;
    // Decided from the mode bits, as a user without the rights would meet it: root may write
    // anything.
    if (folder.Get() < 0 || fstat(folder.Get(), &folderStat) != 0 ||
        !(folderStat.st_mode & S_IWUSR))
        return ReplaceResult::CannotCreate;
    mode_t mode = DefaultFileMode();
    int oldFd = -1;
    if (exists) {
        oldFd = openat(folder.Get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (oldFd < 0 && errno == EACCES)
            oldFd = openat(folder.Get(), leaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    }
    const Descriptor old(oldFd);
    if (exists) {
        struct stat st;
        if (old.Get() < 0 || fstat(old.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            !(st.st_mode & S_IWUSR) || (expected && !SameFile(*expected, st)))
            return ReplaceResult::CannotCreate;
        mode = st.st_mode & 07777;
    } else if (expected) {
        // The file that was read is gone.
        return ReplaceResult::CannotCreate;
    }

    std::string temporary;
    const int fd = CreateTemporaryBeside(folder.Get(), leaf, temporary);
    if (fd < 0)
        return ReplaceResult::CannotCreate;
    bool written = WriteAll(fd, content) && fchmod(fd, mode) == 0;
    if (written && old.Get() >= 0)
        CopyDosAttrib(old.Get(), fd);
    written = written && fsync(fd) == 0;
    if (close(fd) != 0 || !written) {
        unlinkat(folder.Get(), temporary.c_str(), 0);
        return ReplaceResult::WriteFailed;
    }
    if (renameat(folder.Get(), temporary.c_str(), folder.Get(), leaf.c_str()) != 0) {
        unlinkat(folder.Get(), temporary.c_str(), 0);
        return ReplaceResult::CannotCreate;
    }
    // Make the rename itself durable.
    const Descriptor listing(openat(folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing.Get() >= 0)
        fsync(listing.Get());
    return ReplaceResult::Replaced;
}

} // namespace brisvane::platform
