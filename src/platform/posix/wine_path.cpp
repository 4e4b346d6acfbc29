// The Windows path of a prefix as the Linux path Wine opens. What comes out decides which
// folders get cleaned, so every doubt refuses: a path leading out of drive_c, a link leading
// nowhere, a folder that cannot be read to look for the name in another case.
#include "platform/posix/name_case.h"
#include "platform/posix/path_lookup.h"
#include "platform/posix/wine_prefixes.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>

namespace brisvane::platform::wine {

namespace {

struct DrivePath {
    char letter = 0; // lower case, as Wine names its dosdevices links
    std::vector<std::string> parts;
};

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// "X:", "X:\..." or "X:/..." with "." and ".." taken away as Windows does, never above the
// root. A name ending in a dot or a space is refused: Windows would open it without them.
std::optional<DrivePath> ParseDrivePath(std::string_view path, std::string& reason) {
    if (path.find('\0') != std::string_view::npos) {
        reason = "holds a NUL character";
        return std::nullopt;
    }
    const char first = path.empty() ? 0 : path[0];
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (!letter || path.size() < 2 || path[1] != ':' ||
        (path.size() > 2 && !IsSeparator(path[2]))) {
        reason = "is not a full path on a drive";
        return std::nullopt;
    }
    DrivePath drive;
    drive.letter = static_cast<char>(first | 0x20);
    std::size_t start = 2;
    while (start < path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::string_view part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!drive.parts.empty())
                drive.parts.pop_back();
            continue;
        }
        if (part.back() == '.' || part.back() == ' ') {
            reason = "has a name ending in a dot or a space";
            return std::nullopt;
        }
        drive.parts.emplace_back(part);
    }
    return drive;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::optional<std::string> RealPath(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real)
        return std::nullopt;
    std::string result(real);
    std::free(real);
    return result;
}

enum class Step { Found, Missing, Failed };

// The entry of the real folder `folder` that `part` means: the exact name, else the first
// entry equal to it without regard to case. Failed when the folder cannot be looked in.
Step FindPart(const std::string& folder, const std::string& part, std::string& name) {
    struct stat info {};
    if (lstat(Join(folder, part).c_str(), &info) == 0) {
        name = part;
        return Step::Found;
    }
    if (errno != ENOENT)
        return Step::Failed;
    if (!posix::MayHaveOtherSpellings(part))
        return Step::Missing;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return Step::Failed;
    errno = 0;
    name = posix::FindNameAmong(dir, part);
    const int error = errno;
    closedir(dir);
    if (!name.empty())
        return Step::Found;
    return error == 0 ? Step::Missing : Step::Failed;
}

bool Inside(const std::string& path, const std::string& root) {
    if (path.compare(0, root.size(), root) != 0)
        return false;
    return path.size() == root.size() || path[root.size()] == '/';
}

std::string Refused(std::string* why, std::string_view windowsPath, const std::string& reason) {
    if (why)
        *why = "\"" + std::string(windowsPath) + "\" " + reason;
    return {};
}

} // namespace

std::string LinuxPathInPrefix(const std::string& prefix, std::string_view windowsPath,
                              std::string* why) {
    std::string reason;
    const std::optional<DrivePath> drive = ParseDrivePath(windowsPath, reason);
    if (!drive)
        return Refused(why, windowsPath, reason);
    const std::string letter = std::string(1, drive->letter) + ":";
    const std::string link = prefix + "/dosdevices/" + letter;
    struct stat info {};
    if (lstat(link.c_str(), &info) != 0)
        return Refused(why, windowsPath, "is on drive " + letter + ", which the prefix lacks");
    std::optional<std::string> current = RealPath(link);
    if (!current)
        return Refused(why, windowsPath, "is on drive " + letter + ", which leads nowhere");
    const std::optional<std::string> root = RealPath(prefix + "/drive_c");
    if (!root || *root == "/")
        return Refused(why, windowsPath, "is in a prefix without a drive_c folder of its own");

    std::size_t i = 0;
    for (; i < drive->parts.size(); ++i) {
        const std::string& part = drive->parts[i];
        std::string name;
        const Step step = FindPart(*current, part, name);
        if (step == Step::Missing)
            break;
        if (step == Step::Failed)
            return Refused(why, windowsPath, "cannot be looked up at \"" + part + "\"");
        current = RealPath(Join(*current, name));
        if (!current)
            return Refused(why, windowsPath, "cannot be followed at \"" + part + "\"");
    }
    if (!Inside(*current, *root))
        return Refused(why, windowsPath, "leads outside the prefix's drive_c");

    std::string result = std::move(*current);
    for (; i < drive->parts.size(); ++i)
        result = Join(result, drive->parts[i]);
    if (why)
        why->clear();
    return result;
}

} // namespace brisvane::platform::wine
