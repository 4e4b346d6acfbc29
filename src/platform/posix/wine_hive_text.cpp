// Wine's escapes in quoted text and key names (wine_hive_text.h). Wine writes a character
// beyond ASCII as "\x" and the hex of one UTF-16 code unit, all four digits when a hex digit
// follows; it reads C's letter escapes, octal ones, and takes any other escaped character as
// itself ("\\", "\"", "\[", "\]"). The units become UTF-8 as they come, the two halves of a
// surrogate pair one character.
#include "platform/posix/wine_hive_text.h"

#include "platform/posix/reg_text_parts.h"

#include <cstddef>
#include <cstdint>

namespace brisvane::platform::wine {

namespace {

void PushCode(hive::Utf16Writer& out, std::uint32_t code) {
    if (code < 0x10000) {
        out.Unit(code);
        return;
    }
    code -= 0x10000;
    out.Unit(0xD800 + (code >> 10));
    out.Unit(0xDC00 + (code & 0x3FF));
}

// The character of a raw byte beyond ASCII (Wine never writes one): a whole UTF-8 sequence
// when one starts there, else the byte alone as a Latin-1 character. Returns the bytes taken.
std::size_t RawCharacter(std::string_view s, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned lead = byte(0);
    const std::size_t length = (lead >= 0xC2 && lead <= 0xDF)   ? 2
                               : (lead >= 0xE0 && lead <= 0xEF) ? 3
                               : (lead >= 0xF0 && lead <= 0xF4) ? 4
                                                                : 0;
    code = lead;
    if (length == 0 || s.size() < length)
        return 1;
    std::uint32_t value = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 1;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
        return 1;
    code = value;
    return length;
}

// Up to maxDigits digits of base 8 or 16 at the start of s, taken off it.
std::uint32_t TakeNumber(std::string_view& s, std::size_t maxDigits, bool hex, std::size_t& taken) {
    std::uint32_t value = 0;
    for (taken = 0; taken < maxDigits && taken < s.size(); ++taken) {
        const char c = s[taken];
        const int digit = hex ? hive::HexDigit(c) : (c >= '0' && c <= '7' ? c - '0' : -1);
        if (digit < 0)
            break;
        value = value * (hex ? 16 : 8) + static_cast<std::uint32_t>(digit);
    }
    s.remove_prefix(taken);
    return value;
}

// What a backslash stands for; s starts just after it and is not empty.
void Escape(std::string_view& s, hive::Utf16Writer& out) {
    constexpr std::string_view kLetters = "abtnvfre";
    constexpr char kControls[] = {'\a', '\b', '\t', '\n', '\v', '\f', '\r', '\x1b'};
    const char c = s.front();
    std::size_t taken = 0;
    if (const std::size_t letter = kLetters.find(c); letter != std::string_view::npos) {
        out.Unit(static_cast<unsigned char>(kControls[letter]));
        s.remove_prefix(1);
    } else if (c == 'x') {
        s.remove_prefix(1);
        const std::uint32_t unit = TakeNumber(s, 4, true, taken);
        // "\x" without a digit is Wine's plain 'x'.
        out.Unit(taken == 0 ? 'x' : unit);
    } else if (c >= '0' && c <= '7') {
        out.Unit(TakeNumber(s, 3, false, taken));
    } else if (static_cast<unsigned char>(c) < 0x80) {
        out.Unit(static_cast<unsigned char>(c));
        s.remove_prefix(1);
    }
    // An escaped raw byte beyond ASCII is read as the text that follows.
}

} // namespace

bool ReadWineText(std::string_view& s, char end, std::string& text) {
    std::string out;
    hive::Utf16Writer writer(out);
    std::string_view rest = s;
    while (!rest.empty()) {
        std::size_t plain = 0;
        while (plain < rest.size() && rest[plain] != end && rest[plain] != '\\' &&
               static_cast<unsigned char>(rest[plain]) < 0x80)
            ++plain;
        if (plain > 0) {
            writer.Ascii(rest.substr(0, plain));
            rest.remove_prefix(plain);
        } else if (rest.front() == end) {
            writer.Finish();
            text = std::move(out);
            s = rest.substr(1);
            return true;
        } else if (rest.front() == '\\') {
            rest.remove_prefix(1);
            if (rest.empty())
                break;
            Escape(rest, writer);
        } else {
            std::uint32_t code = 0;
            rest.remove_prefix(RawCharacter(rest, code));
            PushCode(writer, code);
        }
    }
    return false;
}

} // namespace brisvane::platform::wine
