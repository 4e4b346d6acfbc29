// The folder picker: a modal dialog owned by the caller's window that lets the user choose an
// existing folder, with the prompt as its title.
#pragma once

#include "platform/win32.h"
#include "ui/seam.h"

#include <optional>
#include <string>

namespace ui {

// The chosen folder's full path, or nothing when the user cancelled.
std::optional<std::string> BrowseForFolder(HWND owner, const std::string& prompt);

struct FolderPickerCall {
    HWND owner;
    std::string prompt;
};

Seam<FolderPickerCall, std::optional<std::string>>& FolderPickerSeam();

class FolderPickerRecorder : public SeamRecorder<FolderPickerCall, std::optional<std::string>> {
public:
    FolderPickerRecorder() : SeamRecorder(FolderPickerSeam(), std::nullopt) {}
};

} // namespace ui
