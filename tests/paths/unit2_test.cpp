#include "paths/unit2.h"
#include "settings/registry_layout.h"
#include "support/registry_values.h"
#include "support/temp_folder.h"
#include "support/window_driver.h"
#include "ui/application.h"
#include "ui/folder_picker.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"
#include "ui/qt/widget.h"
#include "ui/win_help.h"
#include "ui/window_frame.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

using namespace testing_support;

namespace {

using ui::qt::Widget;

// Start-up creates the main page first; a stand-in keeps the dialog from being the main window,
// whose closing would end the program.
class MainStandIn : public TForm {
public:
    MainStandIn() : TForm("Main", 467, 325, biSystemMenu) {}
};

MainStandIn* MainPage = nullptr;

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        Application.SetTitle("Brisvane");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Cookies", "C:\\WIN\\Cookies");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Favorites", "C:\\WIN\\Favorites");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "History", "C:\\WIN\\History");
        SetText(HKEY_CURRENT_USER, layout::kShellFoldersKey, "Cache", "C:\\WIN\\Temporary");
    }
    void TearDown() override { Application.DestroyForms(); }

    void CreateWindows() {
        Application.CreateForm(MainPage);
        Application.CreateForm(Form2);
    }

    std::vector<TEdit*> Edits() const {
        return {Form2->Edit1, Form2->Edit2, Form2->Edit3, Form2->Edit4, Form2->Edit5, Form2->Edit6};
    }

    testing_support::RegistrySandbox m_sandbox;
    ui::MessageBoxRecorder m_messages;
};

TEST_F(SettingsDialogTest, ControlsCarryTheirCaptionsPlacesAndParents) {
    TForm2 dialog;
    EXPECT_EQ(dialog.Caption(), "Settings");
    EXPECT_EQ(Widget(&dialog)->width(), ui::ClientWidth(439));
    EXPECT_EQ(Widget(&dialog)->height(), ui::ClientHeight(284));
    EXPECT_FALSE(Widget(&dialog)->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Widget(&dialog)->windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(dialog.Label1->Caption(), "Browser Path Settings");
    EXPECT_EQ(Widget(dialog.Label1)->geometry(), QRect(8, 8, 417, 25));
    EXPECT_TRUE(Widget(dialog.Label1)->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(Widget(dialog.Label1)->font().family(), "Times New Roman");
    EXPECT_TRUE(Widget(dialog.Label1)->font().bold());
    EXPECT_EQ(Widget(dialog.Label1)->font().pixelSize(), 16);
    EXPECT_EQ(Widget(dialog.GroupBox1)->title(), " Internet Explorer ");
    EXPECT_EQ(Widget(dialog.GroupBox1)->geometry(), QRect(8, 32, 417, 113));
    EXPECT_EQ(Widget(dialog.GroupBox2)->title(), " Netscape ");
    EXPECT_EQ(Widget(dialog.GroupBox2)->geometry(), QRect(8, 152, 417, 65));

    struct Expected {
        QWidget* control;
        QWidget* parent;
        QString text;
        QRect bounds;
    };
    const std::vector<Expected> controls = {
        {Widget(dialog.Label2), Widget(dialog.GroupBox1), "Cookie:", {8, 16, 36, 13}},
        {Widget(dialog.Label3), Widget(dialog.GroupBox1), "Favorites:", {216, 16, 46, 13}},
        {Widget(dialog.Label4), Widget(dialog.GroupBox1), "History:", {8, 56, 35, 13}},
        {Widget(dialog.Label5), Widget(dialog.GroupBox1), "Cache:", {216, 56, 34, 13}},
        {Widget(dialog.Edit1), Widget(dialog.GroupBox1), "Edit1", {8, 32, 153, 21}},
        {Widget(dialog.Edit2), Widget(dialog.GroupBox1), "Edit2", {216, 32, 153, 21}},
        {Widget(dialog.Edit3), Widget(dialog.GroupBox1), "Edit3", {8, 72, 153, 21}},
        {Widget(dialog.Edit4), Widget(dialog.GroupBox1), "Edit4", {216, 72, 153, 21}},
        {Widget(dialog.Button5), Widget(dialog.GroupBox1), "...", {168, 32, 25, 17}},
        {Widget(dialog.Button6), Widget(dialog.GroupBox1), "...", {168, 72, 25, 17}},
        {Widget(dialog.Button7), Widget(dialog.GroupBox1), "...", {376, 32, 25, 17}},
        {Widget(dialog.Button8), Widget(dialog.GroupBox1), "...", {376, 72, 25, 17}},
        {Widget(dialog.Label6),
         Widget(dialog.GroupBox2),
         "Netscape v4.x Directory:",
         {8, 16, 117, 13}},
        {Widget(dialog.Label7),
         Widget(dialog.GroupBox2),
         "Netsape v3.x Netscape Directory:",
         {216, 16, 160, 13}},
        {Widget(dialog.Edit5), Widget(dialog.GroupBox2), "Edit5", {8, 32, 153, 21}},
        {Widget(dialog.Edit6), Widget(dialog.GroupBox2), "Edit6", {216, 32, 153, 21}},
        {Widget(dialog.Button9), Widget(dialog.GroupBox2), "...", {376, 32, 25, 17}},
        {Widget(dialog.Button10), Widget(dialog.GroupBox2), "...", {168, 32, 25, 17}},
        {Widget(dialog.Button4), Widget(&dialog), "&Reset", {8, 224, 73, 25}},
        {Widget(dialog.Button3), Widget(&dialog), "&Cancel", {176, 224, 73, 25}},
        {Widget(dialog.Button2), Widget(&dialog), "&Help", {264, 224, 73, 25}},
        {Widget(dialog.Button1), Widget(&dialog), "&OK", {352, 224, 73, 25}},
    };
    for (const Expected& expected : controls) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(expected.control))
            text = label->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(expected.control))
            text = edit->text();
        else if (auto* button = qobject_cast<QPushButton*>(expected.control))
            text = button->text();
        EXPECT_EQ(text, expected.text);
        EXPECT_EQ(expected.control->parentWidget(), expected.parent) << text.toStdString();
        const QRect bounds = expected.control->geometry();
        if (qobject_cast<QLabel*>(expected.control)) {
            // Row labels size themselves to their text, whatever font stands in.
            EXPECT_EQ(bounds.topLeft(), expected.bounds.topLeft()) << text.toStdString();
            EXPECT_EQ(bounds.height(), expected.bounds.height());
            EXPECT_GE(bounds.width(), expected.control->fontMetrics().horizontalAdvance(text));
        } else {
            EXPECT_EQ(bounds, expected.bounds) << text.toStdString();
        }
    }
}

// The first row, from the top of the box, that differs from the dialog's background right of
// the caption: the frame's top edge.
int FrameTop(const QImage& dialog, const QRect& box) {
    const int x = box.right() - 20;
    const QRgb background = dialog.pixel(x, box.y() - 2);
    for (int y = box.y(); y < box.bottom(); ++y)
        if (dialog.pixel(x, y) != background)
            return y - box.y();
    return -1;
}

TEST_F(SettingsDialogTest, GroupFramesRunThroughTheirCaptionsAboveTheFirstRowOfLabels) {
    TForm2 dialog;
    Widget(&dialog)->show();
    const QImage picture = Widget(&dialog)->grab().toImage();
    for (TGroupBox* group : {dialog.GroupBox1, dialog.GroupBox2}) {
        const int top = FrameTop(picture, Widget(group)->geometry());
        EXPECT_GE(top, 0) << Widget(group)->title().toStdString();
        EXPECT_LT(top, QFontMetrics(Widget(group)->font()).height())
            << Widget(group)->title().toStdString() << ": the top edge crosses the caption";
        EXPECT_LT(top + 2, Widget(dialog.Label2)->y()) << "the labels are inside the frame";
    }
}

TEST_F(SettingsDialogTest, TabOrderRunsThroughEachGroupThenTheButtonsAndNoneIsDefault) {
    TForm2 dialog;
    std::vector<QWidget*> chain;
    QWidget* widget = Widget(dialog.Edit1);
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && Widget(&dialog)->isAncestorOf(widget))
            chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != Widget(dialog.Edit1));

    const std::vector<QWidget*> expected = {
        Widget(dialog.Edit1),   Widget(dialog.Edit2),   Widget(dialog.Edit3),
        Widget(dialog.Edit4),   Widget(dialog.Button5), Widget(dialog.Button6),
        Widget(dialog.Button7), Widget(dialog.Button8), Widget(dialog.Edit5),
        Widget(dialog.Edit6),   Widget(dialog.Button9), Widget(dialog.Button10),
        Widget(dialog.Button4), Widget(dialog.Button3), Widget(dialog.Button2),
        Widget(dialog.Button1)};
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(dialog.DefaultButton(), nullptr);
    for (QPushButton* button : Widget(&dialog)->findChildren<QPushButton*>())
        EXPECT_FALSE(button->isDefault() || button->autoDefault());
}

TEST_F(SettingsDialogTest, EnterInAnEditStoresNothingAndEscDoesNotClose) {
    CreateWindows();
    const std::string before = HiveSnapshot(m_sandbox);
    Form2->Show();
    window_driver::Type(*Form2->Edit2, "X");
    QTest::keyClick(Widget(Form2->Edit2), Qt::Key_Return);
    QTest::keyClick(Widget(Form2->Edit2), Qt::Key_Escape);
    QTest::keyClick(Widget(Form2), Qt::Key_Escape);

    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(HiveSnapshot(m_sandbox), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, layout::kPathsKey));
}

TEST_F(SettingsDialogTest, IsModelessAndShowingAgainOnlyBringsItToTheFront) {
    CreateWindows();
    MainPage->Show();
    Form2->Show();
    EXPECT_EQ(Widget(Form2)->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(Widget(MainPage)->isEnabled());

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
    EXPECT_EQ(Widget(Form2->Edit4)->cursorPosition(), 0) << "a long path shows its beginning";
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
        Widget(edit)->clear();
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

    EXPECT_EQ(Widget(Form2->Edit1)->text(), QString::fromUtf8("C:\\Users\\J\u00FCrgen\\Cookies"))
        << "shown as the code page's character, not replaced";
    Form2->Show();
    Form2->Button1->Click();
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie"), codePagePath);
    EXPECT_TRUE(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cache") == longPath)
        << "the long path came back changed";
}

TEST_F(SettingsDialogTest, AnEditKeepsTheLoadedBytesOfTheTextTheUserDidNotChange) {
    SetText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie", "C:\\J\xFCrgen\\Cookies");
    CreateWindows();
    Form2->Show();

    Widget(Form2->Edit1)->end(false);
    window_driver::Type(*Form2->Edit1, "\\Old");
    Widget(Form2->Edit1)->setCursorPosition(3);
    Widget(Form2->Edit1)->insert(QString::fromUtf8("\u00E9"));
    Form2->Edit2->SetText("C:\\Fav");
    Widget(Form2->Edit2)->end(false);
    window_driver::Type(*Form2->Edit2, "orites");
    Form2->Button1->Click();

    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Cookie"),
              "C:\\\xC3\xA9J\xFCrgen\\Cookies\\Old")
        << "typed text is UTF-8; the bytes around it are as loaded";
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Favorites"), "C:\\Favorites");
}

TEST_F(SettingsDialogTest, OkThatCannotWriteReportsTheErrorAndStaysOpen) {
    CreateWindows();
    Form2->Show();
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
    Widget(Form2->Edit2)->selectAll();
    window_driver::Type(*Form2->Edit2, "E:\\typed");
    Form2->Button3->Click();

    EXPECT_FALSE(Form2->Visible());
    EXPECT_EQ(ValueText(HKEY_CURRENT_USER, layout::kPathsKey, "IE Favorites"), "D:\\Favorites");
    Form2->Show();
    EXPECT_EQ(Form2->Edit2->Text(), "E:\\typed");

    Form2->Edit3->SetText("F:\\other");
    Widget(Form2)->close();
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
