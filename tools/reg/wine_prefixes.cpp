// brisvane-reg wine-prefixes and wine-import: the Wine prefixes found, what browser data each
// holds and the six folders discovery would take from it; and storing one prefix's folders as
// the program's paths, for someone with several prefixes.
#include "commands.h"
#include "paths/browser_paths.h"
#include "platform/wine_browsers.h"
#include "settings/exception.h"
#include "shared.h"

#include <ctime>
#include <ostream>

namespace tools::reg {

namespace {

using brisvane::platform::WinePrefixBrowsers;

std::string LocalTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[32] = "unknown";
    if (seconds > 0 && localtime_r(&time, &parts) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return text;
}

void PrintFolders(const WinePrefixBrowsers& prefix, std::ostream& out) {
    const BrowserPathTexts paths = WinePrefixPaths(prefix);
    for (std::size_t row = 0; row < kBrowserPaths.size(); ++row) {
        const std::string label = std::string(kBrowserPaths[row].storedValue) + ":";
        out << "    " << label << std::string(label.size() < 14 ? 14 - label.size() : 1, ' ')
            << (paths[row].empty() ? "(none)" : paths[row]) << '\n';
    }
    for (const std::string& note : prefix.notes)
        out << "    note: " << note << '\n';
}

} // namespace

int WinePrefixes(const Arguments& args, Streams& io) {
    if (args.size() > 1)
        throw UsageError("wine-prefixes takes no arguments");
    const std::vector<WinePrefixBrowsers> prefixes = brisvane::platform::ReadWinePrefixes();
    if (prefixes.empty()) {
        io.out << "No Wine prefix found.\n";
        return 0;
    }
    const WinePrefixBrowsers* chosen = brisvane::platform::ChosenWinePrefix();
    for (const WinePrefixBrowsers& prefix : prefixes) {
        io.out << prefix.prefix;
        if (chosen != nullptr && chosen->prefix == prefix.prefix)
            io.out << "   (the one Brisvane works on)";
        io.out << "\n    last used:    " << LocalTime(prefix.lastUsed) << "\n    browser data: ";
        if (prefix.dataFound.empty())
            io.out << "none";
        for (std::size_t i = 0; i < prefix.dataFound.size(); ++i)
            io.out << (i > 0 ? ", " : "") << prefix.dataFound[i];
        io.out << '\n';
        PrintFolders(prefix, io.out);
    }
    return 0;
}

int WineImport(const Arguments& args, Streams& io) {
    if (args.size() != 2)
        throw UsageError("wine-import takes the folder of one Wine prefix");
    WinePrefixBrowsers prefix;
    if (!brisvane::platform::ReadWinePrefix(args[1], prefix))
        throw CommandError("'" + args[1] +
                           "' is not a Wine prefix (it needs drive_c, system.reg and user.reg).");
    try {
        WriteBrowserPaths(WinePrefixPaths(prefix));
    } catch (const ERegistryException& error) {
        throw CommandError(error.what());
    }
    io.out << "Stored as Brisvane's paths:\n";
    PrintFolders(prefix, io.out);
    io.out << kDone << '\n';
    return 0;
}

} // namespace tools::reg
