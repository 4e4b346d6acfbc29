#include "cleaner/folder_purge.h"
#include "folder_fixture.h"
#include "platform/win32.h"
#include "support/environment.h"
#include "support/file_setup.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

using FolderPurgeTest = FolderFixture;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

void MakeReadOnly(const std::string& path) {
    SetDosAttributes(path, FILE_ATTRIBUTE_READONLY);
}

void Enter(const std::string& folder) {
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
}

// Folders parked in `installFolder`, with the names of the files in each.
std::set<std::set<std::string>> ParkedContents(const std::string& installFolder) {
    std::set<std::set<std::string>> contents;
    for (const auto& entry : fs::directory_iterator(installFolder)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory())
            continue;
        const int number = std::stoi(name);
        EXPECT_TRUE(number >= 0 && number <= 99 && std::to_string(number) == name) << name;
        contents.insert(Names(entry.path().string()));
    }
    return contents;
}

constexpr const char* kNoLinks =
    "symbolic links on Windows need a privilege that users lack, so no browser folder holds one";

} // namespace

TEST_F(FolderPurgeTest, PurgeFiles_DeletesOnlyPlainFiles) {
    const std::string folder = Folder("f", {"normal", "archive.bin"});
    WriteFile(folder + "/locked", "x");
    MakeReadOnly(folder + "/locked");
    WriteFile(folder + "/hidden", "x");
    SetDosAttributes(folder + "/hidden", FILE_ATTRIBUTE_HIDDEN);
    WriteFile(folder + "/system", "x");
    SetDosAttributes(folder + "/system", FILE_ATTRIBUTE_SYSTEM);
    Folder("f/sub", {"inner"});
    ASSERT_NO_FATAL_FAILURE(Enter(folder));

    PurgeFiles();

    EXPECT_EQ(Names(folder), (std::set<std::string>{"locked", "hidden", "system", "sub"}));
    EXPECT_EQ(Names(folder + "/sub"), std::set<std::string>{"inner"});
}

TEST_F(FolderPurgeTest, PurgeFiles_TakesADotNameWithoutStoredAttributesForHidden) {
    if (OnWindows())
        GTEST_SKIP() << "on Windows a leading dot is part of a plain name; only Linux (and Wine) "
                        "take it for hidden";
    const std::string folder = Folder("f", {"normal"});
    WriteFile(folder + "/.dotted", "x");
    WriteFile(folder + "/.shown", "x");
    SetDosAttributes(folder + "/.shown", 0);
    ASSERT_NO_FATAL_FAILURE(Enter(folder));

    PurgeFiles();

    EXPECT_EQ(Names(folder), std::set<std::string>{".dotted"});
}

TEST_F(FolderPurgeTest, PurgeFiles_LeavesWhatLinksPointAt) {
    const std::string outside = Folder("outside", {"keep"});
    const std::string folder = Folder("f");
    if (!MakeSymbolicLink(outside + "/keep", folder + "/filelink") ||
        !MakeSymbolicLink(outside, folder + "/folderlink"))
        GTEST_SKIP() << kNoLinks;
    ASSERT_NO_FATAL_FAILURE(Enter(folder));

    PurgeFiles();

    // Our Linux layer removes a link to a file itself. Under Wine deleting such a link deletes
    // what it leads to, so on Windows it stays.
    EXPECT_EQ(Names(folder), OnWindows() ? (std::set<std::string>{"filelink", "folderlink"})
                                         : std::set<std::string>{"folderlink"});
    EXPECT_EQ(Names(outside), std::set<std::string>{"keep"});
    EXPECT_EQ(ReadFile(outside + "/keep"), "keep");
}

TEST_F(FolderPurgeTest, DropDesktopIni_LeavesALinkAndWhatItLeadsTo) {
    const std::string outside = Folder("outside", {"desktop.ini"});
    SetDosAttributes(outside + "/desktop.ini", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const std::string folder = Folder("f");
    if (!MakeSymbolicLink(outside + "/desktop.ini", folder + "/desktop.ini"))
        GTEST_SKIP() << kNoLinks;
    ASSERT_NO_FATAL_FAILURE(Enter(folder));

    DropDesktopIni();

    EXPECT_EQ(Names(folder), std::set<std::string>{"desktop.ini"});
    EXPECT_EQ(GetFileAttributesA((outside + "/desktop.ini").c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(FolderPurgeTest, DropDesktopIni_RemovesItInAnyCaseWhateverItsAttributes) {
    const std::string folder = Folder("f", {"other"});
    WriteFile(folder + "/Desktop.INI", "[.ShellClassInfo]");
    SetDosAttributes(folder + "/Desktop.INI",
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ASSERT_NO_FATAL_FAILURE(Enter(folder));

    DropDesktopIni();
    EXPECT_EQ(Names(folder), std::set<std::string>{"other"});
    DropDesktopIni();
    EXPECT_EQ(Names(folder), std::set<std::string>{"other"});
}

TEST_F(FolderPurgeTest, HistoryWalk_ParksEverySubfolderInANumberedInstallFolder) {
    const std::string history = Folder("History", {"index.dat"});
    Folder("History/Today", {"a"});
    Folder("History/Week 1", {"b"});
    Folder("History/Hidden", {"c"});
    SetDosAttributes(history + "/Hidden", FILE_ATTRIBUTE_HIDDEN);
    const std::string install = Folder("Install", {"brisvan.hlp"});
    ASSERT_NO_FATAL_FAILURE(Enter(history));

    ParkSubfolders(install);

    EXPECT_EQ(Names(history), std::set<std::string>{"index.dat"});
    EXPECT_EQ(ParkedContents(install), (std::set<std::set<std::string>>{{"a"}, {"b"}, {"c"}}));
    EXPECT_EQ(fs::current_path(), fs::canonical(history));
}

TEST_F(FolderPurgeTest, ParkFolder_DrawsAgainWhenANumberIsTaken) {
    const std::string install = Folder("Install");
    for (int number = 0; number < 100; number += 2)
        Folder("Install/" + std::to_string(number), {"old"});
    for (int i = 0; i < 20; ++i)
        Folder("History/" + std::to_string(i) + "x", {"new"});

    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(ParkFolder(Path("History\\" + std::to_string(i) + "x"), install));

    EXPECT_TRUE(Names(Path("History")).empty());
    int parked = 0;
    for (const auto& entry : fs::directory_iterator(install)) {
        const int number = std::stoi(entry.path().filename().string());
        EXPECT_EQ(Names(entry.path().string()),
                  std::set<std::string>{number % 2 == 0 ? "old" : "new"});
        parked += number % 2;
    }
    EXPECT_EQ(parked, 20);
}

TEST_F(FolderPurgeTest, ParkFolder_GivesUpWhenAllHundredNamesAreTaken) {
    const std::string install = Folder("Install");
    for (int number = 0; number < 100; ++number)
        Folder("Install/" + std::to_string(number));
    const std::string history = Folder("History", {"keep"});
    Folder("History/Today", {"a"});
    ASSERT_NO_FATAL_FAILURE(Enter(history));

    EXPECT_FALSE(ParkFolder(history + "\\Today", install));
    ParkSubfolders(install);

    EXPECT_EQ(Names(history + "/Today"), std::set<std::string>{"a"});
    EXPECT_EQ(Names(install).size(), 100u);
}

TEST_F(FolderPurgeTest, ParkFolder_StopsAtOnceWhenTheInstallFolderIsOnAnotherFileSystem) {
    if (OnWindows())
        GTEST_SKIP() << "a Windows test machine has no second volume that it can count on";
    OtherFileSystemFolder install;
    if (install.Path().empty())
        GTEST_SKIP() << install.WhyNone();
    const std::string history = Folder("History");
    Folder("History/Today", {"a"});
    Folder("History/Yesterday", {"b"});
    ASSERT_NO_FATAL_FAILURE(Enter(history));

    EXPECT_FALSE(ParkFolder(history + "\\Today", install.Path()));
    ParkSubfolders(install.Path());

    EXPECT_EQ(Names(history), (std::set<std::string>{"Today", "Yesterday"}));
    EXPECT_TRUE(Names(install.Path()).empty());
}

TEST_F(FolderPurgeTest, HistoryWalk_ParksNothingWithoutAnExistingInstallFolder) {
    const std::string history = Folder("History");
    Folder("History/Today", {"a"});
    WriteFile(Path("notafolder"), "x");
    ASSERT_NO_FATAL_FAILURE(Enter(history));

    for (const std::string& install : {std::string(), Path("missing"), Path("notafolder")}) {
        ParkSubfolders(install);
        EXPECT_FALSE(ParkFolder(history + "\\Today", install));
    }

    EXPECT_EQ(Names(history), std::set<std::string>{"Today"});
    EXPECT_EQ(Names(m_root.Path()), (std::set<std::string>{"History", "notafolder"}));
}

TEST_F(FolderPurgeTest, HistoryWalk_LeavesLinksWhereTheyAre) {
    const std::string outside = Folder("outside", {"keep"});
    const std::string history = Folder("History");
    if (!MakeSymbolicLink(outside, history + "/link"))
        GTEST_SKIP() << kNoLinks;
    const std::string install = Folder("Install");
    ASSERT_NO_FATAL_FAILURE(Enter(history));

    ParkSubfolders(install);
    EXPECT_FALSE(ParkFolder(history + "\\link", install));

    EXPECT_EQ(Names(history), std::set<std::string>{"link"});
    EXPECT_TRUE(Names(install).empty());
    EXPECT_EQ(Names(outside), std::set<std::string>{"keep"});
}

TEST_F(FolderPurgeTest, CacheWalk_PassesOverTheThirdEntryAndEmptiesTheLaterOnes) {
    const std::string cache = Folder("Cache");
    Folder("Cache/A", {"a1", "a2"});
    Folder("Cache/B", {"b1", "b2"});
    // As the browser leaves it: no plain file, so only its own removal lets the folder go.
    WriteFile(cache + "/B/Desktop.ini", "x");
    SetDosAttributes(cache + "/B/Desktop.ini",
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    Folder("Cache/C", {"c1"});
    WriteFile(cache + "/C/kept", "x");
    SetDosAttributes(cache + "/C/kept", FILE_ATTRIBUTE_HIDDEN);
    Folder("Cache/D", {"d1"});
    Folder("Cache/D/inner", {"deep"});
    WriteFile(cache + "/DESKTOP.INI", "x");
    ASSERT_NO_FATAL_FAILURE(Enter(cache));

    EmptySubfolders();

    EXPECT_EQ(Names(cache), (std::set<std::string>{"A", "C", "D"}));
    EXPECT_EQ(Names(cache + "/A"), (std::set<std::string>{"a1", "a2"}));
    EXPECT_EQ(Names(cache + "/C"), std::set<std::string>{"kept"});
    EXPECT_EQ(Names(cache + "/D"), std::set<std::string>{"inner"});
    EXPECT_EQ(Names(cache + "/D/inner"), std::set<std::string>{"deep"});
}

TEST_F(FolderPurgeTest, CacheWalk_RemovesAnEmptyFolderAmongTheFirstThreeEntries) {
    const std::string cache = Folder("Cache");
    Folder("Cache/A");
    Folder("Cache/B", {"b"});
    ASSERT_NO_FATAL_FAILURE(Enter(cache));

    EmptySubfolders();

    EXPECT_TRUE(Names(cache).empty());
}

TEST_F(FolderPurgeTest, CacheWalk_PurgesTheCacheFolderItselfWhenAFourthOrLaterEntryIsAFile) {
    // Listing: ".", "..", "0first.htm" (third, passed over), "A", "b.htm", "C", ...
    const std::string cache = Folder("Cache", {"0first.htm", "b.htm"});
    Folder("Cache/A", {"a"});
    Folder("Cache/C", {"c"});
    WriteFile(cache + "/locked.htm", "x");
    MakeReadOnly(cache + "/locked.htm");
    WriteFile(cache + "/~hidden", "x");
    SetDosAttributes(cache + "/~hidden", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_NO_FATAL_FAILURE(Enter(cache));

    EmptySubfolders();

    EXPECT_EQ(Names(cache), (std::set<std::string>{"locked.htm", "~hidden"}));
}

TEST_F(FolderPurgeTest, CacheWalk_KeepsItsPlainFilesWhenOnlyFoldersFollowTheThirdEntry) {
    const std::string cache = Folder("Cache", {"0first.htm"});
    Folder("Cache/A", {"a"});
    Folder("Cache/B", {"b"});
    ASSERT_NO_FATAL_FAILURE(Enter(cache));

    EmptySubfolders();

    EXPECT_EQ(Names(cache), std::set<std::string>{"0first.htm"});
}

TEST_F(FolderPurgeTest, CacheWalk_DoesNotTakeTheDesktopIniItDroppedForALaterFile) {
    if (OnWindows())
        GTEST_SKIP() << "whether a listing still gives an entry deleted after it began is up to "
                        "the system there";
    // Listing: ".", "..", "0first.htm" (passed over), "A", "desktop.ini". The cache folder's
    // "desktop.ini" goes at the fourth entry, so no file follows the third one any more.
    const std::string cache = Folder("Cache", {"0first.htm", "desktop.ini"});
    Folder("Cache/A", {"a"});
    SetDosAttributes(cache + "/desktop.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ASSERT_NO_FATAL_FAILURE(Enter(cache));

    EmptySubfolders();

    EXPECT_EQ(Names(cache), std::set<std::string>{"0first.htm"});
}

TEST_F(FolderPurgeTest, CacheWalk_NeverEntersOrRemovesALink) {
    const std::string outside = Folder("outside", {"keep"});
    Folder("outside/empty");
    const std::string cache = Folder("Cache");
    Folder("Cache/A");
    if (!MakeSymbolicLink(outside, cache + "/B") ||
        !MakeSymbolicLink(outside + "/empty", cache + "/C"))
        GTEST_SKIP() << kNoLinks;
    Folder("Cache/D", {"d"});
    ASSERT_NO_FATAL_FAILURE(Enter(cache));

    EmptySubfolders();

    EXPECT_EQ(Names(cache), (std::set<std::string>{"B", "C"}));
    EXPECT_EQ(Names(outside), (std::set<std::string>{"keep", "empty"}));
}

TEST_F(FolderPurgeTest, CacheWalk_FinishesInTheFolderItStartedInWhenItsPathMoves) {
    if (OnWindows())
        GTEST_SKIP() << "Windows refuses to rename the current folder, so its path stays put";
    Folder("Cache/A", {"a"});
    Folder("Cache/B", {"b"});
    Folder("Cache/C", {"c"});
    Folder("Cache/D", {"d"});
    ASSERT_NO_FATAL_FAILURE(Enter(Path("Cache")));
    // Another folder now stands where the cache folder was; the walk never names it again.
    fs::rename(Path("Cache"), Path("Moved"));
    Folder("Cache/C", {"not-the-cache"});
    Folder("Cache/D", {"not-the-cache"});

    EmptySubfolders();

    EXPECT_EQ(Names(Path("Moved")), (std::set<std::string>{"A"}));
    EXPECT_EQ(Names(Path("Cache")), (std::set<std::string>{"C", "D"}));
    EXPECT_EQ(Names(Path("Cache/D")), std::set<std::string>{"not-the-cache"});
}

TEST_F(FolderPurgeTest, StartupWalk_EmptiesAndRemovesEveryParkedFolder) {
    // The lowest-numbered parked folder lists right after "." and "..": it goes too.
    const std::string install = Folder("Install", {"brisvan.hlp"});
    Folder("Install/0", {"first"});
    Folder("Install/1", {"a", "b"});
    Folder("Install/2", {"c"});
    Folder("Install/2/sub", {"deep"});
    Folder("Install/42", {"d"});

    PurgeParkedFolders(install);

    EXPECT_EQ(Names(install), (std::set<std::string>{"brisvan.hlp", "2"}));
    EXPECT_EQ(Names(install + "/2"), std::set<std::string>{"sub"});
    EXPECT_EQ(Names(install + "/2/sub"), std::set<std::string>{"deep"});
}

TEST_F(FolderPurgeTest, StartupWalk_TouchesOnlyParkedFolderNames) {
    const std::string install = Folder("Install");
    Folder("Install/0");
    Folder("Install/05", {"a"});
    Folder("Install/100", {"b"});
    Folder("Install/Documents", {"c"});
    Folder("Install/Documents/empty");
    Folder("Install/7", {"d"});

    PurgeParkedFolders(install);

    EXPECT_EQ(Names(install), (std::set<std::string>{"05", "100", "Documents"}));
    EXPECT_EQ(Names(install + "/05"), std::set<std::string>{"a"});
    EXPECT_EQ(Names(install + "/Documents"), (std::set<std::string>{"c", "empty"}));
}

TEST_F(FolderPurgeTest, StartupWalk_LeavesALinkWithAParkedFolderName) {
    const std::string install = Folder("Install");
    Folder("Install/0");
    Folder("Install/1");
    Folder("Install/2");
    const std::string outside = Folder("outside", {"keep"});
    Folder("outside/empty");
    if (!MakeSymbolicLink(outside, install + "/8"))
        GTEST_SKIP() << kNoLinks;

    PurgeParkedFolders(install);

    EXPECT_EQ(Names(install), (std::set<std::string>{"8"}));
    EXPECT_EQ(Names(outside), (std::set<std::string>{"keep", "empty"}));
}

TEST_F(FolderPurgeTest, StartupWalk_LeavesTheHomeFolderAlone) {
    const std::string home = Folder("home");
    Folder("home/0");
    Folder("home/1");
    Folder("home/2", {"letter"});
    const ScopedHome scopedHome(home);

    PurgeParkedFolders(home);
    // Named by a link, it is the home folder all the same.
    if (MakeSymbolicLink(home, Path("link-to-home")))
        PurgeParkedFolders(Path("link-to-home"));

    EXPECT_EQ(Names(home), (std::set<std::string>{"0", "1", "2"}));
    EXPECT_EQ(Names(home + "/2"), std::set<std::string>{"letter"});
}

TEST_F(FolderPurgeTest, StartupWalk_DoesNothingWithoutAnInstallFolder) {
    const std::string current = Folder("current");
    Folder("current/a");
    Folder("current/b", {"x"});
    Folder("current/c", {"y"});
    ASSERT_NO_FATAL_FAILURE(Enter(current));

    PurgeParkedFolders("");
    PurgeParkedFolders(Path("missing"));

    EXPECT_EQ(Names(current), (std::set<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Names(current + "/c"), std::set<std::string>{"y"});
}

TEST_F(FolderPurgeTest, StartupWalk_ComesBackToTheInstallFolderGivenByARelativePath) {
    Folder("Install/0");
    Folder("Install/1", {"a"});
    Folder("Install/1/2", {"deep"});
    Folder("Install/2", {"b"});
    ASSERT_NO_FATAL_FAILURE(Enter(m_root.Path()));

    // "Install" names the install folder only from its parent, not from inside a parked folder.
    PurgeParkedFolders("Install");

    EXPECT_EQ(Names(Path("Install")), std::set<std::string>{"1"});
    EXPECT_EQ(Names(Path("Install/1")), std::set<std::string>{"2"});
}

TEST_F(FolderPurgeTest, Walks_WorkOnPathsLongerThan255Characters) {
    if (OnWindows())
        GTEST_SKIP() << "the Windows calls that take narrow paths stop at 260 characters";
    std::string deep = "Install";
    while (deep.size() < 300)
        deep += "/a-rather-long-folder-name";
    const std::string install = Folder(deep);
    Folder(deep + "/0");
    Folder(deep + "/1");
    Folder(deep + "/9", {"x"});
    const std::string history = Folder(deep + "/History");
    Folder(deep + "/History/Today", {"y"});
    ASSERT_GT(install.size(), 255u);

    ASSERT_NO_FATAL_FAILURE(Enter(history));
    ParkSubfolders(install);
    EXPECT_TRUE(Names(history).empty());

    PurgeParkedFolders(install);
    EXPECT_EQ(Names(install), std::set<std::string>{"History"});
}
