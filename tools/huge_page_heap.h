#pragma once

#include <optional>
#include <string>

namespace regtool {

// Starts this program again, before it does anything else, with the C library told to back
// its heap with huge pages, when the system offers them and the user has not chosen either
// way. Returns when it did not restart. In the restarted program it puts the environment back
// as the user had it, so that the programs it starts see no difference.
void RestartWithHugePageHeap(char** argv);

// The GLIBC_TUNABLES that asks for a huge-page heap beside the user's own tunables (current,
// null when unset); nothing when the user already chose or the system offers no huge pages.
std::optional<std::string> TunablesWithHugePages(const char* current, bool systemOffersHugePages);

} // namespace regtool
