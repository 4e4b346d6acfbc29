// brisvane-reg delete: removes a value, or a key with everything below it.
#include "shared.h"

#include <ostream>

namespace tools::reg {

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
        // The whole tree goes in one change of its hive, or nothing does.
        Check(RegDeleteTreeA(RootHandle(name.root), name.path.c_str()), name);
    }
    io.out << kDone << "\n";
    return 0;
}

} // namespace tools::reg
