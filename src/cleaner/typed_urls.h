// Removes Internet Explorer's list of addresses typed into its address bar.
#pragma once

// Removes the typed-address key with everything in it. A key that is missing or cannot be
// removed is left as it is, without a message.
void RemoveTypedUrls();
