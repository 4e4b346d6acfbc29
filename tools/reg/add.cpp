// brisvane-reg add: creates a key and sets one of its values.
#include "platform/posix/hive_file.h"
#include "platform/posix/hive_key.h"
#include "platform/posix/reg_text.h"
#include "shared.h"

#include <ostream>

namespace tools::reg {

namespace {

std::vector<BYTE> EncodeData(const Options& options, DWORD& type) {
    std::string typeName = options.type.value_or("REG_SZ");
    std::string data = options.data.value_or("");
    if (hive::NamesEqual(typeName, "REG_SZ") || hive::NamesEqual(typeName, "REG_EXPAND_SZ")) {
        type = hive::NamesEqual(typeName, "REG_SZ") ? REG_SZ : REG_EXPAND_SZ;
        std::vector<BYTE> bytes(data.begin(), data.end());
        bytes.push_back(0);
        return bytes;
    }
    if (!hive::NamesEqual(typeName, "REG_DWORD"))
        throw UsageError("/t takes REG_SZ, REG_EXPAND_SZ or REG_DWORD, not " + typeName);
    type = REG_DWORD;
    unsigned long long number = 0;
    if (!data.empty()) {
        bool hex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
        std::size_t used = 0;
        try {
            number = std::stoull(data, &used, hex ? 16 : 10);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != data.size() || data[0] == '-' || number > 0xFFFFFFFFull)
            throw UsageError("'" + data + "' is not a REG_DWORD number (decimal or 0x hex)");
    }
    std::vector<BYTE> bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<BYTE>(number >> (8 * i)));
    return bytes;
}

} // namespace

int Add(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/v /ve /t /d /f");
    KeyName name = OnlyKey(options, "add");
    DWORD type = REG_SZ;
    std::vector<BYTE> data = EncodeData(options, type);
    bool setsValue = options.valueName || options.data || options.type;
    std::string valueName = options.valueName.value_or("");
    OpenedKey key(name, KEY_ALL_ACCESS, true);
    if (setsValue) {
        DWORD size = 0;
        bool exists = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, nullptr, nullptr,
                                       &size) == ERROR_SUCCESS;
        if (exists && !options.force &&
            !Confirm(io, "Value " + (valueName.empty() ? "(Default)" : valueName) +
                             " exists, overwrite")) {
            io.out << "The operation was cancelled.\n";
            return 1;
        }
        Check(RegSetValueExA(key.Get(), valueName.c_str(), 0, type, data.data(),
                             static_cast<DWORD>(data.size())),
              name);
    }
    io.out << kDone << "\n";
    return 0;
}

} // namespace tools::reg
