// A .reg document as regedit saves its Unicode form: the byte-order mark, then each character
// of ASCII text as a little-endian UTF-16 unit.
#pragma once

#include <string>

namespace testing_support {

inline std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

} // namespace testing_support
