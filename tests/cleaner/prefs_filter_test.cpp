#include "cleaner/file_errors.h"
#include "cleaner/prefs_filter.h"
#include "cleaner_test_helpers.h"
#include "platform/posix/whole_file_seam.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Writes a few bytes, then reports the disk full.
ssize_t WriterThatRunsOutOfSpace(int fd, const void* data, size_t size) {
    static bool wrote = false;
    if (!wrote && size > 3) {
        wrote = true;
        return write(fd, data, 3);
    }
    errno = ENOSPC;
    return -1;
}

class FilterPrefsTest : public ::testing::Test {
protected:
    RegistrySandbox m_sandbox; // restores the current folder
    TempFolder m_folder{"brisvane-prefs"};
    const std::string m_prefs = m_folder / "PREFS.JS";
    const std::string m_old = "keep\r\nnet.url = 1\r\n";

    void SetUp() override { std::filesystem::current_path(m_folder.Path()); }
    void TearDown() override { brisvane::platform::posix::SetWholeFileWriter(nullptr); }
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
    chmod(m_prefs.c_str(), 0444);
    EXPECT_EQ(MessageOf<EFCreateError>(FilterPrefs), "Cannot create file PREFS.JS");
    EXPECT_EQ(ReadFile(m_prefs), m_old);
}

TEST_F(FilterPrefsTest, FolderWithoutRoomForTheNewFileKeepsTheOldBytes) {
    WriteFile(m_prefs, m_old);
    chmod(m_folder.Path().c_str(), 0555);
    EXPECT_EQ(MessageOf<EFCreateError>(FilterPrefs), "Cannot create file PREFS.JS");
    EXPECT_EQ(ReadFile(m_prefs), m_old);
}

TEST_F(FilterPrefsTest, WriteThatFailsPartWayKeepsTheOldBytes) {
    WriteFile(m_prefs, m_old);
    brisvane::platform::posix::SetWholeFileWriter(WriterThatRunsOutOfSpace);
    EXPECT_EQ(MessageOf<EFCreateError>(FilterPrefs), "Cannot create file PREFS.JS");
    EXPECT_EQ(ReadFile(m_prefs), m_old);
    EXPECT_EQ(Tree(m_folder.Path()), (std::set<std::string>{"PREFS.JS"}));
}

} // namespace
