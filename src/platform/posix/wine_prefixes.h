// Wine prefixes: where people keep them, what makes a folder one, how a Windows path of a
// prefix becomes the Linux path Wine would open, and whether the prefix's wineserver runs now.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brisvane::platform::wine {

// A folder holding all three of drive_c (a folder), system.reg and user.reg (regular files).
bool IsWinePrefix(const std::string& folder);

// The prefixes found, each once (by the folder it really is), in this order: $WINEPREFIX,
// ~/.wine, each entry of ${WINE_PREFIXES:-$XDG_DATA_HOME/wineprefixes} (links followed),
// ~/.PlayOnLinux/wineprefix/*, $XDG_DATA_HOME/bottles/bottles/*,
// ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*, ~/.cxoffice/*, ~/.ies4linux/*.
// $XDG_DATA_HOME defaults to ~/.local/share; a setting that is not a full path counts as unset.
// Entries of a folder come sorted by name. Each path is given as found (not resolved).
std::vector<std::string> FindWinePrefixes();

// The Linux path Wine opens for a Windows path of the prefix ("C:\users\me\Favorites"): the
// drive through dosdevices/<letter>:, each part then matched without regard to case as Wine
// matches it (the exact name first), "." and ".." taken away as Windows takes them; parts that
// do not exist yet are kept as written. The result is the real path (every link resolved), and
// why is emptied. It is empty, and why says why naming the path, when the text is not a drive
// path (X:, X:\ or X:/), the drive is not there, a link on the way leads nowhere, a folder on the
// way cannot be read, a name ends in a dot or a space (Windows would open another name), or the
// path leads outside the prefix's drive_c (through z:, or a link inside such as Desktop).
std::string LinuxPathInPrefix(const std::string& prefix, std::string_view windowsPath,
                              std::string* why = nullptr);

// Whether the prefix's wineserver runs now: it holds a lock on the `lock` file of its server
// folder, server-<device>-<inode> (hex) under /tmp/.wine-<uid>, or, where Debian's Wine wrote
// the name of its own temporary folder into <prefix>/wineserver, under that folder of $TMPDIR
// (or /tmp); only a plain name there counts. True when it cannot be told: a lock file or
// wineserver file that cannot be read, or a lock file that is not a regular file.
bool WineServerRunning(const std::string& prefix);

} // namespace brisvane::platform::wine
