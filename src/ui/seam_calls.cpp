// The program's calls of the system's message box, help viewer, shell and quit message, each
// through its seam. The seams' real calls are the backend's.
#include "ui/message_box.h"
#include "ui/post_quit_message.h"
#include "ui/shell_execute.h"
#include "ui/win_help.h"

namespace ui {

namespace {

std::string Text(LPCSTR text) {
    return text ? text : "";
}

} // namespace

int CallMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    // A missing caption is "Error", as Windows shows it.
    return MessageBoxSeam()({owner, Text(text), caption ? caption : "Error", type});
}

BOOL CallWinHelp(HWND owner, LPCSTR helpFile, UINT command, ULONG_PTR data) {
    return WinHelpSeam()({owner, Text(helpFile), command, data});
}

HINSTANCE CallShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                           LPCSTR directory, int showCommand) {
    return ShellExecuteSeam()(
        {owner, Text(verb), Text(file), Text(parameters), Text(directory), showCommand});
}

void CallPostQuitMessage(int exitCode) {
    PostQuitMessageSeam()({exitCode});
}

} // namespace ui
