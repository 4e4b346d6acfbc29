// brisvane-reg run-at-logon: what Windows does with the Run keys when a user logs on.
#include "commands.h"
#include "platform/local_path.h"
#include "platform/win32.h"
#include "settings/registry_layout.h"

#include <fcntl.h>
#include <ostream>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern char** environ;

namespace tools::reg {

namespace {

// Windows lets a Run value quote the program's path; the program itself writes it bare.
std::string WithoutQuotes(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    // The mode bits decide, not access(): as root every file would pass.
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

bool StartDetached(const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: the program outlives the runner and the autostart's process group.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string program = path;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

// The programs named by the string values under ROOT\...\CurrentVersion\Run, in value order.
// Empty when the key is missing or cannot be read in full, so a damaged hive starts nothing.
std::vector<std::string> LogonPrograms(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, layout::kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::vector<std::string> programs;
    bool complete = true;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        BYTE data[1024];
        DWORD size = sizeof data;
        const LONG rc = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA)
            continue; // longer than any program path: not a program to start
        if (rc != ERROR_SUCCESS) {
            complete = false;
            break;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            continue;
        std::string text(reinterpret_cast<const char*>(data), size);
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        text = WithoutQuotes(text);
        if (!text.empty())
            programs.push_back(std::move(text));
    }
    RegCloseKey(key);
    return complete ? programs : std::vector<std::string>{};
}

} // namespace

int RunAtLogon(const Arguments& args, Streams& io) {
    if (args.size() != 1) {
        io.err << "ERROR: Invalid syntax: run-at-logon takes no arguments.\n";
        return 1;
    }
    // The machine's programs first, then the user's, as Windows starts them; a program named
    // in both (or twice) starts once.
    std::vector<std::string> entries = LogonPrograms(HKEY_LOCAL_MACHINE);
    const std::vector<std::string> user = LogonPrograms(HKEY_CURRENT_USER);
    entries.insert(entries.end(), user.begin(), user.end());
    std::set<std::string> started;
    for (const std::string& entry : entries) {
        const std::string path = brisvane::platform::LocalPath(entry);
        if (!started.insert(path).second)
            continue;
        if (!IsExecutableFile(path)) {
            io.err << "Not started, not an executable file: " << entry << "\n";
            continue;
        }
        if (!StartDetached(path))
            io.err << "Could not start " << entry << "\n";
    }
    return 0;
}

} // namespace tools::reg
