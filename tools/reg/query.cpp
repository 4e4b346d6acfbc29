// brisvane-reg query: prints a value, or a key's values and the names of its subkeys.
#include "shared.h"

#include <cstdio>
#include <memory>
#include <ostream>
#include <span>
#include <string_view>

namespace tools::reg {

namespace {

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default: {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(type));
        return text;
    }
    }
}

std::string FormatData(DWORD type, std::span<const BYTE> data) {
    auto number = [&](std::size_t size) {
        unsigned long long n = 0;
        for (std::size_t i = size; i-- > 0;)
            n = (n << 8) | data[i];
        char text[24];
        std::snprintf(text, sizeof text, "0x%llx", n);
        return std::string(text);
    };
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
    if (type == REG_DWORD && data.size() == 4)
        return number(4);
    if (type == REG_QWORD && data.size() == 8)
        return number(8);
    if (type == REG_MULTI_SZ) {
        std::string text(data.begin(), data.end());
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        std::string shown;
        for (char c : text)
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        return shown;
    }
    std::string hex;
    char byte[4];
    for (BYTE b : data) {
        std::snprintf(byte, sizeof byte, "%02X", b);
        hex += byte;
    }
    return hex;
}

void PrintValue(Streams& io, std::string_view name, DWORD type, std::span<const BYTE> data) {
    io.out << "    " << (name.empty() ? "(Default)" : name) << "    " << TypeName(type) << "    "
           << FormatData(type, data) << "\n";
}

} // namespace

// The key alone is read from the hive, chunk by chunk: a query of one key of a large hive costs
// little memory, and the whole hive is still checked.
int Query(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/v /ve");
    KeyName name = OnlyKey(options, "query");
    // Names the registry calls refuse are refused here too.
    for (const std::string& part : name.parts)
        if (!hive::IsKeyNamePart(part))
            Check(ERROR_INVALID_PARAMETER, name);
    std::shared_ptr<const hive::Key> tree;
    Check(hive::ReadHiveKey(name.root, name.parts, tree, options.valueName), name);
    const hive::Key& key = *tree->Find(name.parts);
    io.out << "\n" << name.display << "\n";
    if (options.valueName) {
        const hive::Value* value = key.FindValue(*options.valueName);
        if (!value)
            Check(ERROR_FILE_NOT_FOUND, name);
        PrintValue(io, *options.valueName, value->type, value->data);
        io.out << "\n";
        return 0;
    }
    for (const hive::Value& value : key.Values())
        PrintValue(io, value.name, value.type, value.data);
    io.out << "\n";
    for (const auto& subkey : key.Subkeys())
        io.out << name.display << "\\" << subkey->Name() << "\n";
    return 0;
}

} // namespace tools::reg
