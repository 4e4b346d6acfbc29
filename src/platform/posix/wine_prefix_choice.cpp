// Which prefix a start of the program works on, and the one change it makes to a prefix's
// registry: the typed-address list goes from user.reg.
#include "platform/posix/file_io.h"
#include "platform/posix/wine_hive.h"
#include "platform/posix/wine_prefixes.h"
#include "platform/wine_browsers.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace brisvane::platform {

namespace {

// Chosen once per start: the cleaning run's last step must reach the prefix the settings dialog
// was filled from, though by then its folders hold nothing that would single it out.
struct Choice {
    bool made = false;
    std::optional<WinePrefixBrowsers> prefix;
};

Choice& TheChoice() {
    static Choice choice;
    return choice;
}

void Report(const std::string& text) {
    std::cerr << "brisvane: " << text << '\n';
}

std::optional<WinePrefixBrowsers> Choose() {
    const char* named = std::getenv("WINEPREFIX");
    if (named != nullptr && *named != '\0') {
        WinePrefixBrowsers read;
        // Wine itself refuses a relative WINEPREFIX.
        if (*named == '/' && ReadWinePrefix(named, read))
            return read;
        Report(std::string("WINEPREFIX names ") + named +
               ", which is not a Wine prefix (drive_c, system.reg and user.reg); no browser "
               "data of a prefix is looked for.");
        return std::nullopt;
    }
    std::vector<WinePrefixBrowsers> holding = ReadWinePrefixes();
    std::erase_if(holding, [](const WinePrefixBrowsers& read) { return read.dataFound.empty(); });
    if (holding.empty())
        return std::nullopt;
    return *std::max_element(holding.begin(), holding.end(),
                             [](const auto& a, const auto& b) { return a.lastUsed < b.lastUsed; });
}

} // namespace

const WinePrefixBrowsers* ChosenWinePrefix() {
    Choice& choice = TheChoice();
    if (!choice.made) {
        choice.prefix = Choose();
        choice.made = true;
        if (choice.prefix) {
            for (const std::string& note : choice.prefix->notes)
                Report("Wine prefix " + choice.prefix->prefix + ": " + note + ".");
        }
    }
    return choice.prefix ? &*choice.prefix : nullptr;
}

void ForgetChosenWinePrefix() {
    TheChoice() = Choice{};
}

void RemoveTypedUrlsInWinePrefix() {
    const WinePrefixBrowsers* chosen = ChosenWinePrefix();
    if (chosen == nullptr)
        return;
    const std::string file = chosen->prefix + "/user.reg";
    const std::vector<std::string> typedUrls = {"Software", "Microsoft", "Internet Explorer",
                                                "TypedURLs"};
    hive::Key kept;
    std::string text;
    struct stat info {};
    const auto wanted = [](const std::vector<std::string>&) { return false; };
    if (wine::ReadWineHive(file, kept, wanted, &text, &info) != wine::WineHiveRead::Read) {
        Report("cannot read " + file + " as a Wine registry file; its typed addresses stay.");
        return;
    }
    std::size_t removed = 0;
    const std::string without = wine::WithoutKey(text, typedUrls, &removed);
    if (removed == 0)
        return;
    // A file of another user's is left to that user: our copy would become ours.
    if (info.st_uid != geteuid()) {
        Report(file + " belongs to another user; its typed addresses stay.");
        return;
    }
    if (wine::WineServerRunning(chosen->prefix)) {
        Report("the wineserver of " + chosen->prefix +
               " is running and would write its registry back over " + file +
               "; its typed addresses stay. Close that prefix's programs (or run "
               "\"wineserver -k\" there) and clean again.");
        return;
    }
    posix::ReplaceRules rules;
    rules.only = posix::ReplaceRules::FileId{info.st_dev, info.st_ino};
    if (posix::ReplaceFile(file, without, rules) != posix::ReplaceOutcome::Done)
        Report("cannot write " + file + "; its typed addresses stay.");
}

} // namespace brisvane::platform
