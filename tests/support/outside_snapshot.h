// Everything under a folder that a walk must not touch, recorded so that a test can tell
// whether any of it was deleted, moved, added or changed (mode or contents).
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>

inline std::map<std::string, std::string> Snapshot(const std::string& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        lstat(entry.path().c_str(), &st);
        std::string state = std::to_string(st.st_mode) + ":";
        if (S_ISREG(st.st_mode)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            state += content.str();
        }
        entries[fs::relative(entry.path(), root).generic_string()] = state;
    }
    return entries;
}
