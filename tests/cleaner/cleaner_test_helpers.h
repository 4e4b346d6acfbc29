// Helpers of the cleaning engine's tests: what a folder holds, to compare before and after a
// step, and the message of an expected error.
#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>

// Every entry below root by its relative path; folders end in "/".
inline std::set<std::string> Tree(const std::string& root) {
    namespace fs = std::filesystem;
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).generic_string();
        entries.insert(entry.is_directory() && !entry.is_symlink() ? name + "/" : name);
    }
    return entries;
}

inline std::set<std::string> Without(std::set<std::string> entries,
                                     const std::set<std::string>& removed) {
    for (const auto& name : removed)
        entries.erase(name);
    return entries;
}

// The message of the error of type Error that action raises; "no error" when it raises none.
template <typename Error> std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}
