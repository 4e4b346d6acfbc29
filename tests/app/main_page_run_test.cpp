#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "cleaner/unit3.h"
#include "paths/unit2.h"
#include "settings/registry_layout.h"
#include "support/temp_folder.h"
#include "support/window_driver.h"
#include "ui/application.h"
#include "ui/message_box.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

class MainPageRunTest : public app_test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        MakeFolder(m_files / "cookies");
        WriteFile(m_files / "cookies/a.txt", "x");
    }
    void SetPaths() {
        for (const char* value :
             {layout::kIeCookiePath, layout::kIeFavoritesPath, layout::kIeHistoryPath,
              layout::kIeCachePath, layout::kNetscape4Path, layout::kNetscape3Path})
            app_test::SetText(HKEY_CURRENT_USER, layout::kPathsKey, value, "");
        app_test::SetText(HKEY_CURRENT_USER, layout::kPathsKey, layout::kIeCookiePath,
                          m_files / "cookies");
    }

    TempFolder m_files{"brisvane-page-run"};
    ui::MessageBoxRecorder m_boxes;
};

TEST_F(MainPageRunTest, FirstRunOnlyShowsTheNoticeAndTheSettingsDialog) {
    StartUp();
    Form1->Show();
    Form1->CheckBox1->Click();
    Form1->Button5->Click();
    ASSERT_EQ(m_boxes.Count(), 1u);
    EXPECT_EQ(m_boxes.Last().owner, nullptr);
    EXPECT_EQ(m_boxes.Last().caption, "Brisvane");
    EXPECT_EQ(m_boxes.Last().type, MB_ICONINFORMATION | MB_OK);
    EXPECT_EQ(m_boxes.Last().text.rfind("Welcome to Brisvane!\n\n", 0), 0u);
    EXPECT_TRUE(Form2->Visible());
    EXPECT_FALSE(Form3->Visible());
    EXPECT_FALSE(Form4->Visible());
    EXPECT_EQ(Form3->ProgressBar1->Position(), 0);
    EXPECT_FALSE(window_driver::ShowsHourGlass(*Form1->Button5));
    EXPECT_TRUE(Exists(m_files / "cookies/a.txt"));
}

TEST_F(MainPageRunTest, RunsAdvanceTheKeptBarByFortyAndShowTheFinishPageOnce) {
    SetPaths();
    StartUp();
    Form1->Show();
    window_driver::ShowCounter finishShows(*Form4);
    bool progressShownDuringRun = false;
    window_driver::After(0, [&] { progressShownDuringRun = Form3->Visible(); });

    Form1->Button5->Click();
    EXPECT_TRUE(progressShownDuringRun);
    EXPECT_EQ(Form3->ProgressBar1->Position(), 40);
    EXPECT_FALSE(Form3->Visible());
    EXPECT_TRUE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(window_driver::ShowsHourGlass(*Form1->Button5));
    EXPECT_TRUE(Exists(m_files / "cookies/a.txt")) << "nothing was ticked";

    // Next again while the finish page is still up: it is only brought forward.
    Form1->Show();
    Form1->Button5->Click();
    EXPECT_EQ(Form3->ProgressBar1->Position(), 80);
    EXPECT_EQ(finishShows.Count(), 1);
    EXPECT_TRUE(Form4->Visible());

    // Back, then a third run: the bar starts over past 100, the finish page is shown anew.
    Form4->Button4->Click();
    Form1->Button5->Click();
    EXPECT_EQ(Form3->ProgressBar1->Position(), 20);
    EXPECT_EQ(finishShows.Count(), 2);
    EXPECT_EQ(m_boxes.Count(), 0u);
}

TEST_F(MainPageRunTest, ClosingTheProgressWindowMidRunOnlyHidesItAndTheRunGoesOn) {
    SetPaths();
    StartUp();
    Form1->Show();
    Form1->CheckBox1->Click();
    window_driver::After(0, [] { window_driver::CloseFromTitleBar(*Form3); });
    Form1->Button5->Click();
    EXPECT_FALSE(Exists(m_files / "cookies/a.txt"));
    EXPECT_TRUE(Form4->Visible());
    EXPECT_FALSE(Application.Terminated());
}

TEST_F(MainPageRunTest, ANonStringFavoritesPathEndsTheRunWhereANonStringCookiePathDoesNot) {
    SetPaths();
    app_test::SetNumber(HKEY_CURRENT_USER, layout::kPathsKey, layout::kIeCookiePath, 1);
    StartUp();
    // The settings dialog's loading has reported the cookie value already.
    m_boxes.Clear();
    Form1->Show();
    Form1->Button5->Click();
    EXPECT_EQ(m_boxes.Count(), 0u);
    EXPECT_TRUE(Form4->Visible());
    Form4->Button4->Click();

    app_test::SetNumber(HKEY_CURRENT_USER, layout::kPathsKey, layout::kIeFavoritesPath, 1);
    Form1->Button5->Click();
    ASSERT_EQ(m_boxes.Count(), 1u);
    EXPECT_EQ(m_boxes.Last().text, "Invalid data type for 'IE Favorites'.");
    EXPECT_EQ(m_boxes.Last().type, MB_OK | MB_ICONERROR);
    EXPECT_TRUE(Form3->Visible());
    EXPECT_EQ(Form3->ProgressBar1->Position(), 50);
    EXPECT_TRUE(window_driver::ShowsHourGlass(*Form1->Button5));
    EXPECT_FALSE(Form4->Visible());
    EXPECT_TRUE(Form1->Visible());
}

} // namespace

namespace {

class ProgressWindowTest : public app_test::ProgramTest {};

TEST_F(ProgressWindowTest, ShowsItsIconTextAndAnEmptyBar) {
    StartUp();
    EXPECT_EQ(Form3->Label1->Caption(),
              "Brisvane is analyzing and removing selected Internet debris.  Please wait...");
    EXPECT_EQ(app_test::Bounds(*Form3->Label1), app_test::Rect(48, 16, 363, 13));
    EXPECT_EQ(app_test::Bounds(*Form3->Image1), app_test::Rect(8, 8, 33, 33));
    EXPECT_EQ(window_driver::PictureSize(*Form3->Image1), std::make_pair(32, 32));
    EXPECT_EQ(app_test::Bounds(*Form3->ProgressBar1), app_test::Rect(8, 48, 409, 25));
    EXPECT_EQ(Form3->ProgressBar1->Min(), 0);
    EXPECT_EQ(Form3->ProgressBar1->Max(), 100);
    EXPECT_EQ(Form3->ProgressBar1->Step(), 10);
    EXPECT_EQ(Form3->ProgressBar1->Position(), 0);
}

} // namespace
