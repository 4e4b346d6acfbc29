#include "cleaner/netscape_profile.h"

#include "cleaner/folder_purge.h"
#include "cleaner/prefs_filter.h"
#include "platform/folder_walk.h"
#include "platform/win32.h"

namespace {

// The file layer matches these names without regard to case. A missing or read-only file
// simply stays: the delete changes no attribute. A link stays too, and so does what it leads to.
void DeleteIfTicked(CleaningRunHost& host, CleaningOption option, const char* name) {
    if (host.IsTicked(option))
        brisvane::platform::DeleteFileNotLink(name);
}

void CleanNetscapeFolder(CleaningRunHost& host, const brisvane::platform::HeldFolder& folder,
                         bool filterPrefs) {
    // A folder that cannot be entered skips the whole step, so that nothing, its "cache"
    // included, is looked for in whatever folder happens to be current.
    if (!EnterFolder(folder))
        return;
    DeleteIfTicked(host, CleaningOption::Cookies, "COOKIES.TXT");
    DeleteIfTicked(host, CleaningOption::Favorites, "BOOKMARK.HTM");
    DeleteIfTicked(host, CleaningOption::History, "NETSCAPE.HST");
    if (filterPrefs && host.IsTicked(CleaningOption::UrlRegistry))
        FilterPrefs();
    // "cache" is entered only as a folder of its own: not through a link, not onto another
    // file system.
    if (host.IsTicked(CleaningOption::Cache) && brisvane::platform::EnterSubfolder("cache"))
        PurgeFiles();
}

} // namespace

void CleanNetscape4Folder(CleaningRunHost& host, const brisvane::platform::HeldFolder& folder) {
    CleanNetscapeFolder(host, folder, true);
}

void CleanNetscape3Folder(CleaningRunHost& host, const brisvane::platform::HeldFolder& folder) {
    CleanNetscapeFolder(host, folder, false);
}
