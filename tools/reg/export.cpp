// brisvane-reg export: writes a key, or a whole hive, as a REGEDIT4 file.
#include "platform/posix/hive_file.h"
#include "platform/posix/hive_key.h"
#include "platform/posix/reg_text.h"
#include "shared.h"

#include <fstream>
#include <ostream>
#include <sys/stat.h>

namespace tools::reg {

int Export(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/y");
    if (options.positional.size() != 2)
        throw UsageError("export takes a key and a .reg file");
    KeyName name = ParseKey(options.positional[0]);
    const std::string& file = options.positional[1];
    std::shared_ptr<const hive::Key> hiveRoot;
    Check(hive::ReadHive(name.root, hiveRoot), name);
    const hive::Key* key = hiveRoot.get();
    std::string fullName(hive::RootName(name.root));
    for (const std::string& part : name.parts) {
        key = key->FindSubkey(part);
        if (!key)
            Check(ERROR_FILE_NOT_FOUND, name);
        fullName += '\\';
        fullName += key->Name();
    }
    std::string text;
    if (name.parts.empty()) {
        text = hive::SerializeHive(*hiveRoot, fullName);
    } else {
        text = std::string(hive::kRegedit4Header) + "\r\n\r\n";
        hive::SerializeKey(*key, fullName, text);
    }
    struct stat info {};
    if (stat(file.c_str(), &info) == 0 && !options.force &&
        !Confirm(io, "File " + file + " already exists. Overwrite")) {
        io.out << "The operation was cancelled.\n";
        return 1;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw CommandError("Cannot write " + file + ".");
    io.out << kDone << "\n";
    return 0;
}

} // namespace tools::reg
