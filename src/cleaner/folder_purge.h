// The folder purge operations. They work through the process-wide current folder: names are
// relative to it, and it is changed and left where the last step put it. Every failed delete,
// move or remove is ignored. A walk holds the folder it walks and comes back to it through that
// hold, enters only subfolders of its own (no link, no other file system) and acts only on
// names that mean exactly the listed entry, so nothing outside the walked folder is reached.
#pragma once

#include "platform/folder_walk.h"

#include <string>

// Deletes every plain file (no hidden, system or directory bit) of the current folder.
void PurgeFiles();

// Clears the attributes of "desktop.ini" in the current folder and deletes it; one whose
// attributes can't be cleared (it has other names too) stays.
void DropDesktopIni();

// History walk: moves every subfolder of the History folder (the current folder) into the
// install folder under a parked-folder name.
void ParkSubfolders(const brisvane::platform::HeldFolder& installFolder);
// The same with the install folder held for this walk only; an install folder that is a link
// is not one this program made, and nothing is parked there.
void ParkSubfolders(const std::string& installFolder);

// Moves one folder into the install folder under a free name from "0" to "99". Returns
// whether it was moved; a folder that cannot be parked stays where it is.
bool ParkFolder(const std::string& folder, const std::string& installFolder);

// Cache walk on the cache folder (the current folder).
void EmptySubfolders();

// Start-up walk: empties and removes the folders parked in the install folder, "0" to "99".
// The install folder is held for the whole walk, and never through a link.
void PurgeParkedFolders(const std::string& installFolder);

// Makes the held folder current when a cleaning step may work in it: it is held and it is
// neither a file-system root nor the user's home folder, as it really is, whatever path led
// to it. On false, nothing may be cleaned in the current folder, whatever it is.
bool EnterFolder(const brisvane::platform::HeldFolder& folder);
