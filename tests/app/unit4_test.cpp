#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "settings/registry_layout.h"
#include "ui/application.h"
#include "ui/post_quit_message.h"
#include "ui/win_help.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using app_test::RunLoopWith;

class FinishPageTest : public app_test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        StartUp();
        Form1->Show();
        Form4->Show();
    }
};

TEST_F(FinishPageTest, IsFirstShownExactlyOverTheMainPage) {
    EXPECT_EQ(Form4->pos(), Form1->pos());
    EXPECT_EQ(Form4->Button6->text(), "Check for &Upgrades");
    EXPECT_EQ(Form4->Button6->geometry(), QRect(328, 216, 121, 25));
    EXPECT_EQ(Form4->Image1->pixmap().size(), QSize(121, 233));
}

TEST_F(FinishPageTest, FinishedIsTheDisabledDefaultButtonSoEnterOnANonButtonDoesNothing) {
    auto* option = new TCheckBox(Form4, "Option", 144, 72, 297, 17);
    option->show();
    QSignalSpy finished(Form4->Button5, &QPushButton::clicked);
    ui::PostQuitMessageRecorder quits;
    option->setFocus();
    QTest::keyClick(option, Qt::Key_Return);
    QTest::keyClick(Form4, Qt::Key_F, Qt::AltModifier);
    QTest::qWait(50);

    EXPECT_EQ(Form4->DefaultButton(), Form4->Button5);
    EXPECT_TRUE(Form4->Button5->font().bold());
    EXPECT_FALSE(Form4->Button5->isEnabled());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(quits.Count(), 0u);
    EXPECT_TRUE(Form4->Visible());
}

TEST_F(FinishPageTest, BackHidesThePageAndBringsTheMainPageForward) {
    QTest::mouseClick(Form4->Button4, Qt::LeftButton);
    EXPECT_FALSE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
    Form4->Show();
    EXPECT_TRUE(Form4->Visible());
}

TEST_F(FinishPageTest, ClosingFromTheTitleBarOnlyHidesIt) {
    ui::PostQuitMessageRecorder quits;
    ui::WinHelpRecorder help;
    Form4->close();
    EXPECT_FALSE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(quits.Count(), 0u);
    EXPECT_EQ(help.Count(), 0u);
}

TEST_F(FinishPageTest, CloseEndsTheProgramAfterReleasingTheHelpViewer) {
    app_test::SetText(HKEY_LOCAL_MACHINE, layout::kAppPathsKey, layout::kInstallFolderValue,
                      "/opt/brisvane");
    ui::WinHelpRecorder help;
    EXPECT_EQ(RunLoopWith({[] { QTest::mouseClick(Form4->Button3, Qt::LeftButton); }}), 0);
    ASSERT_EQ(help.Count(), 1u);
    EXPECT_EQ(help.Last().helpFile, "/opt/brisvane\\brisvan.hlp");
    EXPECT_EQ(help.Last().command, HELP_QUIT);
}

} // namespace
