// Removes the address lines from the Netscape preferences, PREFS.JS.
#pragma once

#include <string>

// Splits the text into lines (each ends at CR, LF or CR LF), drops every line that contains
// "url" in lower case, and joins the rest in order, each followed by CR LF. Bytes are not
// interpreted; a zero byte is kept like any other.
std::string FilterUrlLines(const std::string& text);

// Rewrites "PREFS.JS" of the current folder without its "url" lines. Raises EFOpenError when it
// cannot be read, EFCreateError when it cannot be replaced; the old file then stays as it was.
void FilterPrefs();
