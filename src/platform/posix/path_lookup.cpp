#include "platform/posix/path_lookup.h"

#include "platform/posix/name_case.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace brisvane::platform::posix {

namespace {

std::string Join(const std::string& folder, std::string_view name) {
    if (folder.empty())
        return std::string(name);
    if (folder.back() == '/')
        return folder + std::string(name);
    return folder + "/" + std::string(name);
}

std::vector<std::string_view> SplitParts(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return NamesEqualIgnoringCase(a, b);
}

bool ListingLess(std::string_view a, std::string_view b) {
    return NameListsBefore(a, b);
}

std::string FindNameInFolder(const std::string& folder, std::string_view name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    std::string best = FindNameAmong(dir, name);
    closedir(dir);
    return best;
}

std::string FindNameAmong(DIR* dir, std::string_view name) {
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view candidate(entry->d_name);
        if (!EqualsIgnoreCase(candidate, name))
            continue;
        if (candidate == name) {
            best = candidate;
            break;
        }
        if (best.empty() || ListingLess(candidate, best))
            best = candidate;
    }
    return best;
}

ResolvedPath ResolvePath(std::string_view name) {
    ResolvedPath result;
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty()) {
        result.error = ENOENT;
        return result;
    }
    const std::size_t slash = path.rfind('/');
    result.lastPart = slash == std::string::npos ? path : path.substr(slash + 1);

    // The common case: every part has exactly the case on disk.
    struct stat& st = result.status;
    if (lstat(path.c_str(), &st) == 0) {
        result.lookup = Lookup::Found;
        result.path = std::move(path);
        return result;
    }
    if (errno != ENOENT) {
        result.error = errno;
        return result;
    }

    std::string resolved = path.front() == '/' ? "/" : "";
    const std::vector<std::string_view> parts = SplitParts(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        std::string candidate = Join(resolved, part);
        if (lstat(candidate.c_str(), &st) == 0) {
            resolved = std::move(candidate);
            continue;
        }
        const int error = errno;
        if (error == ENOENT) {
            // A name without letters has no other spelling; no need to read the folder.
            const std::string match =
                MayHaveOtherSpellings(part) ? FindNameInFolder(resolved, part) : "";
            if (!match.empty()) {
                resolved = Join(resolved, match);
                continue;
            }
            if (i + 1 == parts.size()) {
                result.lookup = Lookup::LastMissing;
                result.path = std::move(candidate);
                result.error = ENOENT;
                return result;
            }
        }
        result.error = error;
        return result;
    }
    // The last part may have matched by another spelling, not yet looked at.
    if (lstat(resolved.c_str(), &st) != 0) {
        result.error = errno;
        return result;
    }
    result.lookup = Lookup::Found;
    result.path = std::move(resolved);
    return result;
}

} // namespace brisvane::platform::posix
