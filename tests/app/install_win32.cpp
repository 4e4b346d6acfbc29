#include "app_fixture.h"
#include "settings/registry_layout.h"

namespace app_test {

// What the installer writes: the App Paths entry, and the Run key every Windows system has.
std::string InstallProgram(const std::string& folder) {
    const std::string program = folder + "\\brisvan.exe";
    SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, "", program);
    SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue, folder);
    SetText(HKEY_LOCAL_MACHINE, layout::kRunKey, "Other", "C:\\Other\\other.exe");
    return program;
}

} // namespace app_test
