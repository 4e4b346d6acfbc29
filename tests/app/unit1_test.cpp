#include "app/unit1.h"
#include "app_fixture.h"
#include "paths/unit2.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "support/temp_folder.h"
#include "support/window_driver.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"
#include "ui/win_help.h"

#include <vector>

namespace {

using app_test::Bounds;
using app_test::Rect;
using app_test::RunLoopWith;

class MainPageTest : public app_test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        StartUp();
    }
};

TEST_F(MainPageTest, HasItsButtonRowWithMnemonicsAndNextAsTheBoldDefaultButton) {
    EXPECT_EQ(Form1->Button1->Caption(), "&Help");
    EXPECT_EQ(Form1->Button3->Caption(), "&Close");
    EXPECT_EQ(Form1->Button4->Caption(), "< &Back");
    EXPECT_EQ(Form1->Button5->Caption(), "&Next >");
    EXPECT_EQ(Form1->Button2->Caption(), "&About");
    EXPECT_EQ(Form1->Button6->Caption(), "&Settings");
    EXPECT_EQ(Bounds(*Form1->Button5), Rect(264, 264, 65, 25));
    EXPECT_EQ(Bounds(*Form1->Image1), Rect(8, 8, 121, 233));
    EXPECT_EQ(window_driver::PictureSize(*Form1->Image1), std::make_pair(121, 233));
    EXPECT_EQ(Form1->DefaultButton(), Form1->Button5);
    EXPECT_TRUE(window_driver::IsBold(*Form1->Button5));
    EXPECT_FALSE(window_driver::IsBold(*Form1->Button1));
}

TEST_F(MainPageTest, TheFirstShowFocusesHelp) {
    Form1->Show();
    EXPECT_TRUE(window_driver::HasFocus(*Form1->Button1));
}

TEST_F(MainPageTest, EnterOnAFocusedCheckBoxPressesNextAndOnAFocusedButtonThatButton) {
    ui::MessageBoxRecorder boxes;
    TCheckBox* option = Form1->CheckBox1;
    Form1->Show();
    int next = 0;
    Form1->Button5->SetOnClick([&next] { ++next; });
    window_driver::Press(*option, window_driver::Key::Enter);
    EXPECT_EQ(next, 1);
    EXPECT_FALSE(option->Checked());

    window_driver::Press(*Form1->Button6, window_driver::Key::Enter);
    EXPECT_EQ(next, 1);
    EXPECT_TRUE(Form2->Visible());
}

TEST_F(MainPageTest, MnemonicsPressTheirButtonsTabFollowsTheTabOrderAndEscDoesNothing) {
    ui::MessageBoxRecorder boxes;
    ui::PostQuitMessageRecorder quits;
    Form1->Show();
    window_driver::PressMnemonic(*Form1, 'a');
    ASSERT_EQ(boxes.Count(), 1u) << "About";
    EXPECT_EQ(boxes.Last().caption, "Brisvane");

    // Back is disabled, so Tab passes it by; after the last control it starts over.
    const std::vector<TControl*> order = {
        Form1->Button3,   Form1->Button5,   Form1->Button2,   Form1->CheckBox1, Form1->CheckBox2,
        Form1->CheckBox3, Form1->CheckBox4, Form1->CheckBox5, Form1->Button6,   Form1->Button1};
    TControl* focused = Form1->Button1;
    for (TControl* next : order) {
        window_driver::Press(*focused, window_driver::Key::Tab);
        EXPECT_TRUE(window_driver::HasFocus(*next)) << "after " << window_driver::Caption(*focused);
        focused = next;
    }

    window_driver::Press(*Form1->CheckBox3, window_driver::Key::Escape);
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(quits.Count(), 0u);
    EXPECT_EQ(boxes.Count(), 1u);

    window_driver::PressMnemonic(*Form1, 'S');
    EXPECT_TRUE(Form2->Visible());
}

TEST_F(MainPageTest, BackStaysDisabledAndDoesNothing) {
    Form1->Show();
    int back = 0;
    Form1->Button4->SetOnClick([&back] { ++back; });
    window_driver::Click(*Form1->Button4);
    window_driver::PressMnemonic(*Form1, 'B');
    EXPECT_EQ(back, 0);
    EXPECT_FALSE(Form1->Button4->Enabled());
}

TEST_F(MainPageTest, SettingsShowsTheDialogBesideTheUsablePageAndAgainOnlyRaisesIt) {
    Form1->Show();
    Form1->Button6->Click();
    EXPECT_TRUE(Form2->Visible());
    const Rect placed = Bounds(*Form2);
    window_driver::MoveBy(*Form2, 5, 5);
    Form1->Button6->Click();
    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(Bounds(*Form2).left, placed.left + 5);
    EXPECT_EQ(Bounds(*Form2).top, placed.top + 5);
    EXPECT_TRUE(Form1->Enabled());
    EXPECT_FALSE(window_driver::ModalWindowOpen());
}

TEST_F(MainPageTest, CloseReleasesTheHelpViewerAndThenEndsTheLoopWithExitCodeZero) {
    app_test::SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue,
                      "C:\\Tools\\Cleaner");
    ui::WinHelpRecorder help;
    bool terminatedDuringHelp = true;
    help.WhileOpen(
        [&](const ui::WinHelpCall&) { terminatedDuringHelp = Application.Terminated(); });

    EXPECT_EQ(RunLoopWith({[] { window_driver::Click(*Form1->Button3); }}), 0);
    ASSERT_EQ(help.Count(), 1u);
    EXPECT_EQ(help.Last().owner, Application.Handle());
    EXPECT_EQ(help.Last().helpFile, "C:\\Tools\\Cleaner\\brisvan.hlp");
    EXPECT_EQ(help.Last().command, HELP_QUIT);
    EXPECT_EQ(help.Last().data, 0u);
    EXPECT_FALSE(terminatedDuringHelp);
}

TEST_F(MainPageTest, CloseWithoutAnAppPathsEntryStillQuitsTheViewerAndEnds) {
    ui::WinHelpRecorder help;
    EXPECT_EQ(RunLoopWith({[] { Form1->Button3->Click(); }}), 0);
    ASSERT_EQ(help.Count(), 1u);
    EXPECT_EQ(help.Last().helpFile, "\\brisvan.hlp");
}

TEST_F(MainPageTest, ClosingFromTheTitleBarEndsTheProgramWithoutCallingTheHelpViewer) {
    ui::WinHelpRecorder help;
    EXPECT_EQ(RunLoopWith({[] { window_driver::CloseFromTitleBar(*Form1); }}), 0);
    EXPECT_EQ(help.Count(), 0u);
}

TEST_F(MainPageTest, AnErrorInCloseIsReportedOnceWithAFullStopAndTheProgramKeepsRunning) {
    app_test::SetNumber(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue, 1);
    ui::WinHelpRecorder help;
    ui::MessageBoxRecorder boxes;
    bool runningAfterwards = false;
    EXPECT_EQ(RunLoopWith({[] { window_driver::Click(*Form1->Button3); },
                           [&] {
                               runningAfterwards = !Application.Terminated() && Form1->Visible();
                               Application.Terminate();
                           }}),
              0);
    EXPECT_TRUE(runningAfterwards);
    EXPECT_EQ(help.Count(), 0u);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Invalid data type for 'Path'.");
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(boxes.Last().type, MB_OK | MB_ICONERROR);
}

} // namespace

namespace {

using testing_support::RegistrySandbox;

std::string Flag(const char* name) {
    TRegistry settings;
    settings.OpenSubkey(layout::kSettingsKey, false);
    return settings.ReadText(name);
}

const char* const kWarning =
    "Please note that this option will erase all bookmarks/favorites in your browser.";

class OptionFlagsTest : public app_test::ProgramTest {};

TEST_F(OptionFlagsTest, EachBoxLoadsOnlyAnExactTrueAndWritesEveryChangeBack) {
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kCookiesFlag, "true");
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kHistoryFlag, "True");
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kCacheFlag, "1");
    ui::MessageBoxRecorder boxes;
    StartUp();
    EXPECT_TRUE(Form1->CheckBox1->Checked());
    EXPECT_FALSE(Form1->CheckBox3->Checked());
    EXPECT_FALSE(Form1->CheckBox4->Checked());
    EXPECT_FALSE(Form1->CheckBox5->Checked());
    EXPECT_EQ(Flag(layout::kHistoryFlag), "True");
    EXPECT_EQ(Flag(layout::kCacheFlag), "1");
    EXPECT_EQ(Flag(layout::kUrlRegistryFlag), "");

    const std::pair<TCheckBox*, const char*> boxFlags[] = {
        {Form1->CheckBox1, layout::kCookiesFlag},
        {Form1->CheckBox3, layout::kHistoryFlag},
        {Form1->CheckBox4, layout::kCacheFlag},
        {Form1->CheckBox5, layout::kUrlRegistryFlag}};
    for (const auto& [box, flag] : boxFlags) {
        SCOPED_TRACE(flag);
        const bool before = box->Checked();
        box->Click();
        EXPECT_EQ(Flag(flag), before ? "false" : "true");
        box->Click();
        EXPECT_EQ(Flag(flag), before ? "true" : "false");
    }
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(OptionFlagsTest, TheFavoritesWarningComesAtEveryTickButNotWhenBothFlagsAreStoredTrue) {
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kFavoritesFlag, "true");
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kUrlCheckFlag, "true");
    ui::MessageBoxRecorder boxes;
    StartUp();
    EXPECT_TRUE(Form1->CheckBox2->Checked());
    EXPECT_EQ(boxes.Count(), 0u);

    Form1->CheckBox2->Click();
    EXPECT_EQ(Flag(layout::kUrlCheckFlag), "false");
    EXPECT_EQ(Flag(layout::kFavoritesFlag), "false");
    Form1->CheckBox2->Click();
    Form1->CheckBox2->Click();
    Form1->CheckBox2->Click();
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Last().text, kWarning);
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(boxes.Last().owner, nullptr);
    EXPECT_EQ(boxes.Last().type, MB_ICONINFORMATION | MB_OK);
    EXPECT_EQ(Flag(layout::kUrlCheckFlag), "true");
    EXPECT_EQ(Flag(layout::kFavoritesFlag), "true");
}

TEST_F(OptionFlagsTest, AWarningAtStartUpComesBeforeTheParkedFoldersAreRemoved) {
    testing_support::TempFolder install;
    testing_support::MakeFolder(install / "1");
    testing_support::MakeFolder(install / "2");
    testing_support::WriteFile(install / "2/entry.dat", "x");
    app_test::SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue,
                      install.Path());
    app_test::SetText(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kFavoritesFlag, "true");
    ui::MessageBoxRecorder boxes;
    bool parkedWhileOpen = false;
    boxes.WhileOpen([&](const ui::MessageBoxCall&) {
        parkedWhileOpen = testing_support::Exists(install / "2/entry.dat");
    });
    StartUp();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, kWarning);
    EXPECT_TRUE(parkedWhileOpen);
    EXPECT_FALSE(testing_support::Exists(install / "2"));
    EXPECT_EQ(Flag(layout::kUrlCheckFlag), "true");
}

} // namespace
