#include "cleaner/folder_purge.h"

#include "cleaner/keep_answering.h"
#include "platform/folder_walk.h"
#include "platform/root_or_home.h"
#include "platform/win32.h"

#include <random>
#include <string>

namespace {

constexpr DWORD kNotPlain =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
constexpr int kHistorySkip = 2;
constexpr int kCacheSkip = 3;
constexpr int kParkingSlots = 100;
constexpr int kRandomDraws = 100;

using brisvane::platform::FolderEntries;
using brisvane::platform::HeldFolder;
using brisvane::platform::IsEntryName;
using brisvane::platform::MoveFolderInto;

// The next entry of a walk; a large folder keeps the program answering while it is walked.
bool NextEntry(FolderEntries& entries) {
    KeepAnswering();
    return entries.Next();
}

bool IsPlainFile(DWORD attributes) {
    return (attributes & kNotPlain) == 0;
}

// A folder that a walk may enter, park or remove: never a link or other reparse point, so that
// no walk can reach files outside the folder it cleans.
bool IsRealFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// "0" to "99", without leading zeros.
bool IsParkedFolderName(const std::string& name) {
    if (name.empty() || name.size() > 2)
        return false;
    for (char c : name) {
        if (c < '0' || c > '9')
            return false;
    }
    return name.size() == 1 || name[0] != '0';
}

int DrawParkingNumber() {
    static std::mt19937 generator{std::random_device{}()};
    return static_cast<int>(generator() % kParkingSlots);
}

enum class MoveOutcome { Moved, NameTaken, Refused };

// `move` moves the folder being parked under the name it is given.
template <typename Move> MoveOutcome TryPark(Move& move, int number) {
    if (move(std::to_string(number)))
        return MoveOutcome::Moved;
    const DWORD error = GetLastError();
    return (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) ? MoveOutcome::NameTaken
                                                                         : MoveOutcome::Refused;
}

// Random numbers first; when they keep hitting taken names, every free number in turn.
// Any other failure (another file system, a refusal) would repeat for every number.
template <typename Move> bool ParkInto(Move move) {
    for (int draw = 0; draw < kRandomDraws; ++draw) {
        const MoveOutcome outcome = TryPark(move, DrawParkingNumber());
        if (outcome != MoveOutcome::NameTaken)
            return outcome == MoveOutcome::Moved;
    }
    for (int number = 0; number < kParkingSlots; ++number) {
        const MoveOutcome outcome = TryPark(move, number);
        if (outcome != MoveOutcome::NameTaken)
            return outcome == MoveOutcome::Moved;
    }
    return false;
}

} // namespace

void PurgeFiles() {
    // Nothing here depends on the order of the entries, so they are taken as the folder gives
    // them; a folder is passed over by what the listing says, without a further look.
    FolderEntries entries(FolderEntries::Order::AnyOrder);
    while (NextEntry(entries)) {
        if (entries.IsFolder() || !IsEntryName(entries.Name()))
            continue;
        // An entry gone since it was listed has every bit set: it is no plain file.
        if (IsPlainFile(entries.Attributes()))
            entries.DeleteLater();
    }
}

namespace {

// DropDesktopIni that tells whether a "desktop.ini" file is still there afterwards. The name is
// looked up once: the spelling found is the one changed and deleted.
bool DropDesktopIniAndCheck() {
    std::string spelling;
    DWORD attributes = 0;
    if (!brisvane::platform::FindEntry("desktop.ini", spelling, attributes))
        return false;
    // A "desktop.ini" whose attributes can't be reset (one with other names elsewhere, say),
    // or that is a link, is left as it is.
    if (brisvane::platform::ResetAttributesNotLink(spelling.c_str()) &&
        brisvane::platform::DeleteFileNotLink(spelling.c_str()))
        return false;
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

void DropDesktopIni() {
    DropDesktopIniAndCheck();
}

void ParkSubfolders(const HeldFolder& install) {
    // The History folder is held rather than named again, so no link put in its place can
    // redirect a move.
    const HeldFolder history = HeldFolder::Current();
    // Folders parked in the home folder or a root would never be cleared away from there.
    if (!history.Valid() || !EnterFolder(install) || !history.MakeCurrent())
        return;
    FolderEntries entries(FolderEntries::Order::Listing);
    int counter = 0;
    while (NextEntry(entries)) {
        if (counter++ < kHistorySkip || !entries.IsFolder() || !IsEntryName(entries.Name()))
            continue;
        // Entering tells a folder of its own from a link or mount put there since the listing;
        // the History folder is made current again before the next entry.
        if (!entries.EnterAsSubfolder())
            continue;
        if (!history.MakeCurrent())
            return;
        ParkInto([&](const std::string& number) { return entries.MoveInto(install, number); });
    }
}

void ParkSubfolders(const std::string& installFolder) {
    ParkSubfolders(HeldFolder::OpenWithoutFollowing(installFolder));
}

bool ParkFolder(const std::string& folder, const std::string& installFolder) {
    const HeldFolder install = HeldFolder::OpenWithoutFollowing(installFolder);
    if (!install.Valid())
        return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsRealFolder(attributes))
        return false;
    return ParkInto(
        [&](const std::string& number) { return MoveFolderInto(folder.c_str(), install, number); });
}

void EmptySubfolders() {
    // Every return to the cache folder goes through this hold on it, never its path.
    const HeldFolder cache = HeldFolder::Current();
    if (!cache.Valid())
        return;
    FolderEntries entries(FolderEntries::Order::Listing);
    // Once the cache folder's own "desktop.ini" is gone, or its plain files have been purged,
    // doing it again for each later entry changes nothing; skipping keeps a large cache folder
    // from being read once per entry.
    bool cacheIniMayExist = true;
    bool cacheFilesPurged = false;
    int counter = 0;
    while (NextEntry(entries)) {
        const char* name = entries.Name();
        const bool pastSkipped = counter++ >= kCacheSkip;
        // A link, or a name that could mean another entry, is left entirely alone.
        if (entries.IsLink() || !IsEntryName(name))
            continue;
        if (!pastSkipped) {
            if (entries.IsFolder())
                entries.RemoveFolder();
            continue;
        }
        if (cacheIniMayExist)
            cacheIniMayExist = DropDesktopIniAndCheck();
        if (entries.IsFolder()) {
            // Only a walk that went into the entry needs to come back to the cache folder.
            if (entries.EnterAsSubfolder()) {
                // The plain files first: a plain "desktop.ini" goes with them, and the look
                // for one spelled in another case then reads what is left, not the whole folder.
                PurgeFiles();
                DropDesktopIni();
                if (!cache.MakeCurrent())
                    return;
            }
            entries.RemoveFolder();
        } else if (!cacheFilesPurged && entries.Attributes() != INVALID_FILE_ATTRIBUTES) {
            // A file can't be entered: the cache folder is still current, and its own files
            // go. A file deleted since the listing began is not taken for one.
            PurgeFiles();
            cacheFilesPurged = true;
        }
    }
}

bool EnterFolder(const HeldFolder& folder) {
    return folder.MakeCurrent() && !brisvane::platform::CurrentFolderIsRootOrHome();
}

void PurgeParkedFolders(const std::string& installFolder) {
    // Held once, never through a link: a link put in the install folder's place between runs
    // leads to folders this program never parked. An install folder cut short to the home
    // folder or a root holds the user's own folders.
    const HeldFolder install = HeldFolder::OpenWithoutFollowing(installFolder);
    if (!EnterFolder(install))
        return;
    FolderEntries entries(FolderEntries::Order::Listing);
    while (NextEntry(entries)) {
        const char* name = entries.Name();
        // Only folders this program parked: a wrong install folder must not lose other files.
        // Every parked name sorts before the program's own files, so no count of leading
        // entries is skipped: "." and ".." are not parked names.
        if (!IsParkedFolderName(name) || !entries.IsFolder())
            continue;
        if (!entries.EnterAsSubfolder())
            continue;
        PurgeFiles();
        if (!install.MakeCurrent())
            return;
        entries.RemoveFolder();
    }
}
