#include "paths/help_file.h"

#include "settings/install_folder.h"

std::string HelpFilePath() {
    return ReadInstallFolder() + "\\brisvan.hlp";
}
