// The six browser folders the program cleans: where each is stored under the Paths key and
// where a browser registered it, the discovery that fills the settings dialog from them, and
// the registry work done on the Paths key as a whole. The cleaning run reads the Paths key
// itself; the dialog's own rows (labels, prompts, positions) live with the dialog.
#pragma once

#include "platform/win32.h"
#include "platform/wine_browsers.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>

// Where a browser registered one of its folders. Internet Explorer keeps the folder in a fixed
// key; Netscape names the key first (the current user or version) in another key's value.
struct BrowserPathDetection {
    HKEY root;
    // The key holding `value`; when `namingValue` is set, the key whose `namingValue` names it.
    const char* key;
    const char* namingValue;
    std::string (*namedKeyPath)(const std::string& name);
    const char* value;
};

struct BrowserPathRow {
    const char* storedValue; // under the Paths key
    BrowserPathDetection detection;
    // The same folder as a Wine prefix names it, for the Linux program.
    std::string brisvane::platform::WinePrefixBrowsers::*wineFolder;
};

inline constexpr std::size_t kBrowserPathCount = 6;
using BrowserPathTexts = std::array<std::string, kBrowserPathCount>;

// In the order the paths are loaded and stored: cookies, favorites, history, cache, Netscape
// 4.x user folder, Netscape 3.x folder.
extern const std::array<BrowserPathRow, kBrowserPathCount> kBrowserPaths;

// Plain joins, whatever the parts hold: an empty name still gives a key path to open.
std::string NetscapeUserKeyPath(const std::string& currentUser);
std::string NetscapeVersionKeyPath(const std::string& currentVersion);

// Hands each row's path (the stored one when not empty, else the detected one) to setEdit, in
// table order. Nothing is written. A registry error ends the loading at the read that raised
// it, after the rows before it were handed over. Where the program's own registry has no
// Shell Folders key (on Linux, where no browser writes one) and a Wine prefix was chosen
// (platform/wine_browsers.h), the detected paths are those of the prefix.
using BrowserPathSink = std::function<void(std::size_t row, const std::string& path)>;
void DiscoverBrowserPaths(const BrowserPathSink& setEdit);

// The six folders of a Wine prefix, in table order.
BrowserPathTexts WinePrefixPaths(const brisvane::platform::WinePrefixBrowsers& prefix);

// Stores all six texts as they are, creating the Paths key when missing. A failed write raises
// and leaves the values written before it.
void WriteBrowserPaths(const BrowserPathTexts& texts);

// Removes the Paths key with its values; a missing key is no error.
void RemoveBrowserPaths();
