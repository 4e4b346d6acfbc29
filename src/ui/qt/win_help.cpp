#include "ui/win_help.h"

#include "ui/qt/help_window.h"

namespace ui {

Seam<WinHelpCall, BOOL>& WinHelpSeam() {
    static Seam<WinHelpCall, BOOL> seam([](const WinHelpCall& call) {
        return ShowHelp(call.owner, call.helpFile, call.command, call.data);
    });
    return seam;
}

} // namespace ui
