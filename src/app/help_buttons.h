// What the Help buttons of the two wizard pages do: open the help at its contents.
#pragma once

// Reads the install folder afresh; raises for a non-string "Path" before the help call. Where
// WinHelp fails, the HTML help opens in the browser.
void ShowHelpContents();
