#include "ui/shell_execute.h"

#include "platform/local_path.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

constexpr std::uintptr_t kSucceeded = 42;
constexpr std::uintptr_t kNoAssociation = 31; // SE_ERR_NOASSOC

HINSTANCE OpenWithDesktop(const ui::ShellExecuteCall& call) {
    if (!call.verb.empty() && call.verb != "open")
        return reinterpret_cast<HINSTANCE>(kNoAssociation);
    // A web address as it is; anything else names a file, with "\" separating as in the file
    // calls (the HTML help beside the help file).
    const bool address = call.file.find("://") != std::string::npos;
    const QUrl url =
        address
            ? QUrl::fromUserInput(QString::fromStdString(call.file))
            : QUrl::fromLocalFile(QString::fromStdString(brisvane::platform::LocalPath(call.file)));
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
