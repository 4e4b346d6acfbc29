// Whether a prefix's wineserver runs: the server holds a write lock on the `lock` file of its
// folder for as long as it runs. Asked before files of the prefix change under a running Wine,
// so whatever cannot be told counts as running.
#include "platform/posix/wine_prefixes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisvane::platform::wine {

namespace {

// Opened without following a link at the end, and without waiting should it be a FIFO.
int OpenForLooking(const std::string& path) {
    return open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

bool Missing(int error) {
    return error == ENOENT || error == ENOTDIR;
}

// True when another process holds a lock on <folder>/lock, or when that cannot be told.
bool LockHeld(const std::string& folder) {
    const int fd = OpenForLooking(folder + "/lock");
    if (fd < 0)
        return !Missing(errno);
    bool held = true;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        struct flock query {};
        query.l_type = F_WRLCK;
        query.l_whence = SEEK_SET;
        query.l_start = 0;
        query.l_len = 0;
        if (fcntl(fd, F_GETLK, &query) == 0)
            held = query.l_type != F_UNLCK;
    }
    close(fd);
    return held;
}

enum class Recorded { None, Name, Unreadable };

// The name of the temporary folder Debian's Wine wrote into <prefix>/wineserver. Only a plain
// name counts: a path there could send the look anywhere.
Recorded RecordedFolderName(const std::string& prefix, std::string& name) {
    const int fd = OpenForLooking(prefix + "/wineserver");
    if (fd < 0)
        return Missing(errno) ? Recorded::None : Recorded::Unreadable;
    constexpr std::size_t kLongest = 255;
    char buffer[kLongest + 1];
    std::size_t size = 0;
    bool failed = false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        failed = true;
    while (!failed && size < sizeof buffer) {
        const ssize_t got = read(fd, buffer + size, sizeof buffer - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    close(fd);
    if (failed)
        return Recorded::Unreadable;
    name.assign(buffer, size);
    const bool plain = !name.empty() && size <= kLongest && name != "." && name != ".." &&
                       name.find_first_of(std::string("/\0", 2)) == std::string::npos;
    return plain ? Recorded::Name : Recorded::None;
}

} // namespace

bool WineServerRunning(const std::string& prefix) {
    struct stat info {};
    if (stat(prefix.c_str(), &info) != 0)
        return !Missing(errno);
    char server[64];
    std::snprintf(server, sizeof server, "server-%llx-%llx",
                  static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));

    std::vector<std::string> folders{"/tmp/.wine-" + std::to_string(getuid())};
    std::string name;
    switch (RecordedFolderName(prefix, name)) {
    case Recorded::Unreadable:
        return true;
    case Recorded::Name:
        if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/')
            folders.push_back(std::string(tmp) + "/" + name);
        folders.push_back("/tmp/" + name);
        break;
    case Recorded::None:
        break;
    }
    for (const std::string& folder : folders) {
        if (LockHeld(folder + "/" + server))
            return true;
    }
    return false;
}

} // namespace brisvane::platform::wine
