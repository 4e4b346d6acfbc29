#include "app/help_buttons.h"

#include "paths/help_file.h"
#include "ui/application.h"
#include "ui/win_help.h"

void ShowHelpContents() {
    const std::string helpFile = HelpFilePath();
    WinHelpA(Application.Handle(), helpFile.c_str(), HELP_FINDER, 0);
}
