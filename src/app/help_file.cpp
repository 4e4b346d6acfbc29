#include "app/help_file.h"

#include "settings/registry.h"
#include "settings/registry_layout.h"

std::string HelpFilePath() {
    std::string installFolder;
    {
        TRegistry registry;
        registry.SetRoot(HKEY_LOCAL_MACHINE);
        registry.OpenSubkey(layout::kAppPathsKey, false);
        installFolder = registry.ReadText(layout::kInstallFolderValue);
    }
    return installFolder + "\\brisvan.hlp";
}
