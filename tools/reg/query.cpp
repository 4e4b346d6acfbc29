// brisvane-reg query: prints a value, or a key's values and the names of its subkeys.
#include "shared.h"

#include <cstdio>
#include <ostream>

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

std::string FormatData(DWORD type, const std::vector<BYTE>& data) {
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

void PrintValue(Streams& io, const std::string& name, DWORD type, const std::vector<BYTE>& data) {
    io.out << "    " << (name.empty() ? "(Default)" : name) << "    " << TypeName(type) << "    "
           << FormatData(type, data) << "\n";
}

} // namespace

int Query(const Arguments& args, Streams& io) {
    Options options = ParseOptions(args, "/v /ve");
    KeyName name = OnlyKey(options, "query");
    OpenedKey key(name, KEY_READ, false);
    io.out << "\n" << name.display << "\n";
    auto readValue = [&](const std::string& valueName, DWORD& type, std::vector<BYTE>& data) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            rc = RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, data.data(), &size);
            data.resize(size);
        }
        Check(rc, name);
    };
    DWORD type = 0;
    std::vector<BYTE> data;
    if (options.valueName) {
        readValue(*options.valueName, type, data);
        PrintValue(io, *options.valueName, type, data);
        io.out << "\n";
        return 0;
    }
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0;
    Check(RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                           &values, &longestName, nullptr, nullptr, nullptr),
          name);
    for (DWORD i = 0; i < values; ++i) {
        std::vector<char> valueName(longestName + 1);
        DWORD length = longestName + 1;
        if (RegEnumValueA(key.Get(), i, valueName.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        std::string valueText(valueName.data(), length);
        readValue(valueText, type, data);
        PrintValue(io, valueText, type, data);
    }
    io.out << "\n";
    for (DWORD i = 0; i < subkeys; ++i) {
        std::vector<char> subkey(longestSubkey + 1);
        DWORD length = longestSubkey + 1;
        if (RegEnumKeyExA(key.Get(), i, subkey.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        io.out << name.display << "\\" << std::string(subkey.data(), length) << "\n";
    }
    return 0;
}

} // namespace tools::reg
