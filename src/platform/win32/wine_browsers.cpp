// Windows keeps its browsers' data in its own registry and folders: there are no Wine prefixes.
#include "platform/wine_browsers.h"

namespace brisvane::platform {

std::vector<WinePrefixBrowsers> ReadWinePrefixes() {
    return {};
}

bool ReadWinePrefix(const std::string&, WinePrefixBrowsers&) {
    return false;
}

const WinePrefixBrowsers* ChosenWinePrefix() {
    return nullptr;
}

void ForgetChosenWinePrefix() {}

void RemoveTypedUrlsInWinePrefix() {}

} // namespace brisvane::platform
