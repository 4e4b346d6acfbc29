#include "cleaner/cleaning_run.h"

#include "cleaner/folder_purge.h"
#include "cleaner/keep_answering.h"
#include "cleaner/netscape_profile.h"
#include "cleaner/typed_urls.h"
#include "platform/win32.h"
#include "platform/wine_browsers.h"
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

using brisvane::platform::HeldFolder;

// The run's folders, each resolved once as the run starts and held open until it ends. No step
// goes by a path again, so a folder renamed, or replaced by a link, while the run goes on (by
// another program, or in the settings dialog while messages are processed) cannot lead a step
// anywhere else.
struct RunFolders {
    HeldFolder cookies;
    HeldFolder favorites;
    HeldFolder history;
    HeldFolder cache;
    HeldFolder netscapeFour;
    HeldFolder netscapeThree;
    HeldFolder install;
};

// A value of the wrong type holds no folder here; the step that reads it raises the error.
HeldFolder HoldPath(TRegistry& paths, const char* value) {
    try {
        return HeldFolder::Open(paths.ReadText(value));
    } catch (const ERegistryException&) {
        return HeldFolder::Open("");
    }
}

RunFolders HoldRunFolders(TRegistry& paths, const std::string& installFolder) {
    return {HoldPath(paths, layout::kIeCookiePath), HoldPath(paths, layout::kIeFavoritesPath),
            HoldPath(paths, layout::kIeHistoryPath), HoldPath(paths, layout::kIeCachePath),
            HoldPath(paths, layout::kNetscape4Path), HoldPath(paths, layout::kNetscape3Path),
            // The program made the install folder itself: a link there is someone else's.
            HeldFolder::OpenWithoutFollowing(installFolder)};
}

// Each step still reads its path as it starts, so that a value of the wrong type ends the run
// there; what it cleans is the folder held since the run began.
const HeldFolder& StepFolder(TRegistry& paths, const char* value, const HeldFolder& held) {
    paths.ReadText(value);
    return held;
}

void CleanIeCookies(CleaningRunHost& host, TRegistry& paths, const RunFolders& folders) {
    if (!host.IsTicked(CleaningOption::Cookies))
        return;
    if (EnterFolder(StepFolder(paths, layout::kIeCookiePath, folders.cookies)))
        PurgeFiles();
}

void CleanIeFavorites(CleaningRunHost& host, TRegistry& paths, const RunFolders& folders) {
    const HeldFolder& folder = StepFolder(paths, layout::kIeFavoritesPath, folders.favorites);
    if (host.IsTicked(CleaningOption::Favorites) && EnterFolder(folder))
        PurgeFiles();
}

void CleanIeHistory(CleaningRunHost& host, TRegistry& paths, const RunFolders& folders) {
    const HeldFolder& folder = StepFolder(paths, layout::kIeHistoryPath, folders.history);
    if (!host.IsTicked(CleaningOption::History) || !EnterFolder(folder))
        return;
    DropDesktopIni();
    PurgeFiles();
    // Without an existing install folder the subfolders stay where they are.
    ParkSubfolders(folders.install);
}

void CleanIeCache(CleaningRunHost& host, TRegistry& paths, const RunFolders& folders) {
    const HeldFolder& folder = StepFolder(paths, layout::kIeCachePath, folders.cache);
    if (host.IsTicked(CleaningOption::Cache) && EnterFolder(folder))
        EmptySubfolders();
}

void CleanTickedCategories(CleaningRunHost& host, TRegistry& paths, const RunFolders& folders) {
    host.SetNextCursor(RunCursor::HourGlass);
    host.ShowProgress();
    host.ProcessMessages();
    host.AdvanceProgress();

    CleanIeCookies(host, paths, folders);
    CleanIeFavorites(host, paths, folders);
    CleanIeHistory(host, paths, folders);

    host.AdvanceProgress();
    host.ProcessMessages();

    CleanIeCache(host, paths, folders);

    const HeldFolder& netscapeFour =
        StepFolder(paths, layout::kNetscape4Path, folders.netscapeFour);
    host.AdvanceProgress();
    CleanNetscape4Folder(host, netscapeFour);

    CleanNetscape3Folder(host, StepFolder(paths, layout::kNetscape3Path, folders.netscapeThree));

    host.AdvanceProgress();
    if (host.IsTicked(CleaningOption::UrlRegistry))
        RemoveTypedUrls();
}

} // namespace

void RunCleaning(CleaningRunHost& host) {
    {
        TRegistry paths;
        paths.SetRoot(HKEY_CURRENT_USER);
        const bool pathsOpened = paths.OpenSubkeyReadOnly(layout::kPathsKey);
        const std::string installFolder = ReadInstallFolder();
        if (!pathsOpened) {
            host.ShowNotice(kFirstRunNotice);
            host.ShowSettingsDialog();
            return;
        }
        // The typed-address step, last, works on the Wine prefix chosen before the folders
        // that single it out are emptied.
        brisvane::platform::ChosenWinePrefix();
        {
            const RunFolders folders = HoldRunFolders(paths, installFolder);
            const KeepAnsweringScope answering([&host] { host.KeepAnswering(); });
            CleanTickedCategories(host, paths, folders);
        }
        paths.CloseSubkey();
    }
    host.SetNextCursor(RunCursor::Arrow);
    host.CloseProgress();
    host.ShowFinishPage();
}
