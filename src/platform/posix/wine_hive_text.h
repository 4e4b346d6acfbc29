// The escaped text of Wine's registry files, as in key names ("[a\\b]") and quoted names and
// data ("\"a\\x00e9\""): for the reader of those files (wine_hive.h) alone.
#pragma once

#include <string>
#include <string_view>

namespace brisvane::platform::wine {

// Reads escaped text from the start of s up to the first `end` that no backslash escapes, and
// leaves s just after that end. The text is UTF-16 code units in Wine's escapes: it comes out
// as UTF-8, a lone surrogate as '?'. False, with s as it was, when the end never comes.
bool ReadWineText(std::string_view& s, char end, std::string& text);

} // namespace brisvane::platform::wine
