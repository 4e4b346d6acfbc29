#include "platform/root_or_home.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisvane::platform {

namespace {

bool SameFolder(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsFolder(const char* path, const struct stat& here) {
    struct stat other {};
    return path && *path && stat(path, &other) == 0 && SameFolder(here, other);
}

} // namespace

bool CurrentFolderIsRootOrHome() {
    struct stat here {};
    struct stat parent {};
    if (stat(".", &here) != 0 || stat("..", &parent) != 0)
        return true;
    // "/" is its own parent; a mount point lies on another device than its parent.
    if (SameFolder(here, parent) || here.st_dev != parent.st_dev)
        return true;
    if (IsFolder(std::getenv("HOME"), here))
        return true;
    const struct passwd* user = getpwuid(getuid());
    return user && IsFolder(user->pw_dir, here);
}

} // namespace brisvane::platform
