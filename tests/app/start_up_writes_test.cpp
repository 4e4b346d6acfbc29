// The program's start-up with every option ticked as stored reads the hives and writes none,
// unless a flag is stored as another type than text: that one is stored again.
#include "app/unit1.h"
#include "app_fixture.h"
#include "settings/registry_layout.h"
#include "support/registry_values.h"
#include "ui/application.h"
#include "ui/message_box.h"

#include <sys/stat.h>

namespace {

using app_test::ProgramTest;
using app_test::RunLoopWith;

struct FileState {
    ino_t inode = 0;
    timespec modified{};
};

FileState StateOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return {info.st_ino, info.st_mtim};
}

void ExpectUnchanged(const std::string& path, const FileState& before) {
    const FileState after = StateOf(path);
    EXPECT_EQ(after.inode, before.inode) << path;
    EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec) << path;
    EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec) << path;
}

// How the ticked options lie in the hive before the start.
struct StoredOptions {
    const char* cookiesSpelling; // a flag matches whatever the case of its stored name
    bool cacheAsExpandable;      // a flag of another type is stored again, as text
};

class StartUpWrites : public ProgramTest, public ::testing::WithParamInterface<StoredOptions> {};

TEST_P(StartUpWrites, WritesAHiveOnlyWhenAStoredFlagIsNotAlreadyText) {
    const StoredOptions stored = GetParam();
    for (const char* flag : {layout::kCookiesFlag, layout::kFavoritesFlag, layout::kHistoryFlag,
                             layout::kCacheFlag, layout::kUrlRegistryFlag, layout::kUrlCheckFlag})
        app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey,
                          flag == layout::kCookiesFlag ? stored.cookiesSpelling : flag,
                          layout::kTrue);
    if (stored.cacheAsExpandable) {
        const char expandable[] = "true";
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, layout::kSettingsKey, 0, KEY_ALL_ACCESS, &key),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, layout::kCacheFlag, 0, REG_EXPAND_SZ,
                                 reinterpret_cast<const BYTE*>(expandable), sizeof expandable),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    app_test::SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue,
                      m_sandbox.ConfigHome());
    const std::string user = m_sandbox.HivePath("HKEY_CURRENT_USER");
    const std::string machine = m_sandbox.HivePath("HKEY_LOCAL_MACHINE");
    const FileState userBefore = StateOf(user);
    const FileState machineBefore = StateOf(machine);
    const std::string snapshot = testing_support::HiveSnapshot(m_sandbox);
    ui::MessageBoxRecorder boxes;

    StartUp();
    bool allTicked = false;
    EXPECT_EQ(RunLoopWith({[&] {
                  allTicked = Form1->CheckBox1->Checked() && Form1->CheckBox2->Checked() &&
                              Form1->CheckBox3->Checked() && Form1->CheckBox4->Checked() &&
                              Form1->CheckBox5->Checked();
                  Application.Terminate();
              }}),
              0);

    EXPECT_TRUE(allTicked);
    EXPECT_EQ(boxes.Count(), 0u);
    ExpectUnchanged(machine, machineBefore);
    if (stored.cacheAsExpandable) {
        EXPECT_NE(StateOf(user).inode, userBefore.inode);
        EXPECT_EQ(
            testing_support::ValueType(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kCacheFlag),
            REG_SZ);
    } else {
        ExpectUnchanged(user, userBefore);
        EXPECT_EQ(testing_support::HiveSnapshot(m_sandbox), snapshot);
    }
}

INSTANTIATE_TEST_SUITE_P(AsStored, StartUpWrites,
                         ::testing::Values(StoredOptions{layout::kCookiesFlag, false},
                                           StoredOptions{"COOKIES", false},
                                           StoredOptions{layout::kCookiesFlag, true}));

} // namespace
