#include "paths/unit2.h"
#include "settings/registry_layout.h"
#include "settings_dialog_fixture.h"
#include "support/environment.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"
#include "support/window_driver.h"
#include "ui/application.h"
#include "ui/folder_picker.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"
#include "ui/win_help.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

using namespace testing_support;

namespace {

using namespace settings_dialog_test;

TEST_F(SettingsDialogTest, TabRunsThroughEachGroupThenTheButtonsAndNoneIsDefault) {
    CreateWindows();
    Form2->Show();
    const std::vector<TControl*> expected = {
        Form2->Edit2,   Form2->Edit3,   Form2->Edit4,    Form2->Button5,
        Form2->Button6, Form2->Button7, Form2->Button8,  Form2->Edit5,
        Form2->Edit6,   Form2->Button9, Form2->Button10, Form2->Button4,
        Form2->Button3, Form2->Button2, Form2->Button1,  Form2->Edit1};
    TControl* focused = Form2->Edit1;
    for (TControl* next : expected) {
        window_driver::Press(*focused, window_driver::Key::Tab);
        EXPECT_TRUE(window_driver::HasFocus(*next)) << "after " << window_driver::Caption(*focused);
        focused = next;
    }
    EXPECT_EQ(Form2->DefaultButton(), nullptr);
}

TEST_F(SettingsDialogTest, EnterInAnEditStoresNothingAndEscDoesNotClose) {
    CreateWindows();
    const std::string before = HiveSnapshot(m_sandbox);
    Form2->Show();
    window_driver::Type(*Form2->Edit2, "X");
    window_driver::Press(*Form2->Edit2, window_driver::Key::Enter);
    window_driver::Press(*Form2->Edit2, window_driver::Key::Escape);
    window_driver::Press(*Form2->Button1, window_driver::Key::Escape);

    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(HiveSnapshot(m_sandbox), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, layout::kPathsKey));
}

TEST_F(SettingsDialogTest, IsModelessAndShowingAgainOnlyBringsItToTheFront) {
    CreateWindows();
    MainPage->Show();
    Form2->Show();
    EXPECT_FALSE(window_driver::ModalWindowOpen());
    EXPECT_TRUE(MainPage->Enabled());

    Form2->Edit1->SetText("typed");
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie", "changed meanwhile");
    Form2->Show();
    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(Form2->Edit1->Text(), "typed");
}

TEST_F(SettingsDialogTest, StartUpFillsTheEditsFromDiscoveryAndWritesNothing) {
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE History", "D:\\kept");
    const std::string before = HiveSnapshot(m_sandbox);
    CreateWindows();

    std::vector<std::string> texts;
    for (TEdit* edit : Edits())
        texts.push_back(edit->Text());
    const std::vector<std::string> expected = {
        "C:\\WIN\\Cookies", "C:\\WIN\\Favorites", "D:\\kept", "C:\\WIN\\Temporary", "", ""};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(Form2->Edit4->SelStart(), 0) << "a long path shows its beginning";
    EXPECT_EQ(HiveSnapshot(m_sandbox), before);
    EXPECT_EQ(m_messages.Count(), 0u);
    EXPECT_FALSE(Form2->Visible());
}

TEST_F(SettingsDialogTest, ANumberTypedStoredValueStopsLoadingWithOneErrorReport) {
    SetNumber(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cache", 5);
    CreateWindows();

    ASSERT_NE(Form2, nullptr);
    std::vector<std::string> texts;
    for (TEdit* edit : Edits())
        texts.push_back(edit->Text());
    const std::vector<std::string> expected = {
        "C:\\WIN\\Cookies", "C:\\WIN\\Favorites", "C:\\WIN\\History", "Edit4", "Edit5", "Edit6"};
    EXPECT_EQ(texts, expected);
    ASSERT_EQ(m_messages.Count(), 1u);
    EXPECT_EQ(m_messages.Last().text, "Invalid data type for 'IE Cache'.");
    EXPECT_EQ(m_messages.Last().caption, "Brisvane");
    EXPECT_EQ(m_messages.Last().type & 0xF0, MB_ICONERROR);
}

TEST_F(SettingsDialogTest, OkStoresTheEditsAsTheyAreAndHides) {
    CreateWindows();
    Form2->Show();
    for (TEdit* edit : Edits())
        edit->SetText("");
    Form2->Button1->Click();

    EXPECT_FALSE(Form2->Visible());
    for (const BrowserPathRow& row : kBrowserPaths) {
        EXPECT_EQ(ValueType(HKEY_CURRENT_USER, layout::kPathsKey, row.storedValue), REG_SZ);
        EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, row.storedValue), "");
    }

    Form2->Show();
    Form2->Edit6->SetText(" C:\\NS3 ");
    Form2->Button1->Click();
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "Netscape Two"), " C:\\NS3 ");
    EXPECT_EQ(m_messages.Count(), 0u);
}

TEST_F(SettingsDialogTest, AnUneditedOkWritesBackExactlyTheBytesThatWereLoaded) {
    // A "ü" as a Windows export stores it, which is not UTF-8, and a path longer than any limit
    // an edit field might set by default.
    const std::string codePagePath = "C:\\Users\\J\xFCrgen\\Cookies";
    const std::string longPath = "D:\\" + std::string(40000, 'x');
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie", codePagePath);
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cache", longPath);
    CreateWindows();

    Form2->Show();
    Form2->Button1->Click();
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie"), codePagePath);
    EXPECT_TRUE(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cache") == longPath)
        << "the long path came back changed";
}

TEST_F(SettingsDialogTest, OkThatCannotWriteReportsTheErrorAndStaysOpen) {
    CreateWindows();
    Form2->Show();
    if (OnWindows())
        GTEST_SKIP() << "the system's registry has rights of its own, not a file's mode";
    const std::string hive = m_sandbox.HivePath("HKEY_CURRENT_USER");
    ASSERT_EQ(chmod(hive.c_str(), 0444), 0);

    Form2->Button1->Click();

    EXPECT_TRUE(Form2->Visible());
    ASSERT_EQ(m_messages.Count(), 1u);
    EXPECT_EQ(m_messages.Last().text, "Failed to set data for 'IE Cookie'.");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, layout::kPathsKey));
}

TEST_F(SettingsDialogTest, CancelAndTheTitleBarHideAndKeepTheTypedText) {
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Favorites", "D:\\Favorites");
    CreateWindows();
    Form2->Show();
    Form2->Edit2->SetText("");
    window_driver::Type(*Form2->Edit2, "E:\\typed");
    Form2->Button3->Click();

    EXPECT_FALSE(Form2->Visible());
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Favorites"), "D:\\Favorites");
    Form2->Show();
    EXPECT_EQ(Form2->Edit2->Text(), "E:\\typed");

    Form2->Edit3->SetText("F:\\other");
    window_driver::CloseFromTitleBar(*Form2);
    EXPECT_FALSE(Form2->Visible());
    EXPECT_FALSE(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE History").has_value());
    EXPECT_EQ(Form2->Edit3->Text(), "F:\\other");
}

TEST_F(SettingsDialogTest, ResetRemovesOnlyThePathsKeyAfterTheNoticeAndEndsTheProgram) {
    SetText(HKEY_CURRENT_USER, layout::kSettingsKey, "Cookies", "true");
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie", "D:\\Cookies");
    CreateWindows();
    ui::PostQuitMessageRecorder quits;
    bool pathsKeyWhileOpen = false;
    m_messages.WhileOpen([&](const ui::MessageBoxCall&) {
        pathsKeyWhileOpen = KeyExists(HKEY_CURRENT_USER, layout::kPathsKey);
        EXPECT_EQ(quits.Count(), 0u);
    });
    Form2->Show();

    Form2->Button4->Click();

    ASSERT_EQ(m_messages.Count(), 1u);
    const ui::MessageBoxCall& notice = m_messages.Last();
    EXPECT_EQ(notice.text,
              "The program will now terminate in order to restore the default settings.");
    EXPECT_EQ(notice.caption, "Brisvane");
    EXPECT_EQ(notice.owner, nullptr);
    EXPECT_EQ(notice.type, MB_OK | MB_ICONINFORMATION);
    EXPECT_TRUE(pathsKeyWhileOpen);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, layout::kPathsKey));
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kSettingsKey, "Cookies"), "true");
    ASSERT_EQ(quits.Count(), 1u);
    EXPECT_EQ(quits.Last().exitCode, 0);
}

TEST_F(SettingsDialogTest, ResetWithoutAPathsKeyStillEndsTheProgramWithoutAnError) {
    CreateWindows();
    ui::PostQuitMessageRecorder quits;
    Form2->Button4->Click();
    EXPECT_EQ(m_messages.Count(), 1u);
    EXPECT_EQ(quits.Count(), 1u);
}

TEST_F(SettingsDialogTest, EachBrowseButtonFillsItsEditOnlyWhenAFolderIsChosen) {
    CreateWindows();
    Form2->Show();
    const std::string before = HiveSnapshot(m_sandbox);
    ui::FolderPickerRecorder picker;
    struct Browse {
        TButton* button;
        TEdit* edit;
        std::string prompt;
    };
    const std::vector<Browse> browses = {
        {Form2->Button5, Form2->Edit1,
         "Select your Internet Explorer cookie folder from the list below..."},
        {Form2->Button7, Form2->Edit2,
         "Select your Internet Explorer favorites folder from the list below..."},
        {Form2->Button6, Form2->Edit3,
         "Select your Internet Explorer history folder from the list below..."},
        {Form2->Button8, Form2->Edit4,
         "Select your Internet Explorer cache folder from the list below..."},
        {Form2->Button10, Form2->Edit5,
         "Select your Netscape Navigator v4.x directory from the list below..."},
        {Form2->Button9, Form2->Edit6,
         "Select your Netscape Navigator v3.x folder from the list below..."},
    };
    for (const Browse& browse : browses) {
        browse.edit->SetText("before");
        picker.QueueAnswer(std::nullopt);
        browse.button->Click();
        EXPECT_EQ(browse.edit->Text(), "before") << browse.prompt;

        const std::string folder = "/home/user/" + browse.prompt.substr(12, 20);
        picker.QueueAnswer(folder);
        browse.button->Click();
        EXPECT_EQ(browse.edit->Text(), folder);
        EXPECT_EQ(picker.Last().prompt, browse.prompt);
        EXPECT_EQ(picker.Last().owner, Form2->Handle());
    }
    EXPECT_EQ(picker.Count(), 12u);
    EXPECT_EQ(HiveSnapshot(m_sandbox), before);
    EXPECT_EQ(m_messages.Count(), 0u);
}

TEST_F(SettingsDialogTest, HelpOpensContextOneOfTheHelpFileInTheInstallFolder) {
    CreateWindows();
    ui::WinHelpRecorder help;
    SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, "Path", "C:\\Tools\\Cleaner");

    Form2->Button2->Click();

    ASSERT_EQ(help.Count(), 1u);
    EXPECT_EQ(help.Last().helpFile, "C:\\Tools\\Cleaner\\brisvan.hlp");
    EXPECT_EQ(help.Last().command, HELP_CONTEXT);
    EXPECT_EQ(help.Last().data, 1u);
    EXPECT_EQ(help.Last().owner, Application.Handle());
}

} // namespace
