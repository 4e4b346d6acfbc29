// ShellExecuteA: opens a document or web address with the desktop's own program.
#pragma once

#include "platform/win32.h"
#include "ui/seam.h"

#include <string>

namespace ui {
HINSTANCE CallShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                           LPCSTR directory, int showCommand);
} // namespace ui

// Through the seam; see MessageBoxA in ui/message_box.h.
#define ShellExecuteA(owner, verb, file, parameters, directory, showCommand)                       \
    ::ui::CallShellExecute(owner, verb, file, parameters, directory, showCommand)

namespace ui {

struct ShellExecuteCall {
    HWND owner;
    std::string verb;
    std::string file;
    std::string parameters;
    std::string directory;
    int showCommand;
};

// Above 32 means success, as on Windows.
Seam<ShellExecuteCall, HINSTANCE>& ShellExecuteSeam();

class ShellExecuteRecorder : public SeamRecorder<ShellExecuteCall, HINSTANCE> {
public:
    ShellExecuteRecorder()
        : SeamRecorder(ShellExecuteSeam(), reinterpret_cast<HINSTANCE>(std::uintptr_t{42})) {}
};

} // namespace ui
