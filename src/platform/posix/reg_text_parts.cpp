// Text helpers shared by the registry text readers (reg_text_parts.h).
#include "platform/posix/reg_text_parts.h"

#include <algorithm>

namespace brisvane::platform::hive {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void Utf16Writer::Unit(std::uint32_t unit) {
    const bool low = unit >= 0xDC00 && unit < 0xE000;
    if (m_high != 0 && low) {
        AppendUtf8(m_out, 0x10000 + ((m_high - 0xD800) << 10) + (unit - 0xDC00));
        m_high = 0;
        return;
    }
    Finish();
    if (unit >= 0xD800 && unit < 0xDC00)
        m_high = unit;
    else
        AppendUtf8(m_out, low ? '?' : unit);
}

void Utf16Writer::Finish() {
    if (m_high != 0)
        m_out += '?';
    m_high = 0;
}

std::string Utf16ToText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    Utf16Writer writer(out);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        writer.Unit(static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
                    (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8));
    writer.Finish();
    return out;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(),
                      [](char x, char y) { return Lower(x) == Lower(y); });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    std::uint32_t n = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = n * 16 + static_cast<std::uint32_t>(d);
    }
    return n;
}

bool ParseHexBytes(std::string_view all, std::vector<BYTE>& out) {
    if (all.empty())
        return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = all.find(',', start);
        const std::string_view token =
            Trim(all.substr(start, comma == std::string_view::npos ? comma : comma - start));
        // regedit leaves a comma before a line break; tolerate one at the very end too.
        if (token.empty() && comma == std::string_view::npos && start > 0)
            return true;
        const auto byte = ParseHexNumber(token, 2);
        if (!byte)
            return false;
        out.push_back(static_cast<BYTE>(*byte));
        if (comma == std::string_view::npos)
            return true;
        start = comma + 1;
    }
}

} // namespace brisvane::platform::hive
