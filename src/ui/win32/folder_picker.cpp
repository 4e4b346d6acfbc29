#include "ui/folder_picker.h"

#include "platform/win32.h"

#include <objbase.h>
#include <shlobj.h>

namespace ui {

namespace {

// The system's folder picker, owned by the caller's window, with the prompt above the tree.
std::optional<std::string> PickSystemFolder(const FolderPickerCall& call) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::optional<std::string> chosen;
    IMalloc* shellMemory = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMemory))) {
        char displayName[MAX_PATH] = "";
        BROWSEINFOA browse{};
        browse.hwndOwner = call.owner;
        browse.pszDisplayName = displayName;
        browse.lpszTitle = call.prompt.c_str();
        browse.ulFlags = BIF_RETURNONLYFSDIRS;
        if (LPITEMIDLIST item = SHBrowseForFolderA(&browse)) {
            char path[MAX_PATH] = "";
            if (SHGetPathFromIDListA(item, path))
                chosen = path;
            shellMemory->Free(item);
        }
        shellMemory->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return chosen;
}

} // namespace

Seam<FolderPickerCall, std::optional<std::string>>& FolderPickerSeam() {
    static Seam<FolderPickerCall, std::optional<std::string>> seam(PickSystemFolder);
    return seam;
}

std::optional<std::string> BrowseForFolder(HWND owner, const std::string& prompt) {
    return FolderPickerSeam()({owner, prompt});
}

} // namespace ui
