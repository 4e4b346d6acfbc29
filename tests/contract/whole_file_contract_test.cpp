// The whole-file read and replace that the PREFS.JS rewrite relies on. Linux and Windows each
// have their own implementation; these cases hold both to the same behaviour.
#include "platform/whole_file.h"
#include "platform/win32.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using brisvane::platform::ReadWholeFile;
using brisvane::platform::ReplaceResult;
using brisvane::platform::ReplaceWholeFile;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

std::vector<std::string> ListedNames() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("*.*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

class WholeFileContract : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetCurrentDirectoryA(m_folder.Path().c_str())); }

    testing_support::TempFolder m_folder{"brisvane-contract"};
    testing_support::RegistrySandbox m_sandbox; // leaves the folder before it is removed
};

TEST_F(WholeFileContract, ReplaceAndReadKeepEveryByteUnderAnyCaseOfTheName) {
    WriteFile(m_folder / "PREFS.JS", "old line\r\n");
    const std::string content("user_pref(\"a\", 1);\r\nlast\x00\xff\n", 28);

    ASSERT_EQ(ReplaceWholeFile("prefs.js", content), ReplaceResult::Replaced);
    std::string read;
    ASSERT_TRUE(ReadWholeFile("Prefs.Js", read));
    EXPECT_EQ(read, content);

    // One file, no temporary one left beside it.
    const std::vector<std::string> names = ListedNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(ReadFile(m_folder / names[2]), content);
}

TEST_F(WholeFileContract, ReplaceCreatesMissingFileAndReadFailsOnIt) {
    std::string read = "stale";
    EXPECT_FALSE(ReadWholeFile("PREFS.JS", read));

    ASSERT_EQ(ReplaceWholeFile("PREFS.JS", "new\r\n"), ReplaceResult::Replaced);
    EXPECT_EQ(ReadFile(m_folder / "PREFS.JS"), "new\r\n");

    testing_support::MakeFolder(m_folder / "Profile");
    ASSERT_EQ(ReplaceWholeFile("profile\\PREFS.JS", "deeper"), ReplaceResult::Replaced);
    EXPECT_EQ(ReadFile(m_folder / "Profile/PREFS.JS"), "deeper");
}

TEST_F(WholeFileContract, ReadOnlyFileCannotBeReplacedAndStaysAsItWas) {
    WriteFile(m_folder / "PREFS.JS", "kept\r\n");
    ASSERT_TRUE(SetFileAttributesA("PREFS.JS", FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(ReplaceWholeFile("PREFS.JS", "lost"), ReplaceResult::CannotCreate);
    std::string read;
    ASSERT_TRUE(ReadWholeFile("PREFS.JS", read));
    EXPECT_EQ(read, "kept\r\n");
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{".", "..", "PREFS.JS"}));
}

} // namespace
