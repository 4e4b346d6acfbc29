#include "platform/posix/name_case.h"

#include "platform/posix/upcase_table.h"

#include <algorithm>
#include <cstdint>

namespace brisvane::platform::posix {

namespace {

// Windows-1252 at 0x80 to 0x9F; the five bytes it leaves undefined keep their own value, as
// Windows converts them. The rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t FromCp1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t{byte};
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Yields the UTF-16 code units of a name one at a time, without building the whole string.
class UnitReader {
public:
    explicit UnitReader(std::string_view name) : m_name(name) {}

    bool Done() const { return m_pending == 0 && m_at == m_name.size(); }

    char16_t Next() {
        if (m_pending != 0) {
            const char16_t low = m_pending;
            m_pending = 0;
            return low;
        }
        const std::uint32_t code = NextCodePoint();
        if (code < 0x10000)
            return static_cast<char16_t>(code);
        m_pending = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        return static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
    }

private:
    std::uint32_t NextCodePoint() {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(m_name[i]); };
        const unsigned char lead = byte(m_at);
        std::size_t length = 0;
        std::uint32_t code = 0;
        // The second byte's range rules out overlong forms, UTF-16 surrogates and code points
        // past U+10FFFF.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++m_at;
            return lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length != 0 && m_at + length <= m_name.size() && byte(m_at + 1) >= low &&
                     byte(m_at + 1) <= high;
        for (std::size_t i = 1; valid && i < length; ++i) {
            valid = IsContinuation(byte(m_at + i));
            code = (code << 6) | (byte(m_at + i) & 0x3F);
        }
        if (!valid) {
            ++m_at;
            return FromCp1252(lead);
        }
        m_at += length;
        return code;
    }

    std::string_view m_name;
    std::size_t m_at = 0;
    char16_t m_pending = 0;
};

} // namespace

char16_t UpcaseUnitBeyondAscii(char16_t unit) {
    const UpcaseRun* end = kUpcaseRuns + kUpcaseRunCount;
    const UpcaseRun* run = std::lower_bound(
        kUpcaseRuns, end, unit, [](const UpcaseRun& r, char16_t u) { return r.last < u; });
    if (run == end || unit < run->first || (unit - run->first) % run->stride != 0)
        return unit;
    return static_cast<char16_t>(unit + run->delta);
}

std::u16string UpcasedUnits(std::string_view name) {
    std::u16string units;
    AppendUpcasedUnits(name, units);
    return units;
}

void AppendUpcasedUnits(std::string_view name, std::u16string& out) {
    UnitReader reader(name);
    while (!reader.Done())
        out.push_back(UpcaseUnit(reader.Next()));
}

std::uint64_t UpcasedNameHash(std::string_view name) {
    // FNV-1a over the units, then mixed so that the low bits a table uses differ. ASCII, the
    // usual case, is its own code unit.
    std::uint64_t hash = 14695981039346656037ull;
    std::size_t ascii = 0;
    for (; ascii < name.size() && static_cast<unsigned char>(name[ascii]) < 0x80; ++ascii)
        hash = (hash ^ UpcaseUnit(static_cast<char16_t>(name[ascii]))) * 1099511628211ull;
    UnitReader reader(name.substr(ascii));
    while (!reader.Done())
        hash = (hash ^ UpcaseUnit(reader.Next())) * 1099511628211ull;
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return hash == 0 ? 1 : hash;
}

int CompareNamesIgnoringCase(std::string_view a, std::string_view b) {
    // Over a common ASCII beginning each byte is its own code unit.
    std::size_t same = 0;
    const std::size_t shorter = std::min(a.size(), b.size());
    for (; same < shorter; ++same) {
        const auto x = static_cast<unsigned char>(a[same]);
        const auto y = static_cast<unsigned char>(b[same]);
        if (x >= 0x80 || y >= 0x80)
            break;
        if (x != y) {
            const char16_t ux = UpcaseUnit(x);
            const char16_t uy = UpcaseUnit(y);
            if (ux != uy)
                return ux < uy ? -1 : 1;
        }
    }
    UnitReader x(a.substr(same));
    UnitReader y(b.substr(same));
    while (!x.Done() && !y.Done()) {
        const char16_t ux = UpcaseUnit(x.Next());
        const char16_t uy = UpcaseUnit(y.Next());
        if (ux != uy)
            return ux < uy ? -1 : 1;
    }
    return x.Done() ? (y.Done() ? 0 : -1) : 1;
}

bool NameListsBefore(std::string_view a, std::string_view b) {
    const int order = CompareNamesIgnoringCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

std::vector<std::size_t> ListingOrder(const std::vector<std::string_view>& names) {
    std::vector<std::u16string> keys;
    keys.reserve(names.size());
    for (const std::string_view name : names)
        keys.push_back(UpcasedUnits(name));
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : names[a] < names[b];
    });
    return order;
}

bool MayHaveOtherSpellings(std::string_view name) {
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x80 || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
    });
}

} // namespace brisvane::platform::posix
