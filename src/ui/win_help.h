// WinHelpA: the help viewer. The backend answers it (on Linux the program's own help window); a
// test can record the calls instead.
#pragma once

#include "platform/win32.h"
#include "ui/seam.h"

#include <string>

namespace ui {
BOOL CallWinHelp(HWND owner, LPCSTR helpFile, UINT command, ULONG_PTR data);
} // namespace ui

// Through the seam; see MessageBoxA in ui/message_box.h.
#define WinHelpA(owner, helpFile, command, data) ::ui::CallWinHelp(owner, helpFile, command, data)

namespace ui {

struct WinHelpCall {
    HWND owner;
    std::string helpFile;
    UINT command;
    ULONG_PTR data;
};

Seam<WinHelpCall, BOOL>& WinHelpSeam();

class WinHelpRecorder : public SeamRecorder<WinHelpCall, BOOL> {
public:
    WinHelpRecorder() : SeamRecorder(WinHelpSeam(), TRUE) {}
};

} // namespace ui
