// The browsers that live in Wine prefixes. On Linux the people who have Internet Explorer or
// Netscape data are Wine users, and the data lies inside a prefix, named by the prefix's own
// registry files. Windows has no prefixes: there nothing is found and nothing is done.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisvane::platform {

// What one prefix holds: its six browser folders as Linux paths (empty where the prefix names
// none, or names one that leads outside its drive_c), and what browser data was found in it.
struct WinePrefixBrowsers {
    std::string prefix;
    std::string cookies;
    std::string favorites;
    std::string history;
    std::string cache; // its Content.IE5 folder where there is one: the cached files lie below it
    std::string netscapeUser;           // Netscape 4.x: the current user's folder
    std::string netscapeInstall;        // Netscape 3.x: the current version's folder
    std::vector<std::string> dataFound; // e.g. "files in the Cookies folder", "Netscape keys"
    std::vector<std::string> notes;     // why a folder was left blank
    std::int64_t lastUsed = 0;          // when its registry was last written (Unix seconds)
};

// Every prefix found where people keep them, each read.
std::vector<WinePrefixBrowsers> ReadWinePrefixes();

// The prefix at folder, read; false when folder is not a Wine prefix.
bool ReadWinePrefix(const std::string& folder, WinePrefixBrowsers& read);

// The prefix this start of the program works on, chosen at the first call: $WINEPREFIX when set,
// else the one prefix that holds browser data, else of several the most recently used. Null
// when there is none. Its notes go to stderr once, when it is chosen.
const WinePrefixBrowsers* ChosenWinePrefix();

// A new start for the choice above (tests start the program many times in one process).
void ForgetChosenWinePrefix();

// Removes Internet Explorer's list of typed addresses from the chosen prefix's user registry,
// unless the prefix's wineserver runs (it would write its own copy back over the file): then
// the file stays as it is and stderr says why.
void RemoveTypedUrlsInWinePrefix();

} // namespace brisvane::platform
