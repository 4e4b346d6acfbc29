#include "paths/help_viewer.h"

#include "ui/application.h"
#include "ui/shell_execute.h"
#include "ui/win_help.h"

void ShowHelpTopic(HelpTopic topic) {
    const HelpFiles files = FindHelpFiles(topic);
    const bool settings = topic == HelpTopic::Settings;
    if (WinHelpA(Application.Handle(), files.winHelp.c_str(), settings ? HELP_CONTEXT : HELP_FINDER,
                 settings ? 1 : 0))
        return;
    // Windows 10 and 11 ship no WinHelp viewer; whether a browser opened is the desktop's
    // business, as for the upgrade check.
    ShellExecuteA(nullptr, "open", files.html.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
