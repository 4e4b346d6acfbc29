// How the file calls find the Linux entry a Windows-style name means: "\" and "/" both
// separate, and each part of the path matches without regard to case, as Windows compares
// names (name_case.h), when no entry has exactly that name.
#pragma once

#include <dirent.h>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace brisvane::platform::posix {

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The listing order: by upper-cased UTF-16 code units as NTFS orders names, ties broken byte
// by byte so that the same names always come out the same way.
bool ListingLess(std::string_view a, std::string_view b);

enum class Lookup {
    Found,         // `path` names an existing entry
    LastMissing,   // the folder exists, the last part does not; `path` is where it would go
    FolderMissing, // a folder on the way is missing or is not a folder
};

struct ResolvedPath {
    Lookup lookup = Lookup::FolderMissing;
    std::string path;      // the Linux path, relative names still relative to the current folder
    std::string lastPart;  // the last part of the name as given ("" for "/")
    int error = 0;         // errno of the failed step when not Found
    struct stat status {}; // lstat of the entry when Found
};

// An empty name resolves to FolderMissing. Trailing separators are ignored.
ResolvedPath ResolvePath(std::string_view name);

// The entry of `folder` ("" for the current folder) whose name equals `name` without regard to
// case: the exact name when it exists, else the first match in listing order. Empty when none.
std::string FindNameInFolder(const std::string& folder, std::string_view name);

// The same among the entries an open listing has still to give.
std::string FindNameAmong(DIR* dir, std::string_view name);

} // namespace brisvane::platform::posix
