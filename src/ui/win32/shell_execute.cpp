#include "ui/shell_execute.h"

namespace ui {

namespace {

// Null for an empty text, as the program passes none.
LPCSTR OrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

Seam<ShellExecuteCall, HINSTANCE>& ShellExecuteSeam() {
    static Seam<ShellExecuteCall, HINSTANCE> seam([](const ShellExecuteCall& call) {
        return (ShellExecuteA)(call.owner, OrNull(call.verb), call.file.c_str(),
                               OrNull(call.parameters), OrNull(call.directory), call.showCommand);
    });
    return seam;
}

} // namespace ui
