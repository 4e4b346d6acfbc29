#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/message_box.h"
#include "ui/qt/widget.h"

#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

using ui::qt::Widget;

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        Application.SetTitle("Brisvane");
        form = new TForm("Controls", 300, 200, biSystemMenu);
        box = new TCheckBox(form, "Box", 8, 8, 100, 17);
        box->SetOnClick([this] {
            seen.push_back(box->Checked());
            if (fail)
                throw std::runtime_error("Failed to set data for 'Cookies'");
        });
        Widget(form)->show();
    }
    void TearDown() override { delete form; }

    TForm* form = nullptr;
    TCheckBox* box = nullptr;
    std::vector<bool> seen;
    bool fail = false;
};

TEST_F(ControlsTest, SetCheckedRunsTheHandlerOnlyWhenTheStateChanges) {
    box->SetChecked(false);
    EXPECT_TRUE(seen.empty());
    box->SetChecked(true);
    box->SetChecked(true);
    box->SetChecked(false);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(ControlsTest, AnErrorOfAHandlerRunBySetCheckedReachesTheCodeThatChangedTheState) {
    ui::MessageBoxRecorder boxes;
    fail = true;
    EXPECT_THROW(box->SetChecked(true), std::runtime_error);
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ControlsTest, AUserClickRunsTheHandlerThroughTheGuardAndTheBoxKeepsItsNewState) {
    ui::MessageBoxRecorder boxes;
    fail = true;
    QTest::mouseClick(Widget(box), Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_EQ(seen, (std::vector<bool>{true}));
    EXPECT_TRUE(box->Checked());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Failed to set data for 'Cookies'.");

    fail = false;
    Widget(box)->setFocus();
    QTest::keyClick(Widget(box), Qt::Key_Space);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(ControlsTest, AButtonClickReachesItsHandlerThroughTheGuard) {
    ui::MessageBoxRecorder boxes;
    auto* button = new TButton(form, "&Go", 8, 40, 65, 25);
    int clicks = 0;
    button->SetOnClick([&] {
        ++clicks;
        throw std::runtime_error("Stopped");
    });
    Widget(button)->show();
    QTest::mouseClick(Widget(button), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(Widget(button)->geometry(), QRect(8, 40, 65, 25));
}

TEST_F(ControlsTest, LabelsStartTopLeftAndTakeNoFocus) {
    auto* label = new TLabel(form, "Welcome", 144, 8, 117, 13);
    auto* wrapped = new TLabel(form, "a b c", 144, 32, 291, 39, true);
    EXPECT_EQ(Widget(label)->geometry(), QRect(144, 8, 117, 13));
    EXPECT_EQ(Widget(label)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(Widget(label)->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(Widget(label)->wordWrap());
    EXPECT_TRUE(Widget(wrapped)->wordWrap());
}

} // namespace

namespace {

TEST(ProgressBarTest, StepsByTenFromZeroAndStartsOverPastTheMaximumAsWindowsDoes) {
    Application.Initialize();
    TForm form("Progress", 300, 100, biSystemMenu);
    auto* bar = new TProgressBar(&form, 8, 48, 200, 25);
    EXPECT_EQ(bar->Position(), 0);
    std::vector<int> seen;
    for (int i = 0; i < 12; ++i) {
        bar->StepIt();
        seen.push_back(bar->Position());
    }
    EXPECT_EQ(seen, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 10, 20}));

    bar->SetRange(20, 50);
    bar->SetStep(25);
    bar->StepIt();
    EXPECT_EQ(bar->Position(), 45);
    bar->StepIt();
    EXPECT_EQ(bar->Position(), 40) << "(70 - 20) % 30 + 20";
}

} // namespace
