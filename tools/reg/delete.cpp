// brisvane-reg delete: removes a value, or a key with everything below it.
#include "shared.h"

#include <ostream>

namespace regtool {

namespace {

// Depth first with a stack of our own rather than by recursion; stops at the first failure.
LONG DeleteTree(HKEY base, const std::string& path) {
    struct Level {
        HKEY base = nullptr;
        std::string path;
        HKEY key = nullptr;
    };
    std::vector<Level> levels(1);
    levels.back().base = base;
    levels.back().path = path;
    LONG rc = RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &levels.back().key);
    if (rc != ERROR_SUCCESS)
        return rc;
    while (!levels.empty()) {
        char name[256];
        DWORD length = sizeof name;
        rc = RegEnumKeyExA(levels.back().key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS) {
            Level child;
            child.base = levels.back().key;
            child.path.assign(name, length);
            rc = RegOpenKeyExA(child.base, child.path.c_str(), 0, KEY_ALL_ACCESS, &child.key);
            if (rc == ERROR_SUCCESS)
                levels.push_back(std::move(child));
        } else if (rc == ERROR_NO_MORE_ITEMS) {
            RegCloseKey(levels.back().key);
            rc = RegDeleteKeyA(levels.back().base, levels.back().path.c_str());
            levels.pop_back();
        }
        if (rc != ERROR_SUCCESS)
            break;
    }
    for (const Level& level : levels)
        RegCloseKey(level.key);
    return rc;
}

} // namespace

int Delete(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/v /ve /f");
    KeyName name = OnlyKey(options, "delete");
    if (options.valueName) {
        OpenedKey key(name, KEY_ALL_ACCESS, false);
        const std::string& valueName = *options.valueName;
        if (!options.force && !Confirm(io, "Delete the registry value " +
                                               (valueName.empty() ? "(Default)" : valueName))) {
            io.out << "The operation was cancelled.\n";
            return 1;
        }
        Check(RegDeleteValueA(key.Get(), valueName.c_str()), name);
    } else {
        if (name.parts.empty())
            throw UsageError("a root key cannot be deleted");
        HKEY probe = nullptr;
        Check(RegOpenKeyExA(RootHandle(name.root), name.path.c_str(), 0, KEY_READ, &probe), name);
        RegCloseKey(probe);
        if (!options.force && !Confirm(io, "Permanently delete the registry key " + name.display)) {
            io.out << "The operation was cancelled.\n";
            return 1;
        }
        Check(DeleteTree(RootHandle(name.root), name.path), name);
    }
    io.out << kDone << "\n";
    return 0;
}

} // namespace regtool
