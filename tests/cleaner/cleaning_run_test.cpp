#include "cleaner/cleaning_run.h"
#include "cleaner/file_errors.h"
#include "cleaner/keep_answering.h"
#include "cleaner_test_helpers.h"
#include "recording_host.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/environment.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const char* const kPrefs = "user_pref(\"browser.startup.homepage\", \"http://a.example/\");\r\n"
                           "user_pref(\"browser.url_history.size\", 9);\r\n"
                           "user_pref(\"mail.identity.username\", \"me\");\r\n";
const char* const kPrefsFiltered =
    "user_pref(\"browser.startup.homepage\", \"http://a.example/\");\r\n"
    "user_pref(\"mail.identity.username\", \"me\");\r\n";
const char* const kTypedUrls = "\\SOFTWARE\\Microsoft\\Internet Explorer\\TypedURLs";
const char* const kInternetExplorer = "\\SOFTWARE\\Microsoft\\Internet Explorer";

const std::vector<std::string> kRunWithNetscapeSkipped = {"hourglass",
                                                          "show progress",
                                                          "process messages",
                                                          "advance",
                                                          "ticked? Cookies",
                                                          "ticked? Favorites",
                                                          "ticked? History",
                                                          "advance",
                                                          "process messages",
                                                          "ticked? Cache",
                                                          "advance",
                                                          "advance",
                                                          "ticked? UrlRegistry",
                                                          "arrow",
                                                          "close progress",
                                                          "finish page"};

class CleaningRunTest : public ::testing::Test {
protected:
    TempFolder m_files{"brisvane-run"};
    // After the folder, so that the current folder is given back before the folder is removed.
    RegistrySandbox m_sandbox;
    RecordingHost m_host;

    std::string Dir(const std::string& name) const { return m_files / name; }

    static void SetPath(const char* value, const std::string& path) {
        TRegistry paths;
        ASSERT_TRUE(paths.OpenSubkey(layout::kPathsKey, true));
        paths.WriteText(value, path);
    }
    static void SetAllPaths(const std::string& path) {
        for (const char* value :
             {layout::kIeCookiePath, layout::kIeFavoritesPath, layout::kIeHistoryPath,
              layout::kIeCachePath, layout::kNetscape4Path, layout::kNetscape3Path})
            SetPath(value, path);
    }
    static void SetNonString(const char* value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, layout::kPathsKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD number = 1;
        RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        RegCloseKey(key);
    }
    static void AddTypedUrls() {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenSubkey(kTypedUrls, true));
        registry.WriteText("url1", "http://typed.example/");
        ASSERT_TRUE(registry.OpenSubkey(kInternetExplorer, true));
        registry.WriteText("Download Directory", "C:\\Downloads");
    }
    static bool KeyExists(const char* path) {
        TRegistry registry;
        return registry.OpenSubkey(path, false);
    }

    // The six browser folders with data of every category, and an empty install folder.
    void AddBrowserFolders() {
        for (const char* folder :
             {"ie-cookies/sub", "ie-favorites/folder", "ie-history/day1", "ie-history/day2",
              "ie-cache/A", "ie-cache/B", "ie-cache/C", "ns4/cache/sub", "ns3/Cache", "install"})
            MakeFolder(Dir(folder));
        for (const char* file : {"ie-cookies/a.txt",
                                 "ie-cookies/b.txt",
                                 "ie-cookies/sub/c.txt",
                                 "ie-favorites/link.url",
                                 "ie-favorites/folder/inner.url",
                                 "ie-history/index.dat",
                                 "ie-history/desktop.ini",
                                 "ie-history/day1/entry.dat",
                                 "ie-history/day2/entry.dat",
                                 "ie-cache/A/a.htm",
                                 "ie-cache/B/b.htm",
                                 "ie-cache/C/c.htm",
                                 "ns4/COOKIES.TXT",
                                 "ns4/BOOKMARK.HTM",
                                 "ns4/NETSCAPE.HST",
                                 "ns4/other.dat",
                                 "ns4/cache/x.tmp",
                                 "ns4/cache/sub/y.tmp",
                                 "ns3/cookies.txt",
                                 "ns3/Bookmark.htm",
                                 "ns3/netscape.hst",
                                 "ns3/Cache/z.tmp"})
            WriteFile(Dir(file), "data");
        WriteFile(Dir("ns4/PREFS.JS"), kPrefs);
        WriteFile(Dir("ns3/PREFS.JS"), kPrefs);
        // Read-only, so that only the desktop.ini step can remove it.
        chmod(Dir("ie-history/desktop.ini").c_str(), 0444);

        SetPath(layout::kIeCookiePath, Dir("ie-cookies"));
        SetPath(layout::kIeFavoritesPath, Dir("ie-favorites"));
        SetPath(layout::kIeHistoryPath, Dir("ie-history"));
        SetPath(layout::kIeCachePath, Dir("ie-cache"));
        SetPath(layout::kNetscape4Path, Dir("ns4"));
        SetPath(layout::kNetscape3Path, Dir("ns3"));
        TRegistry appPaths;
        appPaths.SetRoot(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(appPaths.OpenSubkey(layout::kAppPathsKey, true));
        appPaths.WriteText(layout::kInstallFolderValue, Dir("install"));
    }

    void ExpectEndedEarly() const {
        EXPECT_TRUE(m_host.Saw("hourglass"));
        EXPECT_FALSE(m_host.Saw("arrow"));
        EXPECT_FALSE(m_host.Saw("close progress"));
        EXPECT_FALSE(m_host.Saw("finish page"));
    }
};

TEST_F(CleaningRunTest, FirstRun_ShowsNoticeAndSettingsDialogAndTouchesNothing) {
    AddBrowserFolders();
    AddTypedUrls();
    TRegistry().RemoveKey(layout::kPathsKey);
    fs::current_path(Dir("ns4"));
    const auto before = Tree(m_files.Path());
    m_host.TickAll();

    RunCleaning(m_host);

    EXPECT_EQ(m_host.events, (std::vector<std::string>{"notice", "settings dialog"}));
    EXPECT_EQ(
        m_host.notice,
        "Welcome to Brisvane!\n\nSince this is the first time you have launched Brisvane, please "
        "review the browser data file paths that Brisvane has detected.\n\nNon-existent or extra "
        "paths may be present due to many factors, such as deleting a previously used browser.  "
        "Brisvane will automatically skip over non-existent paths during the cleaning process.\n\n"
        "If you are using Netscape v4.x and not v3.x, then make sure the path to the v3.x "
        "directory is BLANK.  If you are using Netscape v3.x and not v4.x, make sure the path to "
        "the 4.x directory is BLANK.  If you are using both Netscape versions, make sure both "
        "paths are correctly listed.");
    EXPECT_EQ(Tree(m_files.Path()), before);
    EXPECT_TRUE(KeyExists(kTypedUrls));
    EXPECT_FALSE(KeyExists(layout::kPathsKey));
    EXPECT_EQ(fs::current_path(), fs::path(Dir("ns4")));
}

TEST_F(CleaningRunTest, NothingTicked_StillAdvancesFourTimesAroundTheMessagePoints) {
    AddBrowserFolders();
    const auto before = Tree(m_files.Path());

    RunCleaning(m_host);

    EXPECT_EQ(m_host.events, (std::vector<std::string>{"hourglass",
                                                       "show progress",
                                                       "process messages",
                                                       "advance",
                                                       "ticked? Cookies",
                                                       "ticked? Favorites",
                                                       "ticked? History",
                                                       "advance",
                                                       "process messages",
                                                       "ticked? Cache",
                                                       "advance",
                                                       "ticked? Cookies",
                                                       "ticked? Favorites",
                                                       "ticked? History",
                                                       "ticked? UrlRegistry",
                                                       "ticked? Cache",
                                                       "ticked? Cookies",
                                                       "ticked? Favorites",
                                                       "ticked? History",
                                                       "ticked? Cache",
                                                       "advance",
                                                       "ticked? UrlRegistry",
                                                       "arrow",
                                                       "close progress",
                                                       "finish page"}));
    EXPECT_EQ(Tree(m_files.Path()), before);
}

struct CategoryCase {
    CleaningOption option;
    std::set<std::string> removed;
    int parkedFolders = 0;
};

class CleaningRunCategoryTest : public CleaningRunTest,
                                public ::testing::WithParamInterface<CategoryCase> {};

TEST_P(CleaningRunCategoryTest, RemovesExactlyTheFilesOfItsCategory) {
    AddBrowserFolders();
    AddTypedUrls();
    const auto before = Tree(m_files.Path());
    m_host.ticked = {GetParam().option};

    RunCleaning(m_host);

    EXPECT_TRUE(m_host.Saw("finish page"));
    std::set<std::string> parked;
    for (const auto& name : Tree(m_files.Path()))
        if (name.starts_with("install/") && name != "install/")
            parked.insert(name);
    EXPECT_EQ(Without(Tree(m_files.Path()), parked), Without(before, GetParam().removed));
    // Each History subfolder lands whole under a number of its own.
    EXPECT_EQ(parked.size(), 2u * GetParam().parkedFolders);
    for (const auto& name : parked) {
        const std::string number = name.substr(8, name.find('/', 8) - 8);
        EXPECT_LT(std::stoi(number), 100) << name;
        EXPECT_TRUE(name == "install/" + number + "/" || name == "install/" + number + "/entry.dat")
            << name;
    }
    const bool urls = GetParam().option == CleaningOption::UrlRegistry;
    EXPECT_EQ(ReadFile(Dir("ns4/PREFS.JS")), urls ? kPrefsFiltered : kPrefs);
    EXPECT_EQ(ReadFile(Dir("ns3/PREFS.JS")), kPrefs);
    EXPECT_EQ(KeyExists(kTypedUrls), !urls);
    TRegistry internetExplorer;
    ASSERT_TRUE(internetExplorer.OpenSubkey(kInternetExplorer, false));
    EXPECT_EQ(internetExplorer.ReadText("Download Directory"), "C:\\Downloads");
}

INSTANTIATE_TEST_SUITE_P(
    EachOption, CleaningRunCategoryTest,
    ::testing::Values(
        CategoryCase{
            CleaningOption::Cookies,
            {"ie-cookies/a.txt", "ie-cookies/b.txt", "ns4/COOKIES.TXT", "ns3/cookies.txt"}},
        CategoryCase{CleaningOption::Favorites,
                     {"ie-favorites/link.url", "ns4/BOOKMARK.HTM", "ns3/Bookmark.htm"}},
        CategoryCase{CleaningOption::History,
                     {"ie-history/index.dat", "ie-history/desktop.ini", "ie-history/day1/",
                      "ie-history/day1/entry.dat", "ie-history/day2/", "ie-history/day2/entry.dat",
                      "ns4/NETSCAPE.HST", "ns3/netscape.hst"},
                     2},
        // The cache walk leaves the first real entry, A, alone.
        CategoryCase{CleaningOption::Cache,
                     {"ie-cache/B/", "ie-cache/B/b.htm", "ie-cache/C/", "ie-cache/C/c.htm",
                      "ns4/cache/x.tmp", "ns3/Cache/z.tmp"}},
        CategoryCase{CleaningOption::UrlRegistry, {}}));

TEST_F(CleaningRunTest, UnusablePaths_NeverMakeTheRunWorkInTheCurrentFolder) {
    AddBrowserFolders();
    fs::current_path(Dir("ns4"));
    const auto before = Tree(m_files.Path());
    m_host.TickAll();
    for (const std::string& path : {std::string(), Dir("missing"), Dir("ns4/other.dat")}) {
        SCOPED_TRACE("path \"" + path + "\"");
        SetAllPaths(path);
        AddTypedUrls();
        m_host.events.clear();

        RunCleaning(m_host);

        EXPECT_TRUE(m_host.Saw("finish page"));
        EXPECT_EQ(Tree(m_files.Path()), before);
        EXPECT_FALSE(KeyExists(kTypedUrls));
    }
}

TEST_F(CleaningRunTest, HistoryWithoutInstallFolder_KeepsItsSubfoldersInPlace) {
    AddBrowserFolders();
    m_host.ticked = {CleaningOption::History};
    for (const std::string& install : {std::string(), Dir("missing")}) {
        SCOPED_TRACE("install folder \"" + install + "\"");
        TRegistry appPaths;
        appPaths.SetRoot(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(appPaths.OpenSubkey(layout::kAppPathsKey, true));
        appPaths.WriteText(layout::kInstallFolderValue, install);
        WriteFile(Dir("ie-history/index.dat"), "data");

        RunCleaning(m_host);

        EXPECT_EQ(Tree(Dir("ie-history")),
                  (std::set<std::string>{"day1/", "day1/entry.dat", "day2/", "day2/entry.dat"}));
    }
}

TEST_F(CleaningRunTest, NonStringFavoritesPath_EndsTheRunEvenWhenUnticked) {
    SetAllPaths("");
    SetNonString(layout::kIeFavoritesPath);
    EXPECT_EQ(MessageOf<ERegistryException>([this] { RunCleaning(m_host); }),
              "Invalid data type for 'IE Favorites'");
    EXPECT_EQ(m_host.events.back(), "ticked? Cookies");
    ExpectEndedEarly();
}

TEST_F(CleaningRunTest, NonStringCookiePath_IsReadOnlyWhenCookiesAreTicked) {
    SetAllPaths("");
    SetNonString(layout::kIeCookiePath);
    RunCleaning(m_host);
    EXPECT_TRUE(m_host.Saw("finish page"));

    RecordingHost ticked;
    ticked.ticked = {CleaningOption::Cookies};
    EXPECT_THROW(RunCleaning(ticked), ERegistryException);
    EXPECT_FALSE(ticked.Saw("finish page"));
}

TEST_F(CleaningRunTest, CheckBoxChangedWhileMessagesAreProcessed_CountsForLaterSteps) {
    AddBrowserFolders();
    m_host.ticked = {CleaningOption::Favorites};
    m_host.onProcessMessages = [this](int call) {
        if (call == 0) {
            m_host.ticked = {CleaningOption::Cookies};
        } else {
            m_host.ticked.insert(CleaningOption::Cache);
        }
    };

    RunCleaning(m_host);

    EXPECT_FALSE(Exists(Dir("ie-cookies/a.txt")));
    EXPECT_FALSE(Exists(Dir("ns3/cookies.txt")));
    EXPECT_TRUE(Exists(Dir("ie-favorites/link.url")));
    EXPECT_TRUE(Exists(Dir("ns4/BOOKMARK.HTM")));
    EXPECT_FALSE(Exists(Dir("ie-cache/B")));
    EXPECT_FALSE(Exists(Dir("ns4/cache/x.tmp")));
}

TEST_F(CleaningRunTest, NextPressedWhileMessagesAreProcessed_RunsANestedRunToItsEnd) {
    SetAllPaths("");
    m_host.onProcessMessages = [this](int call) {
        if (call == 0)
            RunCleaning(m_host);
    };

    RunCleaning(m_host);

    std::vector<std::string> expected(kRunWithNetscapeSkipped.begin(),
                                      kRunWithNetscapeSkipped.begin() + 3);
    expected.insert(expected.end(), kRunWithNetscapeSkipped.begin(), kRunWithNetscapeSkipped.end());
    expected.insert(expected.end(), kRunWithNetscapeSkipped.begin() + 3,
                    kRunWithNetscapeSkipped.end());
    EXPECT_EQ(m_host.events, expected);
}

TEST_F(CleaningRunTest, LargeFolder_IsAnsweredForDuringTheWalkButLetsInputInOnlyTwice) {
    SetAllPaths("");
    MakeFolder(Dir("ie-cookies"));
    constexpr int kFiles = 500;
    for (int i = 0; i < kFiles; ++i)
        WriteFile(Dir("ie-cookies/c" + std::to_string(i) + ".txt"), "x");
    SetPath(layout::kIeCookiePath, Dir("ie-cookies"));
    m_host.ticked = {CleaningOption::Cookies};
    bool answeredBeforeTheWalkEnded = false;
    m_host.onKeepAnswering = [&] {
        answeredBeforeTheWalkEnded = answeredBeforeTheWalkEnded || !fs::is_empty(Dir("ie-cookies"));
    };

    RunCleaning(m_host);

    EXPECT_TRUE(answeredBeforeTheWalkEnded);
    EXPECT_EQ(std::count(m_host.events.begin(), m_host.events.end(), "process messages"), 2);
    EXPECT_TRUE(fs::is_empty(Dir("ie-cookies")));

    const int callsDuringRun = m_host.keepAnsweringCalls;
    KeepAnswering();
    EXPECT_EQ(m_host.keepAnsweringCalls, callsDuringRun) << "nothing is answered after the run";
}

TEST_F(CleaningRunTest, FileSystemRoot_IsSkippedLikeAMissingFolder) {
    SetAllPaths("");
    // Nothing is ticked, so even a root that were entered would lose nothing.
    SetPath(layout::kNetscape4Path, "/");
    SetPath(layout::kNetscape3Path, m_files.Path() + "/../..");

    RunCleaning(m_host);

    EXPECT_EQ(m_host.events, kRunWithNetscapeSkipped);
}

TEST_F(CleaningRunTest, HomeFolder_IsSkippedInEveryStep) {
    AddBrowserFolders();
    const ScopedHome home(Dir("ns4"));
    SetPath(layout::kIeCookiePath, Dir("ns4"));
    SetPath(layout::kIeFavoritesPath, Dir("ns4/"));
    SetPath(layout::kIeHistoryPath, Dir("ns4/cache/.."));
    SetPath(layout::kIeCachePath, Dir("ns4"));
    SetPath(layout::kNetscape4Path, Dir("ns4"));
    SetPath(layout::kNetscape3Path, Dir("ns4"));
    const auto before = Tree(m_files.Path());
    m_host.TickAll();

    RunCleaning(m_host);

    EXPECT_TRUE(m_host.Saw("finish page"));
    EXPECT_EQ(Tree(m_files.Path()), before);
    EXPECT_EQ(ReadFile(Dir("ns4/PREFS.JS")), kPrefs);
}

TEST_F(CleaningRunTest, MissingPrefs_StopsTheRunAfterTheTickedNetscapeFiles) {
    AddBrowserFolders();
    AddTypedUrls();
    fs::remove(Dir("ns4/PREFS.JS"));
    const auto ns3 = Tree(Dir("ns3"));
    m_host.TickAll();

    EXPECT_EQ(MessageOf<EFOpenError>([this] { RunCleaning(m_host); }), "Cannot open file PREFS.JS");
    ExpectEndedEarly();
    EXPECT_FALSE(Exists(Dir("ie-cookies/a.txt")));
    EXPECT_EQ(Tree(Dir("ns4")), (std::set<std::string>{"cache/", "cache/x.tmp", "cache/sub/",
                                                       "cache/sub/y.tmp", "other.dat"}));
    EXPECT_EQ(Tree(Dir("ns3")), ns3);
    EXPECT_TRUE(KeyExists(kTypedUrls));
}

} // namespace
