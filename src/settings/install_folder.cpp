#include "settings/install_folder.h"

#include "settings/registry.h"
#include "settings/registry_layout.h"

std::string ReadInstallFolder() {
    TRegistry appPaths;
    appPaths.SetRoot(HKEY_LOCAL_MACHINE);
    appPaths.OpenSubkeyReadOnly(layout::kAppPathsKey);
    std::string folder = appPaths.ReadText(layout::kInstallFolderValue);
    appPaths.CloseSubkey();
    return folder;
}
