// The program's help file, in the install folder that the App Paths entry names.
#pragma once

#include <string>

// The "Path" value read afresh, followed directly by "\brisvan.hlp": no separator is added or
// removed, and a missing entry gives "\brisvan.hlp". Raises for a non-string "Path".
std::string HelpFilePath();
