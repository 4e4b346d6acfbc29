// One use of the program from its first start, driven through its windows.
#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "cleaner/unit3.h"
#include "paths/unit2.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"
#include "support/window_driver.h"
#include "ui/message_box.h"
#include "ui/win_help.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace testing_support;
using window_driver::Click;
using window_driver::Tick;

using JourneyTest = app_test::ProgramTest;

TEST_F(JourneyTest, FirstStartReviewThePathsCleanGoBackAndClose) {
    TempFolder installFolder{"brisvane-install"};
    const std::string program = app_test::InstallProgram(installFolder.Path());
    TempFolder profile{"brisvane-profile"};
    for (const char* folder : {"Cookies", "Favorites", "Favorites/Links", "History", "Cache"})
        MakeFolder(profile / folder);
    for (const char* file : {"Cookies/me@site.txt", "Favorites/Home.url",
                             "Favorites/Links/Kept.url", "History/index.dat"})
        WriteFile(profile / file, "x");
    const std::pair<const char*, const char*> shellFolders[] = {
        {layout::kShellCookies, "Cookies"},
        {layout::kShellFavorites, "Favorites"},
        {layout::kShellHistory, "History"},
        {layout::kShellCache, "Cache"}};
    for (const auto& [value, folder] : shellFolders)
        app_test::SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, value, profile / folder);

    ui::MessageBoxRecorder boxes;
    ui::WinHelpRecorder help;
    StartUp();
    Form1->Show();
    EXPECT_EQ(boxes.Count(), 0u);

    Tick(*Form1->CheckBox1);
    Tick(*Form1->CheckBox2);
    ASSERT_EQ(boxes.Count(), 1u) << "the favorites warning";

    Click(*Form1->Button5);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Last().text.rfind("Welcome to Brisvane!", 0), 0u);
    ASSERT_TRUE(Form2->Visible());
    EXPECT_EQ(Form2->Edit1->Text(), profile / "Cookies");
    EXPECT_EQ(Form2->Edit2->Text(), profile / "Favorites");
    EXPECT_TRUE(Exists(profile / "Cookies/me@site.txt"));

    Click(*Form2->Button1);
    EXPECT_FALSE(Form2->Visible());
    {
        TRegistry paths;
        ASSERT_TRUE(paths.OpenSubkey(layout::kPathsKey, false));
        EXPECT_EQ(paths.ReadText(layout::kIeCookiePath), profile / "Cookies");
    }

    Click(*Form1->Button5);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_FALSE(Exists(profile / "Cookies/me@site.txt"));
    EXPECT_FALSE(Exists(profile / "Favorites/Home.url"));
    EXPECT_TRUE(Exists(profile / "Favorites/Links/Kept.url"));
    EXPECT_TRUE(Exists(profile / "History/index.dat")) << "history was not ticked";
    EXPECT_FALSE(Form3->Visible());
    ASSERT_TRUE(Form4->Visible());

    Tick(*Form4->CheckBox1);
    EXPECT_EQ(boxes.Count(), 2u) << boxes.Last().text;
    EXPECT_EQ(ValueText(HKEY_LOCAL_MACHINE, layout::kRunKey, layout::kRunEntry), program);
    EXPECT_TRUE(Form4->CheckBox1->Checked());

    Click(*Form4->Button4);
    EXPECT_FALSE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(Form1->CheckBox1->Checked());
    EXPECT_TRUE(Form1->CheckBox2->Checked());

    EXPECT_EQ(app_test::RunLoopWith({[] { Click(*Form1->Button3); }}), 0);
    EXPECT_EQ(help.Count(), 1u);
}

// A standard user, or an administrator not running elevated, may read HKEY_LOCAL_MACHINE but
// not write it: the program still finds its install folder there, and starts at this user's
// log-on through the user's own Run key.
TEST_F(JourneyTest, AUserWhoMayOnlyReadTheMachinesKeysFindsTheInstallFolder) {
    TempFolder installFolder{"brisvane-install"};
    const std::string program = app_test::InstallProgram(installFolder.Path());
    TempFolder profile{"brisvane-profile"};
    MakeFolder(profile / "History");
    MakeFolder(profile / "History/Today");
    WriteFile(profile / "History/Today/visit.dat", "x");
    for (const char* value : {layout::kIeCookiePath, layout::kIeFavoritesPath, layout::kIeCachePath,
                              layout::kNetscape4Path, layout::kNetscape3Path})
        app_test::SetText(HKEY_CURRENT_USER, layout::kPathsKey, value, "");
    app_test::SetText(HKEY_CURRENT_USER, layout::kPathsKey, layout::kIeHistoryPath,
                      profile / "History");
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kHistoryFlag, "true");
    DenyMachineWrites(m_sandbox);
    const std::string machine = HiveSnapshot(m_sandbox, "HKEY_LOCAL_MACHINE");

    ui::MessageBoxRecorder boxes;
    ui::WinHelpRecorder help;
    StartUp();
    Form1->Show();
    Click(*Form1->Button1);
    ASSERT_EQ(help.Count(), 1u);
    EXPECT_EQ(help.Last().helpFile, installFolder.Path() + "\\brisvan.hlp");

    Click(*Form1->Button5);
    EXPECT_FALSE(Exists(profile / "History/Today")) << "parked in the install folder";
    int parked = 0;
    for (int number = 0; number < 100; ++number)
        parked += Exists(installFolder / (std::to_string(number) + "/visit.dat"));
    EXPECT_EQ(parked, 1);
    ASSERT_TRUE(Form4->Visible());
    Tick(*Form4->CheckBox1);
    EXPECT_EQ(boxes.Count(), 0u) << boxes.Last().text;
    EXPECT_TRUE(Form4->CheckBox1->Checked());
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kRunKey, layout::kRunEntry), program);
    EXPECT_EQ(HiveSnapshot(m_sandbox, "HKEY_LOCAL_MACHINE"), machine);
}

} // namespace
