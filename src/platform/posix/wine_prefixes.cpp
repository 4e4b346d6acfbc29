#include "platform/posix/wine_prefixes.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace brisvane::platform::wine {

namespace {

bool IsKind(const std::string& path, mode_t kind) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == kind;
}

// A setting that names a folder counts only as a full path; a relative one would depend on
// whichever folder the program happens to run in.
std::string FullPathSetting(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/')
        return {};
    std::string path(value);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string HomeFolder() {
    std::string home = FullPathSetting("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The entries of `folder` by name, so that the list comes out the same on every run.
std::vector<std::string> EntriesOf(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(Join(folder, name));
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class PrefixList {
public:
    void Add(const std::string& path) {
        struct stat info {};
        if (path.empty() || stat(path.c_str(), &info) != 0 || !IsWinePrefix(path))
            return;
        if (m_seen.insert({info.st_dev, info.st_ino}).second)
            m_paths.push_back(path);
    }
    void AddEntriesOf(const std::string& folder) {
        if (folder.empty())
            return;
        for (const std::string& path : EntriesOf(folder))
            Add(path);
    }
    std::vector<std::string> Take() { return std::move(m_paths); }

private:
    std::set<std::pair<dev_t, ino_t>> m_seen;
    std::vector<std::string> m_paths;
};

} // namespace

bool IsWinePrefix(const std::string& folder) {
    return !folder.empty() && IsKind(folder, S_IFDIR) && IsKind(folder + "/drive_c", S_IFDIR) &&
           IsKind(folder + "/system.reg", S_IFREG) && IsKind(folder + "/user.reg", S_IFREG);
}

std::vector<std::string> FindWinePrefixes() {
    const std::string home = HomeFolder();
    const auto inHome = [&home](const char* name) {
        return home.empty() ? std::string() : Join(home, name);
    };
    std::string data = FullPathSetting("XDG_DATA_HOME");
    if (data.empty())
        data = inHome(".local/share");
    std::string winetricks = FullPathSetting("WINE_PREFIXES");
    if (winetricks.empty() && !data.empty())
        winetricks = Join(data, "wineprefixes");

    PrefixList list;
    list.Add(FullPathSetting("WINEPREFIX"));
    list.Add(inHome(".wine"));
    list.AddEntriesOf(winetricks);
    list.AddEntriesOf(inHome(".PlayOnLinux/wineprefix"));
    list.AddEntriesOf(data.empty() ? std::string() : Join(data, "bottles/bottles"));
    list.AddEntriesOf(inHome(".var/app/com.usebottles.bottles/data/bottles/bottles"));
    list.AddEntriesOf(inHome(".cxoffice"));
    list.AddEntriesOf(inHome(".ies4linux"));
    return list.Take();
}

} // namespace brisvane::platform::wine
