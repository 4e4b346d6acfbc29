#include "cleaner/file_errors.h"
#include "cleaner/prefs_filter.h"
#include "cleaner_test_helpers.h"
#include "platform/win32.h"
#include "support/environment.h"
#include "support/file_setup.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace testing_support;
using namespace std::string_literals;

namespace {

TEST(FilterUrlLines, DropsLowerCaseUrlLinesAndKeepsTheRestWithCrLf) {
    EXPECT_EQ(
        FilterUrlLines("user_pref(\"browser.url\", 1);\r\nuser_pref(\"HOME_URL\", 2);\r\n\r\n"),
        "user_pref(\"HOME_URL\", 2);\r\n\r\n");
    EXPECT_EQ(FilterUrlLines("a curly brace\nuRl\n"), "uRl\r\n");
}

TEST(FilterUrlLines, EndsLinesAtCrLfOrBothAndAddsCrLfAfterTheLast) {
    EXPECT_EQ(FilterUrlLines("a\nb\nc"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(FilterUrlLines("a\rb\r"), "a\r\nb\r\n");
    EXPECT_EQ(FilterUrlLines("a\r\r\nb\n\rc"), "a\r\n\r\nb\r\n\r\nc\r\n");
}

TEST(FilterUrlLines, LeavesNothingWhenEveryLineHasUrl) {
    EXPECT_EQ(FilterUrlLines("url\r\nsurly\n"), "");
    EXPECT_EQ(FilterUrlLines(""), "");
}

TEST(FilterUrlLines, KeepsZeroAndHighBytesLikeAnyOther) {
    EXPECT_EQ(FilterUrlLines("a\0url\nb\0c\n\xe9t\xe9"s), "b\0c\r\n\xe9t\xe9\r\n"s);
}

class FilterPrefsTest : public ::testing::Test {
protected:
    TempFolder m_folder{"brisvane-prefs"};
    // Declared after the folder so that it gives the current folder back before the folder is
    // removed: Windows cannot remove a folder that is current.
    RegistrySandbox m_sandbox;
    const std::string m_prefs = m_folder / "PREFS.JS";
    const std::string m_old = "keep\r\nnet.url = 1\r\n";

    void SetUp() override { std::filesystem::current_path(m_folder.Path()); }
};

TEST_F(FilterPrefsTest, RewritesThePrefsOfTheCurrentFolderWhateverTheCaseOfItsName) {
    WriteFile(m_folder / "prefs.js", "url one\nkeep\n");
    FilterPrefs();
    EXPECT_EQ(ReadFile(m_folder / "prefs.js"), "keep\r\n");

    WriteFile(m_folder / "prefs.js", "url one\nurl two");
    FilterPrefs();
    EXPECT_EQ(std::filesystem::file_size(m_folder / "prefs.js"), 0u);
}

TEST_F(FilterPrefsTest, MissingPrefsRaisesTheOpenError) {
    EXPECT_EQ(MessageOf<EFOpenError>(FilterPrefs), "Cannot open file PREFS.JS");
}

TEST_F(FilterPrefsTest, ReadOnlyPrefsRaisesTheCreateErrorAndKeepsItsBytes) {
    WriteFile(m_prefs, m_old);
    SetDosAttributes(m_prefs, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(MessageOf<EFCreateError>(FilterPrefs), "Cannot create file PREFS.JS");
    EXPECT_EQ(ReadFile(m_prefs), m_old);
}

TEST_F(FilterPrefsTest, FolderWithoutRoomForTheNewFileKeepsTheOldBytes) {
    if (OnWindows())
        GTEST_SKIP() << "the read-only attribute does not keep Windows from creating files in a "
                        "folder; only its access rights do, and Wine does not enforce those";
    WriteFile(m_prefs, m_old);
    namespace fs = std::filesystem;
    fs::permissions(m_folder.Path(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(MessageOf<EFCreateError>(FilterPrefs), "Cannot create file PREFS.JS");
    EXPECT_EQ(ReadFile(m_prefs), m_old);
}

TEST_F(FilterPrefsTest, WriteThatFailsPartWayKeepsTheOldBytes) {
    WriteFile(m_prefs, m_old);
    FullDiskForWholeFiles fullDisk;
    if (!fullDisk.Installed())
        GTEST_SKIP() << "only our Linux layer lets a test make a write fail part-way";
    EXPECT_EQ(MessageOf<EFCreateError>(FilterPrefs), "Cannot create file PREFS.JS");
    EXPECT_EQ(ReadFile(m_prefs), m_old);
    EXPECT_EQ(Tree(m_folder.Path()), (std::set<std::string>{"PREFS.JS"}));
}

} // namespace
