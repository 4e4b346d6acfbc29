#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"
#include "ui/qt/widget.h"
#include "ui/window_frame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using ui::qt::Widget;

class Page : public TForm {
public:
    Page() : TForm("A page", 467, 325, biSystemMenu | biMinimize) {
        Option = new TCheckBox(this, "Option", 8, 8, 100, 17);
        Other = new TButton(this, "&Other", 8, 40, 65, 25);
        Next = new TButton(this, "&Next >", 80, 40, 65, 25);
        Other->SetOnClick([this] { ++otherClicks; });
        Next->SetOnClick([this] { ++nextClicks; });
        SetDefaultButton(Next);
        SetTabOrder({Option, Other, Next});
    }
    void FormShow() override {
        ++shows;
        if (failOnShow)
            throw std::runtime_error("Show failed");
    }

    TCheckBox* Option;
    TButton* Other;
    TButton* Next;
    int shows = 0;
    int otherClicks = 0;
    int nextClicks = 0;
    bool failOnShow = false;
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        Application.SetTitle("Brisvane");
        Application.CreateForm(main);
        Application.CreateForm(second);
    }
    void TearDown() override { Application.DestroyForms(); }

    Page* main = nullptr;
    Page* second = nullptr;
};

TEST_F(FormTest, TheClientAreaIsTheOuterSizeLessTheNominalFrame) {
    EXPECT_EQ(second->Caption(), "A page");
    EXPECT_EQ(Widget(second)->width(), ui::ClientWidth(467));
    EXPECT_EQ(Widget(second)->height(), ui::ClientHeight(325));
    EXPECT_EQ(Widget(second)->width(), 459);
    EXPECT_EQ(Widget(second)->height(), 298);
    EXPECT_EQ(Widget(second)->minimumSize(), Widget(second)->maximumSize());
    EXPECT_EQ(Widget(second)->font().pixelSize(), 11);
    EXPECT_TRUE(Widget(second)->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Widget(second)->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(FormTest, ShowRunsTheShowHandlerOnEveryChangeFromHiddenToVisibleOnly) {
    second->Show();
    second->Show();
    EXPECT_TRUE(second->Visible());
    EXPECT_EQ(second->shows, 1);
    second->Close();
    EXPECT_FALSE(second->Visible());
    second->Show();
    EXPECT_EQ(second->shows, 2);
}

TEST_F(FormTest, AnErrorInTheShowHandlerEndsTheCodeThatShowedTheWindow) {
    second->failOnShow = true;
    EXPECT_THROW(second->Show(), std::runtime_error);
    EXPECT_TRUE(second->Visible());
}

TEST_F(FormTest, FirstShowCentresOnTheScreenAndLaterShowsKeepThePlace) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    second->Show();
    EXPECT_EQ(Widget(second)->pos(), QPoint(screen.x() + (screen.width() - 467) / 2,
                                            screen.y() + (screen.height() - 325) / 2));
    Widget(second)->move(10, 20);
    second->Close();
    second->Show();
    EXPECT_EQ(Widget(second)->pos(), QPoint(10, 20));
}

TEST_F(FormTest, FirstShowFocusesTheFirstControlInTabOrder) {
    second->Show();
    EXPECT_EQ(Widget(second)->focusWidget(), Widget(second->Option));
}

TEST_F(FormTest, ClosingTheMainWindowTerminatesAndAnyOtherOnlyHides) {
    ui::PostQuitMessageRecorder quits;
    main->Show();
    second->Show();
    Widget(second)->close(); // from the title bar
    EXPECT_FALSE(second->Visible());
    EXPECT_EQ(quits.Count(), 0u);
    Widget(main)->close();
    EXPECT_EQ(quits.Count(), 1u);
    main->Close();
    EXPECT_EQ(quits.Count(), 2u);
}

TEST_F(FormTest, EnterOnANonButtonPressesTheDefaultButtonAndOnAButtonThatButton) {
    second->Show();
    QTest::keyClick(Widget(second->Option), Qt::Key_Return);
    EXPECT_EQ(second->nextClicks, 1);
    EXPECT_FALSE(second->Option->Checked());

    Widget(second->Other)->setFocus();
    QTest::keyClick(Widget(second->Other), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(second->otherClicks, 1);
    EXPECT_EQ(second->nextClicks, 1);
}

TEST_F(FormTest, EnterDoesNothingWhenTheDefaultButtonIsDisabledAndEscNeverDoesAnything) {
    second->Show();
    Widget(second->Next)->setEnabled(false);
    QTest::keyClick(Widget(second->Option), Qt::Key_Return);
    QTest::keyClick(Widget(second->Option), Qt::Key_Escape);
    EXPECT_EQ(second->nextClicks, 0);
    EXPECT_EQ(second->otherClicks, 0);
    EXPECT_TRUE(second->Visible());
}

TEST_F(FormTest, TheDefaultButtonIsBold) {
    EXPECT_TRUE(Widget(second->Next)->font().bold());
    EXPECT_FALSE(Widget(second->Other)->font().bold());
}

} // namespace
