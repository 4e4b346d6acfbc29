// Small pieces both registry text readers use: the .reg reader (reg_text.h) and the reader of
// Wine's own files (wine_hive.h).
#pragma once

#include "platform/posix/win32_types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::hive {

void AppendUtf8(std::string& out, std::uint32_t code);

// UTF-16 code units, one at a time, to UTF-8: a surrogate pair becomes one character, a lone
// surrogate '?'.
class Utf16Writer {
public:
    explicit Utf16Writer(std::string& out) : m_out(out) {}
    void Unit(std::uint32_t unit);
    // A run of ASCII, appended as it is.
    void Ascii(std::string_view text) {
        Finish();
        m_out.append(text);
    }
    // A high surrogate still waiting for its pair becomes '?'.
    void Finish();

private:
    std::string& m_out;
    std::uint32_t m_high = 0; // a high surrogate waiting for its pair
};

// UTF-16LE bytes to the 8-bit text the program works with (UTF-8 on Linux); a lone surrogate
// becomes '?', an odd last byte is dropped.
std::string Utf16ToText(std::string_view bytes);

// Spaces and tabs; at the right end also the '\r' of a CR LF line end. Inline: every line of a
// hive is trimmed.
inline std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

inline std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

inline std::string_view Trim(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

// The syntax words of the formats ("dword:", "hex(") are ASCII.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// The value of one hex digit, or -1.
int HexDigit(char c);
// 1 to maxDigits hex digits and nothing else.
std::optional<std::uint32_t> ParseHexNumber(std::string_view s, std::size_t maxDigits);
// Comma-separated bytes of one or two hex digits, appended to out; one comma at the very end
// is let pass. false at the first token that is not a byte.
bool ParseHexBytes(std::string_view all, std::vector<BYTE>& out);

} // namespace brisvane::platform::hive
