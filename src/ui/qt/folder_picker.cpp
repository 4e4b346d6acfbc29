#include "ui/folder_picker.h"

#include "ui/qt/handle.h"
#include "ui/qt/window_font.h"

#include <QDir>
#include <QFileDialog>
#include <QUrl>

namespace ui {

namespace {

std::optional<std::string> PickRealFolder(const FolderPickerCall& call) {
    QFileDialog picker(FromHandle(call.owner), QString::fromStdString(call.prompt));
    picker.setFont(SystemFont());
    picker.setFileMode(QFileDialog::Directory);
    // Qt's own dialog, so that it blocks only its owner: the program's other windows stay
    // usable, as they do beside the Windows picker.
    picker.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    picker.setWindowModality(Qt::WindowModal);
    // The top of the namespace, whatever folder the process happens to be in.
    picker.setDirectory(QDir::rootPath());
    picker.setSidebarUrls(
        {QUrl::fromLocalFile(QDir::rootPath()), QUrl::fromLocalFile(QDir::homePath())});
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(picker.selectedFiles().constFirst()).toStdString();
}

} // namespace

Seam<FolderPickerCall, std::optional<std::string>>& FolderPickerSeam() {
    static Seam<FolderPickerCall, std::optional<std::string>> seam(PickRealFolder);
    return seam;
}

std::optional<std::string> BrowseForFolder(HWND owner, const std::string& prompt) {
    return FolderPickerSeam()({owner, prompt});
}

} // namespace ui
