// The window driver itself, on the backend the build uses: what a window test written once
// relies on.
#include "support/window_driver.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/message_box.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

using namespace window_driver;

class Page : public TForm {
public:
    Page() : TForm("Driven", 300, 200, biSystemMenu) {
        Box = new TCheckBox(this, "&Keep", 8, 8, 150, 17);
        Edit = new TEdit(this, "C:\\", 8, 32, 150, 21);
        Go = new TButton(this, "&Go", 8, 64, 65, 25);
        Title = new TLabel(this, "Welcome", 8, 96, 100, 13);
        Group = new TGroupBox(this, " Group ", 8, 112, 150, 40);
        Box->SetOnClick([this] { ++boxClicks; });
        Go->SetOnClick([this] {
            ++goClicks;
            if (fail)
                throw std::runtime_error("Stopped");
        });
        SetDefaultButton(Go);
        SetTabOrder({Box, Edit, Go});
    }

    TCheckBox* Box;
    TEdit* Edit;
    TButton* Go;
    TLabel* Title;
    TGroupBox* Group;
    int boxClicks = 0;
    int goClicks = 0;
    bool fail = false;
};

class WindowDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application.Initialize();
        Application.SetTitle("Brisvane");
        page = std::make_unique<Page>();
        page->Show();
    }

    std::unique_ptr<Page> page;
};

TEST_F(WindowDriverTest, ClicksAndTicksReachTheHandlersThroughTheGuard) {
    ui::MessageBoxRecorder boxes;
    Tick(*page->Box);
    EXPECT_TRUE(page->Box->Checked());
    Tick(*page->Box);
    EXPECT_FALSE(page->Box->Checked());
    EXPECT_EQ(page->boxClicks, 2);

    page->fail = true;
    Click(*page->Go);
    EXPECT_EQ(page->goClicks, 1);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Stopped.");

    page->Go->SetEnabled(false);
    Click(*page->Go);
    EXPECT_EQ(page->goClicks, 1) << "a disabled button takes no click";
}

TEST_F(WindowDriverTest, TypesAtTheCaretAndEnterPressesTheDefaultButton) {
    page->Edit->SetSelStart(3);
    Type(*page->Edit, "Temp");
    EXPECT_EQ(page->Edit->Text(), "C:\\Temp");
    Press(*page->Edit, Key::Enter);
    EXPECT_EQ(page->goClicks, 1);
    Press(*page->Box, Key::Space);
    EXPECT_TRUE(page->Box->Checked());
    PressMnemonic(*page, 'K');
    EXPECT_FALSE(page->Box->Checked());
    RunUntilIdle();
    EXPECT_EQ(page->boxClicks, 2);
}

TEST_F(WindowDriverTest, ReadsTheCaptionsTheWindowShows) {
    EXPECT_EQ(Caption(*page), "Driven");
    EXPECT_EQ(Caption(*page->Box), "&Keep");
    EXPECT_EQ(Caption(*page->Go), "&Go");
    EXPECT_EQ(Caption(*page->Title), "Welcome");
    EXPECT_EQ(Caption(*page->Group), " Group ");
    EXPECT_EQ(Caption(*page->Edit), "C:\\");
    page->SetCaption("Renamed");
    EXPECT_EQ(Caption(*page), "Renamed");
}

} // namespace
