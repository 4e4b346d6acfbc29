#include "ui/win_help.h"

namespace ui {

Seam<WinHelpCall, BOOL>& WinHelpSeam() {
    static Seam<WinHelpCall, BOOL> seam([](const WinHelpCall&) -> BOOL { return TRUE; });
    return seam;
}

} // namespace ui

BOOL WinHelpA(HWND owner, LPCSTR helpFile, UINT command, ULONG_PTR data) {
    return ui::WinHelpSeam()({owner, helpFile ? helpFile : "", command, data});
}
