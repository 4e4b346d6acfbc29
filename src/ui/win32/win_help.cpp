#include "ui/win_help.h"

namespace ui {

Seam<WinHelpCall, BOOL>& WinHelpSeam() {
    static Seam<WinHelpCall, BOOL> seam([](const WinHelpCall& call) {
        return (WinHelpA)(call.owner, call.helpFile.c_str(), call.command, call.data);
    });
    return seam;
}

} // namespace ui
