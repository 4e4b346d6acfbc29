#include "app/close_program.h"

#include "paths/help_file.h"
#include "ui/application.h"
#include "ui/win_help.h"

void CloseProgram() {
    // Built first: an unreadable "Path" stops Close before the help call, and the program goes
    // on.
    const std::string helpFile = HelpFilePath();
    WinHelpA(Application.Handle(), helpFile.c_str(), HELP_QUIT, 0);
    Application.Terminate();
}
