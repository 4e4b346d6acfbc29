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

// The walks read the current folder entry by entry; the listing is closed however a walk ends.
class Listing {
public:
    Listing() : m_handle(FindFirstFileA("*.*", &m_data)) {}
    ~Listing() {
        if (m_handle != INVALID_HANDLE_VALUE)
            FindClose(m_handle);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    const WIN32_FIND_DATAA& Entry() const { return m_data; }
    bool Next() {
        KeepAnswering();
        return FindNextFileA(m_handle, &m_data) != FALSE;
    }

private:
    WIN32_FIND_DATAA m_data{};
    HANDLE m_handle;
};

using brisvane::platform::EnterSubfolder;
using brisvane::platform::HeldFolder;
using brisvane::platform::IsEntryName;
using brisvane::platform::MoveFolderInto;

bool IsPlainFile(DWORD attributes) {
    return (attributes & kNotPlain) == 0;
}

// A link or other reparse point: never entered, and not a file either.
bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
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

MoveOutcome TryPark(const char* folder, const HeldFolder& installFolder, int number) {
    if (MoveFolderInto(folder, installFolder, std::to_string(number)))
        return MoveOutcome::Moved;
    const DWORD error = GetLastError();
    return (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) ? MoveOutcome::NameTaken
                                                                         : MoveOutcome::Refused;
}

// Random numbers first; when they keep hitting taken names, every free number in turn.
// Any other failure (another file system, a refusal) would repeat for every number.
bool ParkInto(const char* folder, const HeldFolder& installFolder) {
    for (int draw = 0; draw < kRandomDraws; ++draw) {
        const MoveOutcome outcome = TryPark(folder, installFolder, DrawParkingNumber());
        if (outcome != MoveOutcome::NameTaken)
            return outcome == MoveOutcome::Moved;
    }
    for (int number = 0; number < kParkingSlots; ++number) {
        const MoveOutcome outcome = TryPark(folder, installFolder, number);
        if (outcome != MoveOutcome::NameTaken)
            return outcome == MoveOutcome::Moved;
    }
    return false;
}

} // namespace

void PurgeFiles() {
    Listing listing;
    if (!listing.Valid())
        return;
    do {
        const WIN32_FIND_DATAA& entry = listing.Entry();
        if (IsPlainFile(entry.dwFileAttributes) && IsEntryName(entry.cFileName))
            DeleteFileA(entry.cFileName);
    } while (listing.Next());
}

void DropDesktopIni() {
    // A "desktop.ini" whose attributes can't be reset (one with other names elsewhere, say)
    // is left as it is.
    if (SetFileAttributesA("desktop.ini", FILE_ATTRIBUTE_NORMAL))
        DeleteFileA("desktop.ini");
}

void ParkSubfolders(const std::string& installFolder) {
    // Without an install folder to hold them, the subfolders stay where they are. The History
    // folder is held rather than named again, so no link put in its place can redirect a move.
    const HeldFolder install = HeldFolder::Open(installFolder);
    const HeldFolder history = HeldFolder::Current();
    if (!install.Valid() || !history.Valid())
        return;
    Listing listing;
    if (!listing.Valid())
        return;
    int counter = 0;
    do {
        const WIN32_FIND_DATAA& entry = listing.Entry();
        if (counter++ < kHistorySkip || !IsRealFolder(entry.dwFileAttributes) ||
            !IsEntryName(entry.cFileName))
            continue;
        // Entering tells a folder of its own from a link or mount put there since the listing;
        // the move needs the History folder current again.
        const bool isFolder = EnterSubfolder(entry.cFileName);
        if (!history.MakeCurrent())
            return;
        if (isFolder)
            ParkInto(entry.cFileName, install);
    } while (listing.Next());
}

bool ParkFolder(const std::string& folder, const std::string& installFolder) {
    const HeldFolder install = HeldFolder::Open(installFolder);
    if (!install.Valid())
        return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsRealFolder(attributes))
        return false;
    return ParkInto(folder.c_str(), install);
}

void EmptySubfolders() {
    // Every return to the cache folder goes through this hold on it, never its path.
    const HeldFolder cache = HeldFolder::Current();
    if (!cache.Valid())
        return;
    Listing listing;
    if (!listing.Valid())
        return;
    // Once the cache folder's own "desktop.ini" is gone, or its plain files have been purged,
    // doing it again for each later entry changes nothing; skipping keeps a large cache folder
    // from being read once per entry.
    bool cacheIniMayExist = true;
    bool cacheFilesPurged = false;
    const auto dropCacheIni = [&] {
        if (!cacheIniMayExist)
            return;
        DropDesktopIni();
        const DWORD attributes = GetFileAttributesA("desktop.ini");
        cacheIniMayExist =
            attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    int counter = 0;
    do {
        const WIN32_FIND_DATAA& entry = listing.Entry();
        const DWORD attributes = entry.dwFileAttributes;
        const bool pastSkipped = counter++ >= kCacheSkip;
        // A link, or a name that could mean another entry, is left entirely alone.
        if (IsLink(attributes) || !IsEntryName(entry.cFileName))
            continue;
        if (pastSkipped) {
            dropCacheIni();
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (EnterSubfolder(entry.cFileName)) {
                    DropDesktopIni();
                    PurgeFiles();
                }
            } else if (!cacheFilesPurged) {
                // A file can't be entered: the cache folder is still current, and its own
                // files go.
                PurgeFiles();
                cacheFilesPurged = true;
            }
        }
        if (!cache.MakeCurrent())
            return;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveDirectoryA(entry.cFileName);
    } while (listing.Next());
}

bool EnterFolder(const std::string& folder) {
    return SetCurrentDirectoryA(folder.c_str()) && !brisvane::platform::CurrentFolderIsRootOrHome();
}

void PurgeParkedFolders(const std::string& installFolder) {
    // An install folder cut short to the home folder or a root holds the user's own folders.
    if (installFolder.empty() || !EnterFolder(installFolder))
        return;
    const HeldFolder install = HeldFolder::Current();
    if (!install.Valid())
        return;
    Listing listing;
    if (!listing.Valid())
        return;
    do {
        const WIN32_FIND_DATAA& entry = listing.Entry();
        const std::string name = entry.cFileName;
        // Only folders this program parked: a wrong install folder must not lose other files.
        // Every parked name sorts before the program's own files, so no count of leading
        // entries is skipped: "." and ".." are not parked names.
        if (!IsParkedFolderName(name) || !IsRealFolder(entry.dwFileAttributes))
            continue;
        if (!EnterSubfolder(name.c_str()))
            continue;
        PurgeFiles();
        if (!install.MakeCurrent())
            return;
        RemoveDirectoryA(name.c_str());
    } while (listing.Next());
}
