#include "cleaner/folder_purge.h"

#include "cleaner/keep_answering.h"
#include "platform/root_or_home.h"
#include "platform/win32.h"

#include <random>
#include <string>

namespace {

constexpr DWORD kNotPlain =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
constexpr int kHistorySkip = 2;
constexpr int kCacheSkip = 3;
constexpr int kParkedSkip = 3;
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

bool IsPlainFile(DWORD attributes) {
    return (attributes & kNotPlain) == 0;
}

// A folder that a walk may enter, park or remove: never a link or other reparse point, so that
// no walk can reach files outside the folder it cleans.
bool IsRealFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsExistingFolder(const std::string& path) {
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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

MoveOutcome TryPark(const std::string& folder, const std::string& installFolder, int number) {
    const std::string target = installFolder + "\\" + std::to_string(number);
    if (MoveFileA(folder.c_str(), target.c_str()))
        return MoveOutcome::Moved;
    const DWORD error = GetLastError();
    return (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) ? MoveOutcome::NameTaken
                                                                         : MoveOutcome::Refused;
}

} // namespace

void PurgeFiles() {
    Listing listing;
    if (!listing.Valid())
        return;
    do {
        if (IsPlainFile(listing.Entry().dwFileAttributes))
            DeleteFileA(listing.Entry().cFileName);
    } while (listing.Next());
}

void DropDesktopIni() {
    SetFileAttributesA("desktop.ini", FILE_ATTRIBUTE_NORMAL);
    DeleteFileA("desktop.ini");
}

void ParkSubfolders(const std::string& historyFolder, const std::string& installFolder) {
    // Without an install folder to hold them, the subfolders stay where they are.
    if (!IsExistingFolder(installFolder))
        return;
    Listing listing;
    if (!listing.Valid())
        return;
    int counter = 0;
    do {
        const WIN32_FIND_DATAA& entry = listing.Entry();
        if (counter++ < kHistorySkip || !IsRealFolder(entry.dwFileAttributes))
            continue;
        ParkFolder(historyFolder + "\\" + entry.cFileName, installFolder);
        if (!SetCurrentDirectoryA(historyFolder.c_str()))
            return;
    } while (listing.Next());
}

bool ParkFolder(const std::string& folder, const std::string& installFolder) {
    if (!IsExistingFolder(installFolder))
        return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsRealFolder(attributes))
        return false;
    // Random numbers first; when they keep hitting taken names, every free number in turn.
    // Any other failure (another file system, a refusal) would repeat for every number.
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

void EmptySubfolders(const std::string& cacheFolder) {
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
        const bool realFolder = IsRealFolder(entry.dwFileAttributes);
        if (counter++ >= kCacheSkip) {
            dropCacheIni();
            if (realFolder && SetCurrentDirectoryA(entry.cFileName)) {
                DropDesktopIni();
                PurgeFiles();
            } else {
                // Not entered: the cache folder is still current, and its own files go.
                dropCacheIni();
                if (!cacheFilesPurged) {
                    PurgeFiles();
                    cacheFilesPurged = true;
                }
            }
        }
        if (!SetCurrentDirectoryA(cacheFolder.c_str()))
            return;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
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
    Listing listing;
    if (!listing.Valid())
        return;
    int counter = 0;
    do {
        const WIN32_FIND_DATAA& entry = listing.Entry();
        const std::string name = entry.cFileName;
        // Only folders this program parked: a wrong install folder must not lose other files.
        if (counter++ < kParkedSkip || !IsParkedFolderName(name) ||
            !IsRealFolder(entry.dwFileAttributes))
            continue;
        if (!SetCurrentDirectoryA(name.c_str()))
            continue;
        PurgeFiles();
        if (!SetCurrentDirectoryA(installFolder.c_str()))
            return;
        RemoveDirectoryA((installFolder + "\\" + name + "\\").c_str());
    } while (listing.Next());
}
