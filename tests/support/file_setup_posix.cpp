#include "platform/posix/whole_file_seam.h"
#include "support/file_setup.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testing_support {

namespace {

constexpr std::uint32_t kReadOnly = 0x01;
constexpr std::uint32_t kHiddenAndSystem = 0x06;

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + path);
}

bool g_wroteOnce = false;

ssize_t WriteThenRunOutOfSpace(int fd, const void* data, size_t size) {
    if (!g_wroteOnce && size > 3) {
        g_wroteOnce = true;
        return write(fd, data, 3);
    }
    errno = ENOSPC;
    return -1;
}

} // namespace

void SetDosAttributes(const std::string& path, std::uint32_t attributes) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        Fail("cannot look at", path);
    const mode_t mode = st.st_mode & 07777;
    mode_t wanted = mode;
    if (!S_ISDIR(st.st_mode))
        wanted = (attributes & kReadOnly) ? (mode & ~0222) : (mode | S_IWUSR);
    // The kernel refuses a user attribute on a file its owner cannot write (root aside), so
    // the attribute is written while the owner may write, and the mode set after.
    if (!(mode & S_IWUSR) && chmod(path.c_str(), mode | S_IWUSR) != 0)
        Fail("cannot change the mode of", path);
    char text[8];
    const int length = std::snprintf(text, sizeof text, "0x%x", attributes & kHiddenAndSystem);
    if (setxattr(path.c_str(), "user.DOSATTRIB", text, static_cast<size_t>(length), 0) != 0)
        Fail("cannot set user.DOSATTRIB on", path);
    if (chmod(path.c_str(), wanted) != 0)
        Fail("cannot change the mode of", path);
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
    const std::string made = link + ".new";
    return symlink(target.c_str(), made.c_str()) == 0 && rename(made.c_str(), link.c_str()) == 0;
}

bool SwapFolderForLink(const std::string& path, const std::string& target) {
    return rename(path.c_str(), (path + ".aside").c_str()) == 0 &&
           symlink(target.c_str(), path.c_str()) == 0;
}

bool RemoveFolderAsUnix(const std::string&) {
    return false;
}

SwapFolderBeforeEntering::SwapFolderBeforeEntering(const std::string&) {}
SwapFolderBeforeEntering::~SwapFolderBeforeEntering() = default;

OtherFileSystemFolder::OtherFileSystemFolder() {
    char pattern[] = "/dev/shm/brisvane-test-XXXXXX";
    if (!mkdtemp(pattern)) {
        m_whyNone = std::string("no second file system to test with: cannot make a folder in "
                                "/dev/shm (") +
                    std::strerror(errno) + ")";
        return;
    }
    struct stat here, there;
    std::error_code ignored;
    const fs::path temp = fs::temp_directory_path(ignored);
    if (stat(temp.c_str(), &here) == 0 && stat(pattern, &there) == 0 &&
        here.st_dev != there.st_dev) {
        m_path = pattern;
        return;
    }
    rmdir(pattern);
    m_whyNone = "no second file system to test with: /dev/shm is on the same file system as the "
                "temporary folder " +
                temp.string();
}

OtherFileSystemFolder::~OtherFileSystemFolder() {
    std::error_code ignored;
    if (!m_path.empty())
        fs::remove_all(m_path, ignored);
}

FullDiskForWholeFiles::FullDiskForWholeFiles() {
    g_wroteOnce = false;
    brisvane::platform::posix::SetWholeFileWriter(WriteThenRunOutOfSpace);
    m_installed = true;
}

FullDiskForWholeFiles::~FullDiskForWholeFiles() {
    brisvane::platform::posix::SetWholeFileWriter(nullptr);
}

} // namespace testing_support
