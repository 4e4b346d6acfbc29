#include "platform/whole_file.h"

#include "platform/posix/path_lookup.h"
#include "platform/posix/whole_file_seam.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
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

void CopyDosAttrib(const std::string& from, int toFd) {
    char buffer[256];
    const ssize_t size = getxattr(from.c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
    if (size >= 0)
        fsetxattr(toFd, "user.DOSATTRIB", buffer, static_cast<std::size_t>(size), 0);
}

} // namespace

namespace posix {

WholeFileWriter SetWholeFileWriter(WholeFileWriter writer) {
    return g_writer.exchange(writer);
}

} // namespace posix

bool ReadWholeFile(const std::string& name, std::string& content) {
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
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            content.clear();
            return false;
        }
        if (got == 0)
            break;
        content.append(buffer.data(), static_cast<std::size_t>(got));
    }
    close(fd);
    return true;
}

ReplaceResult ReplaceWholeFile(const std::string& name, const std::string& content) {
    std::string path;
    bool exists = false;
    if (!TargetOf(name, path, exists))
        return ReplaceResult::CannotCreate;

    const std::string folder = FolderOf(path);
    struct stat folderStat;
    // Decided from the mode bits, as a user without the rights would meet it: root may write
    // anything.
    if (stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode) ||
        !(folderStat.st_mode & S_IWUSR))
        return ReplaceResult::CannotCreate;
    mode_t mode = 0666 & ~[] {
        const mode_t mask = umask(0);
        umask(mask);
        return mask;
    }();
    if (exists) {
        struct stat old;
        if (stat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode) || !(old.st_mode & S_IWUSR))
            return ReplaceResult::CannotCreate;
        mode = old.st_mode & 07777;
    }

    std::string temporary = folder + "/." + NameOf(path) + ".XXXXXX";
    std::vector<char> pattern(temporary.begin(), temporary.end());
    pattern.push_back('\0');
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return ReplaceResult::CannotCreate;
    temporary = pattern.data();

    bool written = WriteAll(fd, content) && fchmod(fd, mode) == 0;
    if (written && exists)
        CopyDosAttrib(path, fd);
    written = written && fsync(fd) == 0;
    if (close(fd) != 0 || !written) {
        unlink(temporary.c_str());
        return ReplaceResult::WriteFailed;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return ReplaceResult::CannotCreate;
    }
    // Make the rename itself durable.
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return ReplaceResult::Replaced;
}

} // namespace brisvane::platform
