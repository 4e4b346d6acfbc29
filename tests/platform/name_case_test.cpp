#include "platform/posix/name_case.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using brisvane::platform::posix::CompareNamesIgnoringCase;
using brisvane::platform::posix::NameListsBefore;
using brisvane::platform::posix::NamesEqualIgnoringCase;

namespace {

TEST(NameCase, MatchesLettersOfEveryScriptOfTheBasicPlaneWithoutRegardToCase) {
    EXPECT_TRUE(NamesEqualIgnoringCase("Müller", "MÜLLER"));
    EXPECT_TRUE(NamesEqualIgnoringCase("привет", "ПРИВЕТ"));
    EXPECT_TRUE(NamesEqualIgnoringCase("ὀδυσσεύς", "ὈΔΥΣΣΕΎΣ"));
    EXPECT_TRUE(NamesEqualIgnoringCase("ᾳ", "ᾼ")) << "simple mapping of a letter with iota";
    // One letter never becomes two, and letters beyond the basic plane keep their case.
    EXPECT_FALSE(NamesEqualIgnoringCase("straße", "STRASSE"));
    EXPECT_FALSE(NamesEqualIgnoringCase("\xF0\x90\x90\xA8", "\xF0\x90\x90\x80"));
    EXPECT_FALSE(NamesEqualIgnoringCase("Müller", "Muller"));
}

TEST(NameCase, ReadsBytesOutsideUtf8AsWindows1252) {
    EXPECT_TRUE(NamesEqualIgnoringCase("M\xFCller", "MÜLLER"));
    EXPECT_TRUE(NamesEqualIgnoringCase("\x9A", "Š"));
    EXPECT_TRUE(NamesEqualIgnoringCase("caf\xC3", "CAFÃ")) << "a lead byte with nothing after it";
    // An overlong form is not the character it spells.
    EXPECT_FALSE(NamesEqualIgnoringCase("\xC0\xAF", "/"));
    EXPECT_TRUE(NamesEqualIgnoringCase("\xED\xA0\x80", "Í\u00A0€")) << "an encoded surrogate";
}

TEST(NameCase, OrdersByUpperCasedUtf16CodeUnits) {
    EXPECT_LT(CompareNamesIgnoringCase("AB", "a_"), 0) << "'_' comes after the letters";
    EXPECT_LT(CompareNamesIgnoringCase("Zoo", "ärger"), 0);
    EXPECT_LT(CompareNamesIgnoringCase("ärger", "Écran"), 0) << "Ä before É, whatever the case";
    EXPECT_LT(CompareNamesIgnoringCase("ab", "ABC"), 0);
    // U+10000 sorts before U+FF21: its first code unit, 0xD800, is the lower.
    EXPECT_LT(CompareNamesIgnoringCase("\xF0\x90\x80\x80", "\xEF\xBC\xA1"), 0);
    EXPECT_EQ(CompareNamesIgnoringCase("ÉCRAN", "écran"), 0);
}

TEST(NameCase, ListsSpellingsOfOneNameTheSameWayEveryTime) {
    std::vector<std::string> names = {"écran", "B", "Écran", "a", "ÉCRAN", "A"};
    std::vector<std::string> reversed(names.rbegin(), names.rend());
    std::sort(names.begin(), names.end(), NameListsBefore);
    std::sort(reversed.begin(), reversed.end(), NameListsBefore);
    EXPECT_EQ(names, reversed);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "B", "ÉCRAN", "Écran", "écran"}));
}

} // namespace
