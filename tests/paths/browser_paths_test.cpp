#include "paths/browser_paths.h"
#include "paths/help_file.h"
#include "settings/exception.h"
#include "settings/registry_layout.h"
#include "support/environment.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace testing_support;

namespace {

const std::string kUsersKey = "SOFTWARE\\Netscape\\Netscape Navigator\\Users";
const std::string kProductKey = "SOFTWARE\\Netscape\\Netscape Navigator";

class BrowserPathsTest : public ::testing::Test {
protected:
    // What discovery handed over, by row; a row it never reached is missing.
    std::map<std::size_t, std::string> Discover() {
        std::map<std::size_t, std::string> edits;
        DiscoverBrowserPaths([&](std::size_t row, const std::string& path) {
            EXPECT_FALSE(edits.contains(row)) << "row " << row << " set twice";
            edits[row] = path;
        });
        return edits;
    }

    void RegisterInternetExplorer() {
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Cookies", "C:\\WIN\\Cookies");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Favorites", "C:\\WIN\\Favorites");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "History", "C:\\WIN\\History");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Cache", "C:\\WIN\\Temporary");
    }

    void RegisterNetscape(const std::string& user, const std::string& version) {
        SetText(HKEY_LOCAL_MACHINE, kUsersKey, "CurrentUser", user);
        SetText(HKEY_LOCAL_MACHINE, kUsersKey + "\\" + user, "DirRoot", "C:\\NS\\Users\\" + user);
        SetText(HKEY_LOCAL_MACHINE, kProductKey, "CurrentVersion", version);
        SetText(HKEY_LOCAL_MACHINE, kProductKey + "\\" + version + "\\Main", "Install Directory",
                "C:\\NS\\" + version);
    }

    void StoreAllSix() {
        for (const BrowserPathRow& row : kBrowserPaths)
            SetText(HKEY_CURRENT_USER, layout::kPathsKey, row.storedValue,
                    std::string("D:\\stored ") + row.storedValue);
    }

    testing_support::RegistrySandbox m_sandbox;
};

TEST_F(BrowserPathsTest, FirstStartWithInternetExplorerOnlyDetectsFourAndWritesNothing) {
    RegisterInternetExplorer();
    const std::string before = HiveSnapshot(m_sandbox);

    const auto edits = Discover();

    const std::map<std::size_t, std::string> expected = {{0, "C:\\WIN\\Cookies"},
                                                         {1, "C:\\WIN\\Favorites"},
                                                         {2, "C:\\WIN\\History"},
                                                         {3, "C:\\WIN\\Temporary"},
                                                         {4, ""},
                                                         {5, ""}};
    EXPECT_EQ(edits, expected);
    EXPECT_EQ(HiveSnapshot(m_sandbox), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, layout::kPathsKey));
}

TEST_F(BrowserPathsTest, StoredTextWinsOnlyWhenNotEmpty) {
    RegisterInternetExplorer();
    RegisterNetscape("alice", "4.08 (en)");
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie", " E:\\mine ");
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "Netscape Two", "");
    const std::string before = HiveSnapshot(m_sandbox);

    const auto edits = Discover();

    const std::map<std::size_t, std::string> expected = {
        {0, " E:\\mine "},         {1, "C:\\WIN\\Favorites"},   {2, "C:\\WIN\\History"},
        {3, "C:\\WIN\\Temporary"}, {4, "C:\\NS\\Users\\alice"}, {5, "C:\\NS\\4.08 (en)"}};
    EXPECT_EQ(edits, expected);
    EXPECT_EQ(HiveSnapshot(m_sandbox), before);
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "Netscape Two"), "");
}

// A value of a number type raises when read, which tells which values discovery reads.
TEST_F(BrowserPathsTest, NetscapeNamesAreReadEvenWhenBothFoldersAreStored) {
    StoreAllSix();
    SetNumber(HKEY_LOCAL_MACHINE, kUsersKey, "CurrentUser", 7);
    EXPECT_THROW(Discover(), ERegistryException);

    SetText(HKEY_LOCAL_MACHINE, kUsersKey, "CurrentUser", "bob");
    SetNumber(HKEY_LOCAL_MACHINE, kProductKey, "CurrentVersion", 4);
    std::map<std::size_t, std::string> edits;
    try {
        DiscoverBrowserPaths([&](std::size_t row, const std::string& path) { edits[row] = path; });
        ADD_FAILURE() << "CurrentVersion was not read";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.Message(), "Invalid data type for 'CurrentVersion'");
    }
    EXPECT_EQ(edits.size(), 5u);
}

TEST_F(BrowserPathsTest, NetscapeFoldersAreNotReadWhenBothAreStored) {
    StoreAllSix();
    SetText(HKEY_LOCAL_MACHINE, kUsersKey, "CurrentUser", "bob");
    SetNumber(HKEY_LOCAL_MACHINE, kUsersKey + "\\bob", "DirRoot", 1);
    SetText(HKEY_LOCAL_MACHINE, kProductKey, "CurrentVersion", "3.0");
    SetNumber(HKEY_LOCAL_MACHINE, kProductKey + "\\3.0\\Main", "Install Directory", 1);

    const auto edits = Discover();

    ASSERT_EQ(edits.size(), 6u);
    EXPECT_EQ(edits.at(4), "D:\\stored Netscape One");
    EXPECT_EQ(edits.at(5), "D:\\stored Netscape Two");
}

TEST_F(BrowserPathsTest, NetscapeKeyPathsAreThePartsJoinedAsTheyAre) {
    EXPECT_EQ(NetscapeUserKeyPath("John Smith"),
              "\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\John Smith");
    EXPECT_EQ(NetscapeUserKeyPath(""), "\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\");
    EXPECT_EQ(NetscapeVersionKeyPath(" 4.7 (en) "),
              "\\SOFTWARE\\Netscape\\Netscape Navigator\\ 4.7 (en) \\Main");
    EXPECT_EQ(NetscapeVersionKeyPath(""), "\\SOFTWARE\\Netscape\\Netscape Navigator\\\\Main");
    const std::string longName(300, 'u');
    EXPECT_EQ(NetscapeUserKeyPath(longName),
              std::string(layout::kNetscapeUsersKey) + "\\" + longName);
}

TEST_F(BrowserPathsTest, NetscapeFoldersAreFoundUnderTheNamedKeys) {
    const std::string longUser = "Anne-Marie Featherstonehaugh of the Netscape Users";
    ASSERT_GE(longUser.size(), 40u);
    RegisterNetscape(longUser, "4.08 (en)");
    // Keys a trimmed or cut name would reach instead.
    SetText(HKEY_LOCAL_MACHINE, kUsersKey + "\\" + longUser.substr(0, 32), "DirRoot", "cut");
    SetText(HKEY_LOCAL_MACHINE, kProductKey + "\\4.08(en)\\Main", "Install Directory", "squeezed");

    const auto edits = Discover();

    EXPECT_EQ(edits.at(4), "C:\\NS\\Users\\" + longUser);
    EXPECT_EQ(edits.at(5), "C:\\NS\\4.08 (en)");
}

TEST_F(BrowserPathsTest, MissingNetscapeNamesLeaveTheNetscapeRowsEmpty) {
    SetText(HKEY_LOCAL_MACHINE, kUsersKey + "\\nobody", "DirRoot", "C:\\NS\\nobody");
    SetText(HKEY_LOCAL_MACHINE, kProductKey + "\\4.0\\Main", "Install Directory", "C:\\NS\\4.0");

    const auto edits = Discover();

    EXPECT_EQ(edits.at(4), "");
    EXPECT_EQ(edits.at(5), "");
}

TEST_F(BrowserPathsTest, NumberTypedStoredValueStopsLoadingAfterTheRowsBeforeIt) {
    RegisterInternetExplorer();
    RegisterNetscape("alice", "4.08 (en)");
    SetNumber(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cache", 12);

    std::map<std::size_t, std::string> edits;
    try {
        DiscoverBrowserPaths([&](std::size_t row, const std::string& path) { edits[row] = path; });
        ADD_FAILURE() << "no error raised";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.Message(), "Invalid data type for 'IE Cache'");
    }
    const std::map<std::size_t, std::string> expected = {
        {0, "C:\\WIN\\Cookies"}, {1, "C:\\WIN\\Favorites"}, {2, "C:\\WIN\\History"}};
    EXPECT_EQ(edits, expected);
}

TEST_F(BrowserPathsTest, WritingStoresAllSixTextsAsTheyAreInOneKey) {
    BrowserPathTexts texts;
    WriteBrowserPaths(texts);
    for (const BrowserPathRow& row : kBrowserPaths) {
        EXPECT_EQ(ValueType(HKEY_CURRENT_USER, layout::kPathsKey, row.storedValue), REG_SZ)
            << row.storedValue;
        EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, row.storedValue), "");
    }

    texts = {" C:\\a ", "C:\\b\\", "", "%TEMP%", "C:\\does not exist", "x"};
    WriteBrowserPaths(texts);
    for (std::size_t i = 0; i < kBrowserPathCount; ++i)
        EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, kBrowserPaths[i].storedValue),
                  texts[i]);
}

TEST_F(BrowserPathsTest, WritingToAReadOnlyHiveRaisesForTheFirstValue) {
    if (testing_support::OnWindows())
        GTEST_SKIP() << "the system's registry has rights of its own, not a file's mode";
    SetText(HKEY_CURRENT_USER, layout::kSettingsKey, "Cookies", "true");
    const std::string hive = m_sandbox.HivePath("HKEY_CURRENT_USER");
    const std::string before = testing_support::ReadFile(hive);
    ASSERT_EQ(chmod(hive.c_str(), 0444), 0);

    try {
        WriteBrowserPaths(BrowserPathTexts{"a", "b", "c", "d", "e", "f"});
        ADD_FAILURE() << "no error raised";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.Message(), "Failed to set data for 'IE Cookie'");
    }
    EXPECT_EQ(testing_support::ReadFile(hive), before);
}

TEST_F(BrowserPathsTest, RemovingDropsThePathsKeyOnly) {
    RemoveBrowserPaths();
    SetText(HKEY_CURRENT_USER, layout::kSettingsKey, "Cookies", "true");
    StoreAllSix();

    RemoveBrowserPaths();

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, layout::kPathsKey));
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kSettingsKey, "Cookies"), "true");
}

TEST_F(BrowserPathsTest, HelpFileLiesInTheInstallFolderAsNamed) {
    EXPECT_EQ(HelpFilePath(), "\\brisvan.hlp");
    SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, "Path", "C:\\Tools\\Cleaner");
    EXPECT_EQ(HelpFilePath(), "C:\\Tools\\Cleaner\\brisvan.hlp");
    SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, "Path", "C:\\Tools\\");
    EXPECT_EQ(HelpFilePath(), "C:\\Tools\\\\brisvan.hlp");
    SetNumber(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, "Path", 3);
    EXPECT_THROW(HelpFilePath(), ERegistryException);
}

} // namespace
