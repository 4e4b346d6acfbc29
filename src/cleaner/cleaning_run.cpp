#include "cleaner/cleaning_run.h"

#include "cleaner/folder_purge.h"
#include "cleaner/keep_answering.h"
#include "cleaner/netscape_profile.h"
#include "cleaner/typed_urls.h"
#include "platform/win32.h"
#include "settings/install_folder.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"

namespace {

// Shown instead of cleaning while the browser paths have never been confirmed.
const char* const kFirstRunNotice =
    "Welcome to Brisvane!\n\n"
    "Since this is the first time you have launched Brisvane, please review the browser data file "
    "paths that Brisvane has detected.\n\n"
    "Non-existent or extra paths may be present due to many factors, such as deleting a previously "
    "used browser.  Brisvane will automatically skip over non-existent paths during the cleaning "
    "process.\n\n"
    "If you are using Netscape v4.x and not v3.x, then make sure the path to the v3.x directory is "
    "BLANK.  If you are using Netscape v3.x and not v4.x, make sure the path to the 4.x directory "
    "is BLANK.  If you are using both Netscape versions, make sure both paths are correctly "
    "listed.";

void CleanIeCookies(CleaningRunHost& host, TRegistry& paths) {
    if (!host.IsTicked(CleaningOption::Cookies))
        return;
    if (EnterFolder(paths.ReadText(layout::kIeCookiePath)))
        PurgeFiles();
}

void CleanIeFavorites(CleaningRunHost& host, TRegistry& paths) {
    const std::string folder = paths.ReadText(layout::kIeFavoritesPath);
    if (host.IsTicked(CleaningOption::Favorites) && EnterFolder(folder))
        PurgeFiles();
}

void CleanIeHistory(CleaningRunHost& host, TRegistry& paths, const std::string& installFolder) {
    const std::string folder = paths.ReadText(layout::kIeHistoryPath);
    if (!host.IsTicked(CleaningOption::History) || !EnterFolder(folder))
        return;
    DropDesktopIni();
    PurgeFiles();
    // Without an existing install folder the subfolders stay where they are.
    ParkSubfolders(installFolder);
}

void CleanIeCache(CleaningRunHost& host, TRegistry& paths) {
    const std::string folder = paths.ReadText(layout::kIeCachePath);
    if (host.IsTicked(CleaningOption::Cache) && EnterFolder(folder))
        EmptySubfolders();
}

void CleanTickedCategories(CleaningRunHost& host, TRegistry& paths,
                           const std::string& installFolder) {
    host.SetNextCursor(RunCursor::HourGlass);
    host.ShowProgress();
    host.ProcessMessages();
    host.AdvanceProgress();

    CleanIeCookies(host, paths);
    CleanIeFavorites(host, paths);
    CleanIeHistory(host, paths, installFolder);

    host.AdvanceProgress();
    host.ProcessMessages();

    CleanIeCache(host, paths);

    const std::string netscapeFour = paths.ReadText(layout::kNetscapeOnePath);
    host.AdvanceProgress();
    CleanNetscape4Folder(host, netscapeFour);

    CleanNetscape3Folder(host, paths.ReadText(layout::kNetscapeTwoPath));

    host.AdvanceProgress();
    if (host.IsTicked(CleaningOption::UrlRegistry))
        RemoveTypedUrls();
}

} // namespace

void RunCleaning(CleaningRunHost& host) {
    {
        TRegistry paths;
        paths.SetRoot(HKEY_CURRENT_USER);
        const bool pathsOpened = paths.OpenSubkey(layout::kPathsKey, false);
        const std::string installFolder = ReadInstallFolder();
        if (!pathsOpened) {
            host.ShowNotice(kFirstRunNotice);
            host.ShowSettingsDialog();
            return;
        }
        {
            const KeepAnsweringScope answering([&host] { host.KeepAnswering(); });
            CleanTickedCategories(host, paths, installFolder);
        }
        paths.CloseSubkey();
    }
    host.SetNextCursor(RunCursor::Arrow);
    host.CloseProgress();
    host.ShowFinishPage();
}
