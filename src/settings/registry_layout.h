// Every registry key, value name and flag text the program reads, writes or removes. Paths
// are spelled exactly as they are passed to OpenSubkey or RemoveKey: a leading "\" makes a
// path absolute, and on a fresh accessor both forms reach the same key.
#pragma once

namespace layout {

// The program's own keys, under HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKey = "Software\\Tessmark\\Brisvane\\Settings";
inline constexpr const char* kPathsKey = "Software\\Tessmark\\Brisvane\\Paths";
// Reset names the Paths key this way; it is the same key.
inline constexpr const char* kPathsKeyForReset = "\\SOFTWARE\\Tessmark\\Brisvane\\Paths";

// Option flags of the Settings key.
inline constexpr const char* kCookiesFlag = "Cookies";
// The flag of the Favorites box ("Delete Bookmarks or Favorites"), stored under this name.
inline constexpr const char* kFavoritesFlag = "URL References";
inline constexpr const char* kHistoryFlag = "History";
inline constexpr const char* kCacheFlag = "Cache";
inline constexpr const char* kUrlRegistryFlag = "URL Registry";
inline constexpr const char* kUrlCheckFlag = "URL Check";
inline constexpr const char* kWindowsStartFlag = "Windows Start";

inline constexpr const char* kTrue = "true";
inline constexpr const char* kFalse = "false";

// Values of the Paths key.
inline constexpr const char* kIeCookiePath = "IE Cookie";
inline constexpr const char* kIeFavoritesPath = "IE Favorites";
inline constexpr const char* kIeHistoryPath = "IE History";
inline constexpr const char* kIeCachePath = "IE Cache";
// The Netscape 4.x user folder and the Netscape 3.x folder.
inline constexpr const char* kNetscape4Path = "Netscape One";
inline constexpr const char* kNetscape3Path = "Netscape Two";

// The system's entries, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kAppPathsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\brisvan.exe";
inline constexpr const char* kInstallFolderValue = "Path";
inline constexpr const char* kProgramPathValue = ""; // the key's default value
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunEntry = "Brisvane";

// Where the browsers keep their folders.
inline constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kShellCookies = "Cookies";
inline constexpr const char* kShellFavorites = "Favorites";
inline constexpr const char* kShellHistory = "History";
inline constexpr const char* kShellCache = "Cache";

inline constexpr const char* kNetscapeUsersKey = "\\SOFTWARE\\Netscape\\Netscape Navigator\\Users";
inline constexpr const char* kNetscapeCurrentUser = "CurrentUser";
inline constexpr const char* kNetscapeDirRoot = "DirRoot";
inline constexpr const char* kNetscapeProductKey = "\\SOFTWARE\\Netscape\\Netscape Navigator";
inline constexpr const char* kNetscapeCurrentVersion = "CurrentVersion";
inline constexpr const char* kNetscapeVersionKeySuffix = "\\Main";
inline constexpr const char* kNetscapeInstallDirectory = "Install Directory";

// Removed whole when "Delete URL Registry References" is ticked.
inline constexpr const char* kTypedUrlsKey = "\\SOFTWARE\\Microsoft\\Internet Explorer\\TypedURLs";

} // namespace layout
