// Where the program is installed, as the App Paths entry records it.
#pragma once

#include <string>

// The "Path" value of the App Paths entry, read afresh at each call so that a re-installation
// counts at once; "" when the entry or the value is missing. Raises for a non-string value.
std::string ReadInstallFolder();
