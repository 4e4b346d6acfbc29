// The Netscape steps of the cleaning run. A Netscape folder keeps cookies, bookmarks and history
// in single files of fixed names and its cache in a "cache" subfolder; the 4.x user folder also
// keeps the preferences, whose address lines are removed.
#pragma once

#include "cleaner/cleaning_run.h"
#include "platform/folder_walk.h"

#include <string>

// Cleans the Netscape 4.x folder: files, PREFS.JS, "cache". Raises the PREFS.JS file errors.
void CleanNetscape4Folder(CleaningRunHost& host, const brisvane::platform::HeldFolder& folder);

// Cleans the Netscape 3.x folder: files and "cache"; its PREFS.JS is left alone.
void CleanNetscape3Folder(CleaningRunHost& host, const brisvane::platform::HeldFolder& folder);
