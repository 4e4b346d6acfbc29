#include "app/about_message.h"
#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "paths/unit2.h"
#include "settings/registry_layout.h"
#include "support/temp_folder.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/qt/widget.h"
#include "ui/win_help.h"

#include <QAbstractButton>
#include <QTextDocumentFragment>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using ui::qt::Widget;

using app_test::SetText;

class HelpAndAboutTest : public app_test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        StartUp();
        Form1->Show();
        Form4->Show();
        Form2->Show();
    }
    // Help on the main page, the finish page and the settings dialog, in that order.
    void PressEveryHelp() {
        Form1->Button1->Click();
        Form4->Button1->Click();
        Form2->Button2->Click();
    }
};

TEST_F(HelpAndAboutTest, EveryHelpAsksTheViewerForTheInstallFoldersFileAsReadAtThatPress) {
    ui::WinHelpRecorder help;
    PressEveryHelp();
    SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue,
            "C:\\Tools\\Cleaner");
    PressEveryHelp();
    SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue, "C:\\Tools\\");
    PressEveryHelp();

    const std::vector<std::string> files = {"\\brisvan.hlp", "C:\\Tools\\Cleaner\\brisvan.hlp",
                                            "C:\\Tools\\\\brisvan.hlp"};
    ASSERT_EQ(help.Count(), 9u);
    for (std::size_t i = 0; i < help.Count(); ++i) {
        const ui::WinHelpCall& call = help.Calls()[i];
        const bool dialog = i % 3 == 2;
        EXPECT_EQ(call.helpFile, files[i / 3]) << "press " << i;
        EXPECT_EQ(call.owner, Application.Handle()) << "press " << i;
        EXPECT_EQ(call.command, dialog ? HELP_CONTEXT : HELP_FINDER) << "press " << i;
        EXPECT_EQ(call.data, dialog ? 1u : 0u) << "press " << i;
    }
}

TEST_F(HelpAndAboutTest, AboutShowsTheSameEightLinesOnBothPages) {
    ui::MessageBoxRecorder boxes;
    Form1->Button2->Click();
    Form4->Button2->Click();
    ASSERT_EQ(boxes.Count(), 2u);
    const ui::MessageBoxCall& main = boxes.Calls()[0];
    const ui::MessageBoxCall& finish = boxes.Calls()[1];
    EXPECT_EQ(main.text, AboutText());
    EXPECT_EQ(finish.text, main.text);
    EXPECT_EQ(main.text.rfind("Brisvane v1.02\n", 0), 0u);
    EXPECT_EQ(std::count(main.text.begin(), main.text.end(), '\n'), 7);
    EXPECT_NE(main.text.find("\n\nAddress: "), std::string::npos) << "blank line before contacts";
    EXPECT_NE(main.text.find("\nWeb: www.tessmark.example\n"), std::string::npos);
    for (const ui::MessageBoxCall* call : {&main, &finish}) {
        EXPECT_EQ(call->owner, nullptr);
        EXPECT_EQ(call->caption, "Brisvane");
        EXPECT_EQ(call->type, UINT(MB_OK | MB_ICONINFORMATION));
    }
}

} // namespace

namespace {

// Every caption set in bold in the help file, as the reader sees it.
std::vector<std::string> BoldCaptions(const std::string& html) {
    std::vector<std::string> captions;
    for (std::size_t at = html.find("<b>"); at != std::string::npos;
         at = html.find("<b>", at + 3)) {
        const std::size_t end = html.find("</b>", at);
        if (end == std::string::npos)
            break;
        captions.push_back(QTextDocumentFragment::fromHtml(
                               QString::fromStdString(html.substr(at + 3, end - at - 3)))
                               .toPlainText()
                               .toStdString());
    }
    return captions;
}

TEST_F(HelpAndAboutTest, EveryButtonAndBoxTheHelpNamesIsOnAWindowUnderThatCaption) {
    std::set<std::string> onWindows;
    for (TForm* form : Application.Forms())
        for (const QAbstractButton* control : Widget(form)->findChildren<QAbstractButton*>())
            onWindows.insert(control->text().remove('&').toStdString());

    const std::vector<std::string> named =
        BoldCaptions(testing_support::ReadFile(BRISVANE_HELP_FILE));
    ASSERT_GT(named.size(), 10u);
    for (const std::string& caption : named)
        EXPECT_EQ(onWindows.count(caption), 1u) << "the help names \"" << caption << "\"";
    for (const char* settingsButton : {"OK", "Cancel", "Reset", "Help"})
        EXPECT_NE(std::find(named.begin(), named.end(), settingsButton), named.end())
            << settingsButton;
}

} // namespace
