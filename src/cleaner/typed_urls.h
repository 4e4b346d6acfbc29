// Removes Internet Explorer's list of addresses typed into its address bar.
#pragma once

// Removes the typed-address key with everything in it, and on Linux the one in the user
// registry of the Wine prefix the program works on. A key that is missing or cannot be removed
// is left as it is, without a message box.
void RemoveTypedUrls();
