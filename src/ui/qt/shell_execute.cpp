#include "ui/shell_execute.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

constexpr std::uintptr_t kSucceeded = 42;
constexpr std::uintptr_t kNoAssociation = 31; // SE_ERR_NOASSOC

HINSTANCE OpenWithDesktop(const ui::ShellExecuteCall& call) {
    if (!call.verb.empty() && call.verb != "open")
        return reinterpret_cast<HINSTANCE>(kNoAssociation);
    const QUrl url = QUrl::fromUserInput(QString::fromStdString(call.file));
    const bool opened = url.isValid() && QDesktopServices::openUrl(url);
    return reinterpret_cast<HINSTANCE>(opened ? kSucceeded : kNoAssociation);
}

} // namespace

namespace ui {

Seam<ShellExecuteCall, HINSTANCE>& ShellExecuteSeam() {
    static Seam<ShellExecuteCall, HINSTANCE> seam(OpenWithDesktop);
    return seam;
}

} // namespace ui
