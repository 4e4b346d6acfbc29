#include "paths/help_file.h"

#include "settings/install_folder.h"

std::string HelpFilePath() {
    return FindHelpFiles(HelpTopic::Contents).winHelp;
}

HelpFiles FindHelpFiles(HelpTopic topic) {
    const std::string folder = ReadInstallFolder();
    const char* page = topic == HelpTopic::Settings ? "\\brisvan_settings.htm" : "\\brisvan.htm";
    return {.winHelp = folder + "\\brisvan.hlp", .html = folder + page};
}
