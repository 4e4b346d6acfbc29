#include "platform/root_or_home.h"
#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;
using brisvane::platform::CurrentFolderIsRootOrHome;
using namespace testing_support;

namespace {

class RootOrHomeTest : public ::testing::Test {
protected:
    RegistrySandbox m_sandbox; // restores the current folder
    TempFolder m_folder{"brisvane-root-or-home"};
    std::optional<std::string> m_oldHome;

    void SetUp() override {
        if (const char* home = std::getenv("HOME"))
            m_oldHome = home;
        MakeFolder(m_folder / "home/sub");
    }
    void TearDown() override {
        if (m_oldHome)
            setenv("HOME", m_oldHome->c_str(), 1);
        else
            unsetenv("HOME");
    }
    static bool At(const std::string& folder) {
        fs::current_path(folder);
        return CurrentFolderIsRootOrHome();
    }
};

TEST_F(RootOrHomeTest, FileSystemRootCountsWhateverPathLedThere) {
    EXPECT_TRUE(At("/"));
    EXPECT_TRUE(At(m_folder.Path() + "/../.."));
    EXPECT_FALSE(At(m_folder.Path()));
}

TEST_F(RootOrHomeTest, HomeFolderCountsButNotWhatLiesInIt) {
    setenv("HOME", (m_folder / "home").c_str(), 1);
    EXPECT_TRUE(At(m_folder / "home/sub/.."));
    EXPECT_FALSE(At(m_folder / "home/sub"));
    EXPECT_FALSE(At(m_folder.Path()));
}

TEST_F(RootOrHomeTest, AccountHomeCountsWhenHomeIsUnsetOrElsewhere) {
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    unsetenv("HOME");
    EXPECT_TRUE(At(user->pw_dir));
    setenv("HOME", m_folder.Path().c_str(), 1);
    EXPECT_TRUE(At(user->pw_dir));
}

} // namespace
