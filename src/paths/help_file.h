// The program's help file, in the install folder that the App Paths entry names, and the HTML
// help installed beside it for systems without a WinHelp viewer (Windows 10 and 11).
#pragma once

#include <string>

// The "Path" value read afresh, followed directly by "\brisvan.hlp": no separator is added or
// removed, and a missing entry gives "\brisvan.hlp". Raises for a non-string "Path".
std::string HelpFilePath();

// The two places help is opened at: the contents (the pages' Help) and the settings topic (the
// settings dialog's Help, context number 1).
enum class HelpTopic { Contents, Settings };

struct HelpFiles {
    std::string winHelp; // as HelpFilePath()
    // The HTML page that opens at the topic, beside the help file: "brisvan.htm" is the whole
    // help, "brisvan_settings.htm" leads to its settings topic (a browser opens a file given
    // with a "#topic" on its path only now and then).
    std::string html;
};

// Both paths from one read of the install folder; raises as HelpFilePath() does.
HelpFiles FindHelpFiles(HelpTopic topic);
