// Whole-file reading and the one atomic replace of a file (file_io.h), with the write seam
// tests use to make a write fail part-way (whole_file_seam.h).
#include "platform/posix/file_io.h"

#include "platform/posix/dos_attributes.h"
#include "platform/posix/whole_file_seam.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <random>
#include <unistd.h>
#include <vector>

namespace brisvane::platform::posix {

namespace {

std::atomic<WholeFileWriter> g_writer{nullptr};

ssize_t WriteSome(int fd, const void* data, size_t size) {
    const WholeFileWriter writer = g_writer.load();
    return writer ? writer(fd, data, size) : ::write(fd, data, size);
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

// The stored DOS bits go with the content, whatever their length.
void CopyDosAttrib(int fromFd, int toFd) {
    std::optional<std::string> value;
    if (ReadDosAttribValue(fromFd, value) && value)
        RestoreDosAttrib(toFd, value);
}

// A fresh file beside `name` in `folder`, made there and nowhere else: never an entry that
// was at that name before, nor what a link there leads to.
int CreateTemporaryBeside(int folder, const std::string& name, TemporaryName rule,
                          std::string& temporary) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    if (rule == TemporaryName::Fixed) {
        temporary = name + ".tmp";
        // A temporary file left by a crash, or a link planted in its place, is removed rather
        // than written through.
        if (unlinkat(folder, temporary.c_str(), 0) != 0 && errno != ENOENT)
            return -1;
        return openat(folder, temporary.c_str(), kFlags, 0600);
    }
    static std::mt19937 generator{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(generator()));
        temporary = "." + name + suffix;
        const int fd = openat(folder, temporary.c_str(), kFlags, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The file at `name` in `folder`, opened without following a link and without waiting; -1 with
// missing set when nothing is there. A file its owner may not read is still looked at.
int OpenCurrent(int folder, const std::string& name, bool& missing) {
    int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    missing = fd < 0 && errno == ENOENT;
    return fd;
}

// The mode the new file takes: the old file's, when there is one that may be replaced. Its
// write bit is looked at as a user without the rights would meet it: root may write anything.
bool ModeToKeep(int old, bool missing, const ReplaceRules& rules, mode_t& mode) {
    if (old < 0) {
        mode = rules.newFileMode;
        return missing && !rules.only;
    }
    struct stat st;
    if (fstat(old, &st) != 0 || !S_ISREG(st.st_mode) || !(st.st_mode & S_IWUSR))
        return false;
    if (rules.only && (rules.only->device != st.st_dev || rules.only->inode != st.st_ino))
        return false;
    mode = st.st_mode & 07777;
    return true;
}

} // namespace

WholeFileWriter SetWholeFileWriter(WholeFileWriter writer) {
    return g_writer.exchange(writer);
}

Descriptor::~Descriptor() {
    if (m_fd >= 0)
        close(m_fd);
}

void Descriptor::Reset(int fd) {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
}

bool ReadAll(int fd, std::string& content, std::size_t limit) {
    std::vector<char> buffer(64 * 1024);
    while (content.size() <= limit) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        content.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return true;
}

bool WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t written = WriteSome(fd, data.data() + done, data.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

FileRead OpenRegularFile(const std::string& path, Descriptor& file, struct stat* info) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
    if (info)
        *info = st;
    if (!S_ISREG(st.st_mode))
        return FileRead::NotRegular;
    file.Reset(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0 || fstat(file.Get(), &st) != 0)
        return FileRead::Failed;
    if (info)
        *info = st;
    // It may have been replaced between the look and the open.
    if (!S_ISREG(st.st_mode))
        return FileRead::NotRegular;
    return FileRead::Read;
}

namespace {

// Up to size bytes through readPart(where, left, done), however the reads come.
template <typename ReadPart>
std::size_t ReadUpTo(char* buffer, std::size_t size, bool& failed, const ReadPart& readPart) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = readPart(buffer + done, size - done, done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            failed = true;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return failed ? 0 : done;
}

} // namespace

std::size_t ReadSome(int fd, char* buffer, std::size_t size, bool& failed) {
    return ReadUpTo(buffer, size, failed, [fd](char* where, std::size_t left, std::size_t) {
        return read(fd, where, left);
    });
}

std::size_t ReadSomeAt(int fd, char* buffer, std::size_t size, std::uint64_t offset, bool& failed) {
    return ReadUpTo(buffer, size, failed,
                    [fd, offset](char* where, std::size_t left, std::size_t done) {
                        return pread(fd, where, left, static_cast<off_t>(offset + done));
                    });
}

FileRead ReadRegularFile(const std::string& path, std::string& content, struct stat* info,
                         std::size_t maxSize) {
    content.clear();
    struct stat own {};
    struct stat& st = info ? *info : own;
    Descriptor file;
    if (const FileRead opened = OpenRegularFile(path, file, &st); opened != FileRead::Read)
        return opened;
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize)
        return FileRead::TooLarge;
    content.reserve(static_cast<std::size_t>(st.st_size));
    if (!ReadAll(file.Get(), content, maxSize)) {
        content.clear();
        return FileRead::Failed;
    }
    // It grew while read.
    if (content.size() > maxSize) {
        content.clear();
        return FileRead::TooLarge;
    }
    return FileRead::Read;
}

bool ReadFileOrPipe(const std::string& path, std::string& content) {
    content.clear();
    const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return file.Get() >= 0 && ReadAll(file.Get(), content);
}

ReplaceOutcome ReplaceFile(const std::string& path, std::string_view content,
                           const ReplaceRules& rules, ReplacedFile* replaced) {
    return ReplaceFile(
        path, [content](int fd) { return WriteAll(fd, content); }, rules, replaced);
}

ReplaceOutcome ReplaceFile(const std::string& path, const ContentWriter& write,
                           const ReplaceRules& rules, ReplacedFile* replaced) {
    // From here on the folder is held and every name is looked up in it alone, never through
    // a link: what a link put at the file's name since leads to is never written.
    const Descriptor folder(open(FolderOf(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const std::string name = NameOf(path);
    struct stat folderStat;
    // By its mode bits, as for the file itself.
    if (folder.Get() < 0 || fstat(folder.Get(), &folderStat) != 0 ||
        !(folderStat.st_mode & S_IWUSR))
        return ReplaceOutcome::CannotCreate;
    bool missing = false;
    const Descriptor old(OpenCurrent(folder.Get(), name, missing));
    mode_t mode = 0;
    if (!ModeToKeep(old.Get(), missing, rules, mode))
        return ReplaceOutcome::CannotCreate;

    std::string temporary;
    const Descriptor fresh(CreateTemporaryBeside(folder.Get(), name, rules.temporary, temporary));
    if (fresh.Get() < 0)
        return ReplaceOutcome::CannotCreate;
    bool written = write(fresh.Get()) && fchmod(fresh.Get(), mode) == 0;
    if (written && old.Get() >= 0)
        CopyDosAttrib(old.Get(), fresh.Get());
    if (!written || fsync(fresh.Get()) != 0) {
        unlinkat(folder.Get(), temporary.c_str(), 0);
        return ReplaceOutcome::WriteFailed;
    }
    timespec before{};
    clock_gettime(CLOCK_REALTIME, &before);
    if (renameat(folder.Get(), temporary.c_str(), folder.Get(), name.c_str()) != 0) {
        unlinkat(folder.Get(), temporary.c_str(), 0);
        return ReplaceOutcome::CannotCreate;
    }
    if (replaced) {
        // Only now: the rename itself moves the file's change time.
        replaced->before = before;
        if (fstat(fresh.Get(), &replaced->status) != 0)
            replaced->status = {};
    }
    const Descriptor listing(openat(folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing.Get() >= 0)
        fsync(listing.Get());
    return ReplaceOutcome::Done;
}

} // namespace brisvane::platform::posix
