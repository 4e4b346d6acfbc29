// The folder purge operations. They work through the process-wide current folder: names are
// relative to it, and it is changed with SetCurrentDirectoryA and left where the last step put
// it. Every failed delete, move or remove is ignored.
#pragma once

#include <string>

// Deletes every plain file (no hidden, system or directory bit) of the current folder.
void PurgeFiles();

// Clears the attributes of "desktop.ini" in the current folder and deletes it.
void DropDesktopIni();

// History walk: moves every subfolder of the History folder (already current) into the
// install folder under a parked-folder name.
void ParkSubfolders(const std::string& historyFolder, const std::string& installFolder);

// Moves one folder into the install folder under a free name from "0" to "99". Returns
// whether it was moved; a folder that cannot be parked stays where it is.
bool ParkFolder(const std::string& folder, const std::string& installFolder);

// Cache walk on the cache folder (already current).
void EmptySubfolders(const std::string& cacheFolder);

// Start-up walk: empties and removes the folders parked in the install folder.
void PurgeParkedFolders(const std::string& installFolder);

// Makes the folder current when a cleaning step may work in it: SetCurrentDirectoryA succeeds
// and the folder is neither a file-system root nor the user's home folder. On false, nothing
// may be cleaned in the current folder, whatever it is.
bool EnterFolder(const std::string& folder);
