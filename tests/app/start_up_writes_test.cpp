// The program's start-up with every option ticked as stored reads the hives and writes none.
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

TEST_F(ProgramTest, AStartWithEveryOptionTickedAsStoredWritesNoHive) {
    for (const char* flag : {layout::kCookiesFlag, layout::kFavoritesFlag, layout::kHistoryFlag,
                             layout::kCacheFlag, layout::kUrlRegistryFlag, layout::kUrlCheckFlag})
        app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, flag, layout::kTrue);
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
    ExpectUnchanged(user, userBefore);
    ExpectUnchanged(machine, machineBefore);
    EXPECT_EQ(testing_support::HiveSnapshot(m_sandbox), snapshot);
}

} // namespace
