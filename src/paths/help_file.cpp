#include "paths/help_file.h"

#include "settings/registry.h"
#include "settings/registry_layout.h"

std::string HelpFilePath() {
    TRegistry registry;
    registry.SetRoot(HKEY_LOCAL_MACHINE);
    registry.OpenSubkey(layout::kAppPathsKey, false);
    const std::string folder = registry.ReadText(layout::kInstallFolderValue);
    registry.CloseSubkey();
    return folder + "\\brisvan.hlp";
}
