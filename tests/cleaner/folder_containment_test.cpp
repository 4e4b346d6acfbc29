// The walks on folders that Linux can make hostile: names holding "\", links put where
// folders were, other file systems mounted inside, hard links and stored attributes. Whatever
// a cleaned folder holds, nothing outside it may be deleted, moved or changed.
#include "cleaner/folder_purge.h"
#include "cleaner/netscape_profile.h"
#include "cleaner_test_helpers.h"
#include "folder_fixture.h"
#include "platform/win32.h"
#include "recording_host.h"
#include "support/child_process.h"
#include "support/file_setup.h"
#include "support/outside_snapshot.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class FolderContainmentTest : public FolderFixture {
protected:
    // "outside" with files and a subfolder, recorded as it is now.
    std::string Outside() {
        const std::string outside = Folder("outside", {"precious.txt", "notes.txt"});
        Folder("outside/docs", {"letter.txt"});
        m_outsideBefore = Snapshot(outside);
        return outside;
    }

    void ExpectOutsideUntouched() { EXPECT_EQ(Snapshot(Path("outside")), m_outsideBefore); }

    void Enter(const std::string& folder) { ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str())); }

    std::map<std::string, std::string> m_outsideBefore;
};

// `path` spelled with backslashes, as a Windows name would be.
std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Mounts a small file system at `folder`; Mounted() is false where this machine does not allow
// it (only root may mount), and WhyNot() then says why.
class ScopedMount {
public:
    explicit ScopedMount(const std::string& folder) : m_folder(folder) {
        m_mounted = mount("brisvane-test", folder.c_str(), "tmpfs", 0, "size=1m") == 0;
        if (!m_mounted)
            m_whyNot =
                std::string("no second file system to test with: mounting a tmpfs failed (") +
                std::strerror(errno) + "): mounting needs root (CAP_SYS_ADMIN)";
    }
    ~ScopedMount() {
        if (m_mounted)
            umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    const std::string& WhyNot() const { return m_whyNot; }

private:
    std::string m_folder;
    bool m_mounted = false;
    std::string m_whyNot;
};

} // namespace

TEST_F(FolderContainmentTest, NamesHoldingBackslashesNeverReachOtherPaths) {
    const std::string outside = Outside();
    // A plain file named like an absolute path, one climbing out through "..", one through a link.
    const std::string favorites = Folder("Favorites", {"plain.url"});
    Folder("Favorites/sub");
    WriteFile(favorites + "/" + Backslashed(outside + "/precious.txt"), "odd");
    WriteFile(favorites + "/sub\\..\\..\\outside\\notes.txt", "odd");
    fs::create_symlink(outside, favorites + "/link");
    WriteFile(favorites + "/link\\precious.txt", "odd");
    ASSERT_NO_FATAL_FAILURE(Enter(favorites));

    PurgeFiles();

    ExpectOutsideUntouched();
    EXPECT_FALSE(Exists(favorites + "/plain.url"));
}

TEST_F(FolderContainmentTest, CacheAndHistoryWalksLeaveFoldersNamedLikePathsAlone) {
    const std::string outside = Outside();
    const std::string cache = Folder("Cache");
    Folder("Cache/A");
    Folder("Cache/B");
    Folder("Cache/" + Backslashed(outside + "/docs"), {"inside.txt"});
    ASSERT_NO_FATAL_FAILURE(Enter(cache));
    EmptySubfolders();
    ExpectOutsideUntouched();

    const std::string history = Folder("History");
    Folder("History/..\\outside\\docs", {"inside.txt"});
    Folder("History/Today", {"a"});
    const std::string install = Folder("Install");
    ASSERT_NO_FATAL_FAILURE(Enter(history));
    ParkSubfolders(install);
    ExpectOutsideUntouched();
    EXPECT_EQ(Tree(history),
              (std::set<std::string>{"..\\outside\\docs/", "..\\outside\\docs/inside.txt"}));
}

TEST_F(FolderContainmentTest, ALinkInTheCacheFolderIsNeitherEnteredNorTakenForAFile) {
    const std::string outside = Outside();
    // Only folders and a link follow the third entry, so the cache folder's own files stay.
    const std::string cache = Folder("Cache", {"0first.htm"});
    Folder("Cache/A", {"a"});
    fs::create_symlink(outside + "/docs", cache + "/B-link");
    Folder("Cache/C", {"c"});
    ASSERT_NO_FATAL_FAILURE(Enter(cache));

    EmptySubfolders();

    ExpectOutsideUntouched();
    EXPECT_EQ(Tree(cache), (std::set<std::string>{"0first.htm", "B-link"}));
}

TEST_F(FolderContainmentTest, ANetscapeCacheThatIsALinkIsNotEntered) {
    const std::string outside = Outside();
    const std::string profile = Folder("profile", {"COOKIES.TXT"});
    fs::create_symlink(outside, profile + "/cache");
    RecordingHost host;
    host.TickAll();

    CleanNetscape3Folder(host, brisvane::platform::HeldFolder::Open(profile));

    ExpectOutsideUntouched();
    EXPECT_EQ(Tree(profile), std::set<std::string>{"cache"});
}

TEST_F(FolderContainmentTest, FoldersOfAnotherFileSystemAreNotEntered) {
    const std::string cache = Folder("Cache");
    Folder("Cache/A");
    Folder("Cache/B");
    Folder("Cache/C");
    const std::string mounted = Folder("Cache/D");
    const ScopedMount mount(mounted);
    if (!mount.Mounted())
        GTEST_SKIP() << mount.WhyNot();
    WriteFile(mounted + "/other-volume.txt", "x");
    const std::string install = Folder("Install");
    Folder("Install/0");
    Folder("Install/7");
    const ScopedMount parkedMount(install + "/7");
    ASSERT_TRUE(parkedMount.Mounted());
    WriteFile(install + "/7/other-volume.txt", "x");

    ASSERT_NO_FATAL_FAILURE(Enter(cache));
    EmptySubfolders();
    PurgeParkedFolders(install);

    EXPECT_TRUE(Exists(mounted + "/other-volume.txt"));
    EXPECT_TRUE(Exists(install + "/7/other-volume.txt"));
}

TEST_F(FolderContainmentTest, ADesktopIniWithOtherNamesIsLeftAlone) {
    const std::string outside = Outside();
    chmod((outside + "/precious.txt").c_str(), 0444);
    m_outsideBefore = Snapshot(outside);
    const std::string history = Folder("History");
    fs::create_hard_link(outside + "/precious.txt", history + "/desktop.ini");
    ASSERT_NO_FATAL_FAILURE(Enter(history));

    DropDesktopIni();

    ExpectOutsideUntouched();
}

TEST_F(FolderContainmentTest, TheStoredReadOnlyBitKeepsAFileUntilItIsCleared) {
    const std::string folder = Folder("Cookies", {"plain.txt", "samba-locked.txt", "desktop.ini"});
    // As Samba stores read-only files: the owner write bit set, read-only in the attribute.
    ASSERT_EQ(setxattr((folder + "/samba-locked.txt").c_str(), "user.DOSATTRIB", "0x21", 4, 0), 0);
    ASSERT_EQ(setxattr((folder + "/desktop.ini").c_str(), "user.DOSATTRIB", "0x27", 4, 0), 0);
    ASSERT_NO_FATAL_FAILURE(Enter(folder));

    EXPECT_TRUE(GetFileAttributesA("samba-locked.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileA("samba-locked.txt"));
    PurgeFiles();
    EXPECT_EQ(Tree(folder), (std::set<std::string>{"desktop.ini", "samba-locked.txt"}));

    DropDesktopIni();
    EXPECT_EQ(Tree(folder), std::set<std::string>{"samba-locked.txt"});
}

TEST_F(FolderContainmentTest, AFileWhoseStoredAttributesCannotBeReadIsKept) {
    struct Case {
        const char* name;
        std::vector<long> failing; // the reads that fail, with `error`
        int error;
        std::set<std::string> left;
        DWORD hiddenSeenAs; // by GetFileAttributesA and in a listing
    };
    const std::set<std::string> kept{"hidden.txt", "samba-locked.txt", "system.txt"};
    const std::set<std::string> all{"desktop.ini", "hidden.txt", "plain.txt", "samba-locked.txt",
                                    "system.txt"};
    const std::vector<Case> cases{
        {"relative-read-refused", {kSysGetxattrat}, EPERM, kept, FILE_ATTRIBUTE_HIDDEN},
        {"reads-by-path-failing-too",
         {kSysGetxattrat, SYS_getxattr, SYS_lgetxattr},
         EIO,
         kept,
         FILE_ATTRIBUTE_HIDDEN},
        {"every-read-failing", AttributeReadCalls(), EIO, all, FILE_ATTRIBUTE_READONLY},
    };
    for (const Case& c : cases) {
        const std::string folder = Folder(
            c.name, {"desktop.ini", "hidden.txt", "plain.txt", "samba-locked.txt", "system.txt"});
        SetDosAttributes(folder + "/hidden.txt", FILE_ATTRIBUTE_HIDDEN);
        SetDosAttributes(folder + "/system.txt", FILE_ATTRIBUTE_SYSTEM);
        SetDosAttributes(folder + "/desktop.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        ASSERT_EQ(setxattr((folder + "/samba-locked.txt").c_str(), "user.DOSATTRIB", "0x21", 4, 0),
                  0);
        ASSERT_NO_FATAL_FAILURE(Enter(folder));

        const ChildOutcome outcome = RunWithFailingCalls(c.failing, c.error, [] {
            PurgeFiles();
            DeleteFileA("plain.txt");
            DeleteFileA("samba-locked.txt");
            DropDesktopIni();
            WIN32_FIND_DATAA data;
            const HANDLE find = FindFirstFileA("hidden.txt", &data);
            if (find == INVALID_HANDLE_VALUE)
                return 100;
            FindClose(find);
            const DWORD byName = GetFileAttributesA("hidden.txt");
            return byName == data.dwFileAttributes ? static_cast<int>(byName & 0x7) : 101;
        });
        if (!outcome.ran)
            GTEST_SKIP() << "no seccomp filter can make the attribute reads fail: "
                         << outcome.whyNot;
        EXPECT_EQ(Tree(folder), c.left) << c.name;
        EXPECT_EQ(outcome.result, static_cast<int>(c.hiddenSeenAs)) << c.name;
    }
}
