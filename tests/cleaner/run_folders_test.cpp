// The folders a cleaning run works in, as the user named them: each is resolved once when the
// run starts, and whatever happens to its path afterwards (a rename, a link put in its place)
// the run cleans that folder and nothing outside it.
#include "cleaner/cleaning_run.h"
#include "cleaner/folder_purge.h"
#include "cleaner_test_helpers.h"
#include "folder_fixture.h"
#include "recording_host.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/environment.h"
#include "support/outside_snapshot.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct NamedFolder {
    const char* value; // the Paths value that names it
    const char* name;
};

const NamedFolder kNamedFolders[] = {
    {layout::kIeCookiePath, "Cookies"},    {layout::kIeFavoritesPath, "Favorites"},
    {layout::kIeHistoryPath, "History"},   {layout::kIeCachePath, "Cache"},
    {layout::kNetscape4Path, "Netscape4"}, {layout::kNetscape3Path, "Netscape3"},
};

class RunFoldersTest : public FolderFixture {
protected:
    // Every named folder with something each step would remove, the install folder, and an
    // outside tree holding the same names, so that a step led outside finds work there.
    void SetUp() override {
        for (const std::string base : {"", "outside/"}) {
            for (const NamedFolder& folder : kNamedFolders)
                Folder(base + folder.name, {"plain.txt", "COOKIES.TXT", "NETSCAPE.HST"});
            Folder(base + "History/Today", {"a.dat"});
            Folder(base + "Cache/A");
            Folder(base + "Cache/B");
            Folder(base + "Cache/C", {"page.htm"});
            Folder(base + "Cache/D", {"page.htm"});
            Folder(base + "Netscape4/cache", {"x.tmp"});
            WriteFile(Path(base + "Netscape4/PREFS.JS"), "user_pref(\"a.url\", 1);\r\n");
            Folder(base + "Install/7", {"parked.dat"});
        }
        WriteFile(Path("outside/letter.txt"), "the user's own");
        m_outside = Snapshot(Path("outside"));
        TRegistry paths;
        ASSERT_TRUE(paths.OpenSubkey(layout::kPathsKey, true));
        for (const NamedFolder& folder : kNamedFolders)
            paths.WriteText(folder.value, Path(folder.name));
        SetInstallFolder(Path("Install"));
        m_host.TickAll();
    }

    static void SetInstallFolder(const std::string& folder) {
        TRegistry appPaths;
        appPaths.SetRoot(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(appPaths.OpenSubkey(layout::kAppPathsKey, true));
        appPaths.WriteText(layout::kInstallFolderValue, folder);
    }

    // Puts a link to the same name under "outside" where the folder was; the folder itself
    // goes on under `name` + ".real".
    void ReplaceByLink(const std::string& name) {
        fs::rename(Path(name), Path(name + ".real"));
        fs::create_directory_symlink(Path("outside/" + name), Path(name));
    }

    void ExpectOutsideUntouched() { EXPECT_EQ(Snapshot(Path("outside")), m_outside); }

    RecordingHost m_host;
    std::map<std::string, std::string> m_outside;
};

} // namespace

TEST_F(RunFoldersTest, FoldersReplacedByLinksDuringTheRunAreCleanedWhereTheyAre) {
    // Once the run has begun, every folder it names and the install folder give way to links.
    m_host.onProcessMessages = [this](int call) {
        if (call != 0)
            return;
        for (const NamedFolder& folder : kNamedFolders)
            ReplaceByLink(folder.name);
        ReplaceByLink("Install");
    };

    RunCleaning(m_host);

    ExpectOutsideUntouched();
    ASSERT_TRUE(m_host.Saw("finish page"));
    // The folders held from the start were cleaned, and History parked into the held install
    // folder.
    EXPECT_EQ(Tree(Path("Cookies.real")), std::set<std::string>{});
    EXPECT_EQ(Tree(Path("History.real")), std::set<std::string>{});
    EXPECT_EQ(Tree(Path("Netscape4.real")),
              (std::set<std::string>{"plain.txt", "PREFS.JS", "cache/"}));
    EXPECT_EQ(Tree(Path("Install.real")).size(), 4u);
}

TEST_F(RunFoldersTest, AFolderNamedByALinkIsFollowedOnceUnlessItLeadsHome) {
    // Cookies named through a link to a real folder is the folder the user chose; a link to the
    // home folder is refused like the home folder itself.
    fs::create_directory_symlink(Path("Cookies"), Path("cookie-link"));
    fs::create_directory_symlink(Path("outside"), Path("home-link"));
    const ScopedHome home(Path("outside"));
    TRegistry paths;
    ASSERT_TRUE(paths.OpenSubkey(layout::kPathsKey, false));
    paths.WriteText(layout::kIeCookiePath, Path("cookie-link"));
    paths.WriteText(layout::kIeFavoritesPath, Path("home-link"));

    RunCleaning(m_host);

    ExpectOutsideUntouched();
    EXPECT_EQ(Tree(Path("Cookies")), std::set<std::string>{});
}

TEST_F(RunFoldersTest, AnInstallFolderThatIsALinkNeitherTakesNorGivesUpFolders) {
    // Put in place between runs: neither the start-up walk nor the History step may use it.
    fs::remove_all(Path("Install"));
    fs::create_directory_symlink(Path("outside/Install"), Path("Install"));

    PurgeParkedFolders(Path("Install"));
    RunCleaning(m_host);

    ExpectOutsideUntouched();
    EXPECT_EQ(Tree(Path("History")), (std::set<std::string>{"Today/", "Today/a.dat"}));
}
