// Tells the user at start-up about a registry file the program cannot use: damaged, or one that
// may not be written. Such a file is only ever read, so without this the user would meet only
// "Failed to set data" errors, or settings that seem lost.
#pragma once

// One message box captioned "Brisvane" naming every such file, where it is, and that it was
// left untouched; nothing when all is well. Nothing is written.
void ReportUnusableRegistryFiles();
