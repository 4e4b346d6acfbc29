// What the Help buttons of the two wizard pages do: open the help file's contents.
#pragma once

// Reads the install folder afresh; raises for a non-string "Path" before the help call.
void ShowHelpContents();
