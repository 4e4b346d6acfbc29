#include "app/registry_notice.h"
#include "app_fixture.h"
#include "settings/registry_layout.h"
#include "support/temp_folder.h"
#include "ui/message_box.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace testing_support;

class RegistryNoticeTest : public app_test::ProgramTest {
protected:
    std::string Folder() const { return m_sandbox.ConfigHome() + "/brisvane"; }
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(RegistryNoticeTest, ADamagedFileIsNamedWithItsFolderAndLineOnceAndLeftAsItIs) {
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, "Cookies", "true");
    const std::string path = m_sandbox.HivePath("HKEY_CURRENT_USER");
    const std::string damaged = ReadFile(path) + "\"Cache\"=hex:zz\r\n";
    WriteFile(path, damaged);
    ui::MessageBoxRecorder boxes;
    StartUp();
    ReportUnusableRegistryFiles();

    ASSERT_EQ(boxes.Count(), 1u);
    const std::string& text = boxes.Last().text;
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(boxes.Last().owner, nullptr);
    EXPECT_TRUE(Has(text, "HKEY_CURRENT_USER.reg in " + Folder() + " is damaged at line ")) << text;
    EXPECT_TRUE(Has(text, "left it as it is")) << text;
    EXPECT_FALSE(Has(text, "HKEY_LOCAL_MACHINE")) << text;
    EXPECT_EQ(ReadFile(path), damaged);
}

TEST_F(RegistryNoticeTest, AReadOnlyFileOrFolderIsNamedAndNothingIsWritten) {
    app_test::SetText(HKEY_LOCAL_MACHINE, layout::kRunKey, layout::kRunEntry, "/opt/x");
    const std::string path = m_sandbox.HivePath("HKEY_LOCAL_MACHINE");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    const std::string before = HiveSnapshot(m_sandbox);
    ui::MessageBoxRecorder boxes;
    StartUp();
    ReportUnusableRegistryFiles();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_TRUE(Has(boxes.Last().text, "HKEY_LOCAL_MACHINE.reg in " + Folder() + " is read-only"))
        << boxes.Last().text;
    EXPECT_EQ(HiveSnapshot(m_sandbox), before);

    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(chmod(Folder().c_str(), 0500), 0);
    ReportUnusableRegistryFiles();
    ASSERT_EQ(chmod(Folder().c_str(), 0700), 0);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_TRUE(Has(boxes.Last().text, "that folder is read-only")) << boxes.Last().text;
    EXPECT_TRUE(Has(boxes.Last().text, "HKEY_CURRENT_USER.reg")) << boxes.Last().text;
}

TEST_F(RegistryNoticeTest, AHiveThatIsAFolderIsNamedWithWhatItIs) {
    MakeFolder(Folder());
    MakeFolder(m_sandbox.HivePath("HKEY_LOCAL_MACHINE"));
    ui::MessageBoxRecorder boxes;
    ReportUnusableRegistryFiles();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_TRUE(Has(boxes.Last().text, "HKEY_LOCAL_MACHINE.reg in " + Folder() + " is a folder"))
        << boxes.Last().text;
}

TEST_F(RegistryNoticeTest, UsableFilesOrNoneAtAllGiveNoMessage) {
    ui::MessageBoxRecorder boxes;
    ReportUnusableRegistryFiles();
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, "Cookies", "true");
    StartUp();
    ReportUnusableRegistryFiles();
    EXPECT_EQ(boxes.Count(), 0u);
}

} // namespace
