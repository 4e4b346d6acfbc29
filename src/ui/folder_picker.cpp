#include "ui/folder_picker.h"

#include "ui/handle.h"

#include <QDir>
#include <QFileDialog>

namespace ui {

namespace {

std::optional<std::string> PickRealFolder(const FolderPickerCall& call) {
    const QString chosen = QFileDialog::getExistingDirectory(FromHandle(call.owner),
                                                             QString::fromStdString(call.prompt),
                                                             QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen).toStdString();
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
