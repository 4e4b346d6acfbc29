// Names compared as Windows compares them: as UTF-16 code units, each upper-cased by the simple
// mapping of the Basic Multilingual Plane (what NTFS's upcase table holds), with no locale.
// A name's bytes are UTF-8; a byte that does not belong to valid UTF-8 is a character of the
// Windows-1252 code page, the single-byte text the program and older files use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::posix {

char16_t UpcaseUnitBeyondAscii(char16_t unit);

// The code unit's upper-case form; units without one (and surrogates) stay as they are.
inline char16_t UpcaseUnit(char16_t unit) {
    if (unit < 0x80)
        return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
    return UpcaseUnitBeyondAscii(unit);
}

// The name's code units, each upper-cased.
std::u16string UpcasedUnits(std::string_view name);

// Appends the name's code units, each upper-cased, to out.
void AppendUpcasedUnits(std::string_view name, std::u16string& out);

// A hash of the upper-cased code units, never 0: names equal without regard to case hash the
// same, so a table can find a name without building its upper-cased form.
std::uint64_t UpcasedNameHash(std::string_view name);

// <0, 0 or >0 as a sorts before, equal to or after b by their upper-cased code units.
int CompareNamesIgnoringCase(std::string_view a, std::string_view b);

// Inline, as names are compared by the million when a large hive is read: over ASCII each byte
// is its own code unit and a difference there settles it; anything else takes the long way.
inline bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t shorter = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t at = 0; at < shorter; ++at) {
        const auto x = static_cast<unsigned char>(a[at]);
        const auto y = static_cast<unsigned char>(b[at]);
        if (x == y)
            continue;
        if ((x | y) >= 0x80)
            return CompareNamesIgnoringCase(a, b) == 0;
        if (UpcaseUnit(x) != UpcaseUnit(y))
            return false;
    }
    return a.size() == b.size() || CompareNamesIgnoringCase(a, b) == 0;
}

// The order Windows lists names in; names that differ only in case are ordered by their bytes,
// so that the same names always come out the same way.
bool NameListsBefore(std::string_view a, std::string_view b);

// The positions of `names` taken in the order NameListsBefore gives; each name is upper-cased
// once, not at every comparison.
std::vector<std::size_t> ListingOrder(const std::vector<std::string_view>& names);

// False only when no other spelling of the name can match it without regard to case (digits,
// punctuation): then a folder need not be read to look for one.
bool MayHaveOtherSpellings(std::string_view name);

} // namespace brisvane::platform::posix
