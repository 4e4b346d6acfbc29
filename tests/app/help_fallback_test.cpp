// Help where WinHelp fails, as on Windows 10 and 11, which ship no WinHelp viewer.
#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "paths/unit2.h"
#include "settings/registry_layout.h"
#include "support/window_driver.h"
#include "ui/shell_execute.h"
#include "ui/win_help.h"

#include <string>
#include <vector>

namespace {

class HelpFallbackTest : public app_test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        app_test::SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue,
                          "C:\\Tools\\Cleaner");
        StartUp();
        Form1->Show();
        Form4->Show();
        Form2->Show();
    }
};

TEST_F(HelpFallbackTest, TheBrowserOpensTheSameTopicOnlyWhereWinHelpFails) {
    struct Button {
        const char* window;
        TButton* button;
        UINT command;
        const char* page;
    };
    const std::vector<Button> buttons = {
        {"main page", Form1->Button1, HELP_FINDER, "C:\\Tools\\Cleaner\\brisvan.htm"},
        {"finish page", Form4->Button1, HELP_FINDER, "C:\\Tools\\Cleaner\\brisvan.htm"},
        {"settings dialog", Form2->Button2, HELP_CONTEXT,
         "C:\\Tools\\Cleaner\\brisvan_settings.htm"},
    };
    for (const BOOL winHelpWorks : {TRUE, FALSE}) {
        for (const Button& press : buttons) {
            SCOPED_TRACE(std::string(press.window) + (winHelpWorks ? ", WinHelp works" : ""));
            ui::WinHelpRecorder help;
            help.SetAnswer(winHelpWorks);
            ui::ShellExecuteRecorder shell;
            std::size_t browsersDuringHelp = 99;
            help.WhileOpen([&](const ui::WinHelpCall&) { browsersDuringHelp = shell.Count(); });
            window_driver::Click(*press.button);

            ASSERT_EQ(help.Count(), 1u) << "WinHelp is asked first";
            EXPECT_EQ(help.Last().helpFile, "C:\\Tools\\Cleaner\\brisvan.hlp");
            EXPECT_EQ(help.Last().command, press.command);
            EXPECT_EQ(browsersDuringHelp, 0u);
            if (winHelpWorks) {
                EXPECT_EQ(shell.Count(), 0u);
                continue;
            }
            ASSERT_EQ(shell.Count(), 1u);
            EXPECT_EQ(shell.Last().verb, "open");
            EXPECT_EQ(shell.Last().file, press.page);
            EXPECT_EQ(shell.Last().parameters, "");
            EXPECT_EQ(shell.Last().showCommand, SW_SHOWNORMAL);
        }
    }
}

TEST_F(HelpFallbackTest, CloseOnlyReleasesTheViewerEvenWhereWinHelpFails) {
    ui::WinHelpRecorder help;
    help.SetAnswer(FALSE);
    ui::ShellExecuteRecorder shell;
    EXPECT_EQ(app_test::RunLoopWith({[] { window_driver::Click(*Form4->Button3); }}), 0);
    ASSERT_EQ(help.Count(), 1u);
    EXPECT_EQ(help.Last().command, HELP_QUIT);
    EXPECT_EQ(shell.Count(), 0u);
}

} // namespace
