// Reading one Wine prefix: its browser folders from its registry files, mapped to Linux paths,
// and whether it holds browser data at all.
#include "platform/wine_browsers.h"

#include "platform/posix/path_lookup.h"
#include "platform/posix/wine_hive.h"
#include "platform/posix/wine_prefixes.h"

#include <algorithm>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace brisvane::platform {

namespace {

using KeyPath = std::vector<std::string>;

const KeyPath kShellFolders = {"Software",       "Microsoft", "Windows",
                               "CurrentVersion", "Explorer",  "Shell Folders"};
const KeyPath kUserShellFolders = {"Software",       "Microsoft", "Windows",
                                   "CurrentVersion", "Explorer",  "User Shell Folders"};
const KeyPath kVolatileEnvironment = {"Volatile Environment"};
const KeyPath kUserEnvironment = {"Environment"};
const KeyPath kTypedUrls = {"Software", "Microsoft", "Internet Explorer", "TypedURLs"};
const KeyPath kNetscape = {"Software", "Netscape", "Netscape Navigator"};
// Where a 32-bit Netscape's keys land in a 64-bit prefix.
const KeyPath kNetscapeWow = {"Software", "Wow6432Node", "Netscape", "Netscape Navigator"};
const KeyPath kProfileList = {"Software", "Microsoft", "Windows NT", "CurrentVersion",
                              "ProfileList"};
const KeyPath kSystemEnvironment = {"System", "CurrentControlSet", "Control", "Session Manager",
                                    "Environment"};

bool IsBelow(const KeyPath& path, const KeyPath& key) {
    if (path.size() < key.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (!hive::NamesEqual(path[i], key[i]))
            return false;
    }
    return true;
}

// Only the keys discovery reads are kept: a prefix's system.reg runs to megabytes.
wine::WantedKey KeysBelow(std::vector<KeyPath> keys) {
    return [keys = std::move(keys)](const KeyPath& path) {
        for (const KeyPath& key : keys) {
            if (IsBelow(path, key))
                return true;
        }
        return false;
    };
}

struct PrefixRegistry {
    hive::Key user;
    hive::Key system;
    std::string userSid; // whose profile user.reg is, from its root line
};

// user.reg names whose profile it holds on its second line, "REGISTRY\\User\\<SID>".
std::string UserSid(std::string_view text) {
    constexpr std::string_view kRoot = "REGISTRY\\\\User\\\\";
    const std::string_view head = text.substr(0, 512);
    const std::size_t at = head.find(kRoot);
    if (at == std::string_view::npos)
        return {};
    const std::size_t start = at + kRoot.size();
    const std::size_t end = head.find_first_of("\r\n", start);
    return std::string(head.substr(start, end == std::string_view::npos ? end : end - start));
}

std::optional<std::string> TextAt(const hive::Key& root, const KeyPath& key,
                                  std::string_view value) {
    const hive::Key* found = root.Find(key);
    return found ? wine::ValueText(*found, value) : std::nullopt;
}

// The variables a User Shell Folders value may use, the more specific first.
using Variables = std::vector<std::pair<std::string, std::string>>;

void AddStringValues(const hive::Key& root, const KeyPath& key, Variables& variables) {
    const hive::Key* found = root.Find(key);
    if (found == nullptr)
        return;
    for (const hive::Value& value : found->Values()) {
        if (auto text = wine::ValueText(*found, value.name))
            variables.emplace_back(value.name, *text);
    }
}

Variables PrefixVariables(PrefixRegistry& registry) {
    Variables variables;
    if (!registry.userSid.empty()) {
        KeyPath profile = kProfileList;
        profile.push_back(registry.userSid);
        if (auto path = TextAt(registry.system, profile, "ProfileImagePath"))
            variables.emplace_back("USERPROFILE", *path);
    }
    AddStringValues(registry.user, kVolatileEnvironment, variables);
    AddStringValues(registry.user, kUserEnvironment, variables);
    AddStringValues(registry.system, kSystemEnvironment, variables);
    return variables;
}

// %NAME% replaced by the variable's value where there is one; anything else kept as written.
std::string Expand(const std::string& text, const Variables& variables) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('%', at);
        const std::size_t close =
            open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) {
            out.append(text, at);
            break;
        }
        out.append(text, at, open - at);
        const std::string_view name(text.data() + open + 1, close - open - 1);
        const auto known = std::find_if(variables.begin(), variables.end(), [&](const auto& v) {
            return hive::NamesEqual(v.first, name);
        });
        if (known == variables.end()) {
            out.append(text, open, close - open);
            at = close;
            continue;
        }
        out += known->second;
        at = close + 1;
    }
    return out;
}

bool ReadRegistry(const std::string& prefix, PrefixRegistry& registry,
                  std::vector<std::string>& notes) {
    std::string userText;
    const auto user =
        wine::ReadWineHive(prefix + "/user.reg", registry.user,
                           KeysBelow({kShellFolders, kUserShellFolders, kVolatileEnvironment,
                                      kUserEnvironment, kTypedUrls}),
                           &userText);
    const auto system =
        wine::ReadWineHive(prefix + "/system.reg", registry.system,
                           KeysBelow({kNetscape, kNetscapeWow, kProfileList, kSystemEnvironment}));
    registry.userSid = UserSid(userText);
    registry.user.Settle();
    registry.system.Settle();
    if (user != wine::WineHiveRead::Read)
        notes.push_back("its user.reg cannot be read as a Wine registry file");
    if (system != wine::WineHiveRead::Read)
        notes.push_back("its system.reg cannot be read as a Wine registry file");
    return user == wine::WineHiveRead::Read || system == wine::WineHiveRead::Read;
}

// Shell Folders holds the expanded paths; a prefix whose programs never asked for them may have
// only User Shell Folders, whose paths use the prefix's own variables.
std::string ShellFolder(const PrefixRegistry& registry, const Variables& variables,
                        const char* name) {
    if (auto path = TextAt(registry.user, kShellFolders, name); path && !path->empty())
        return *path;
    if (auto path = TextAt(registry.user, kUserShellFolders, name))
        return Expand(*path, variables);
    return {};
}

// Netscape names the current user's (or version's) key in a value of the key above it; a
// 32-bit Netscape in a 64-bit prefix wrote the same keys below Wow6432Node.
std::string NetscapeFolder(const hive::Key& system, const char* naming, const char* below,
                           const char* suffix, const char* value) {
    for (const KeyPath& product : {kNetscape, kNetscapeWow}) {
        KeyPath namingKey = product;
        if (*below != '\0')
            namingKey.push_back(below);
        const auto name = TextAt(system, namingKey, naming);
        if (!name || name->empty())
            continue;
        // The name is joined into the key's path as text, so a "\\" in it goes one key deeper.
        KeyPath named = namingKey;
        for (std::size_t start = 0;;) {
            const std::size_t end = name->find('\\', start);
            named.push_back(name->substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        if (*suffix != '\0')
            named.push_back(suffix);
        if (auto path = TextAt(system, named, value))
            return *path;
    }
    return {};
}

bool HasNetscapeKeys(const hive::Key& system) {
    return system.Find(kNetscape) != nullptr || system.Find(kNetscapeWow) != nullptr;
}

// The Linux path of a folder the prefix names, or empty with a note saying why not.
std::string MapFolder(const std::string& prefix, const std::string& windowsPath, const char* what,
                      std::vector<std::string>& notes) {
    if (windowsPath.empty())
        return {};
    std::string why;
    std::string path = wine::LinuxPathInPrefix(prefix, windowsPath, &why);
    if (path.empty())
        notes.push_back(std::string("the ") + what + " folder is left blank: " + why);
    return path;
}

// Whether a regular file lies in the folder or a folder below it, a few levels deep; the look
// stops early so that a huge tree costs no more than a glance.
bool HoldsFiles(const std::string& folder, int depth, int& budget) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    bool found = false;
    while (!found && --budget > 0) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr)
            break;
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        const std::string path = folder + "/" + name;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        found = S_ISREG(st.st_mode) ||
                (S_ISDIR(st.st_mode) && depth > 0 && HoldsFiles(path, depth - 1, budget));
    }
    closedir(dir);
    return found;
}

std::int64_t LastWritten(const std::string& prefix) {
    std::int64_t newest = 0;
    for (const char* file : {"/user.reg", "/system.reg"}) {
        struct stat st {};
        if (stat((prefix + file).c_str(), &st) == 0)
            newest = std::max<std::int64_t>(newest, st.st_mtime);
    }
    return newest;
}

void NoteData(WinePrefixBrowsers& read, const PrefixRegistry& registry) {
    const std::pair<const std::string*, const char*> folders[] = {{&read.cookies, "Cookies"},
                                                                  {&read.favorites, "Favorites"},
                                                                  {&read.history, "History"},
                                                                  {&read.cache, "Cache"}};
    for (const auto& [path, name] : folders) {
        int budget = 4096;
        if (!path->empty() && HoldsFiles(*path, 3, budget))
            read.dataFound.push_back(std::string("files in the ") + name + " folder");
    }
    if (HasNetscapeKeys(registry.system))
        read.dataFound.emplace_back("Netscape keys");
    const hive::Key* typed = registry.user.Find(kTypedUrls);
    if (typed != nullptr && !typed->Values().empty())
        read.dataFound.emplace_back("typed addresses");
}

} // namespace

bool ReadWinePrefix(const std::string& folder, WinePrefixBrowsers& read) {
    if (!wine::IsWinePrefix(folder))
        return false;
    read = WinePrefixBrowsers{};
    read.prefix = folder;
    PrefixRegistry registry;
    if (!ReadRegistry(folder, registry, read.notes))
        return true;
    const Variables variables = PrefixVariables(registry);
    auto shell = [&](const char* name) {
        return MapFolder(folder, ShellFolder(registry, variables, name), name, read.notes);
    };
    read.cookies = shell("Cookies");
    read.favorites = shell("Favorites");
    read.history = shell("History");
    read.cache = shell("Cache");
    // Internet Explorer 4 and later keep the cached files in Content.IE5's subfolders, one level
    // deeper than the cleaning reaches from the cache folder itself.
    // A folder of its own (lstat: not a link), so it stays inside drive_c as the cache folder is.
    const std::string content =
        read.cache.empty() ? "" : posix::FindNameInFolder(read.cache, "Content.IE5");
    struct stat st {};
    if (!content.empty() && lstat((read.cache + "/" + content).c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        read.cache += "/" + content;
    read.netscapeUser =
        MapFolder(folder, NetscapeFolder(registry.system, "CurrentUser", "Users", "", "DirRoot"),
                  "Netscape 4.x user", read.notes);
    read.netscapeInstall = MapFolder(
        folder, NetscapeFolder(registry.system, "CurrentVersion", "", "Main", "Install Directory"),
        "Netscape 3.x", read.notes);
    NoteData(read, registry);
    read.lastUsed = LastWritten(folder);
    return true;
}

std::vector<WinePrefixBrowsers> ReadWinePrefixes() {
    std::vector<WinePrefixBrowsers> prefixes;
    for (const std::string& folder : wine::FindWinePrefixes()) {
        WinePrefixBrowsers read;
        if (ReadWinePrefix(folder, read))
            prefixes.push_back(std::move(read));
    }
    return prefixes;
}

} // namespace brisvane::platform
