#include "app/project1.h"
#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "cleaner/unit3.h"
#include "paths/unit2.h"
#include "settings/registry_layout.h"
#include "support/window_driver.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/win_help.h"

namespace {

using app_test::ProgramTest;
using app_test::RunLoopWith;

struct WindowRow {
    TForm* form;
    const char* caption;
    int outerWidth;
    int outerHeight;
    bool maximizeBox;
};

TEST_F(ProgramTest, StartUpCreatesTheFourWindowsOnceInOrderWithTheirCaptionsAndSizes) {
    StartUp();
    ASSERT_EQ(Application.Forms(), (std::vector<TForm*>{Form1, Form2, Form3, Form4}));
    EXPECT_EQ(Application.MainForm(), Form1);
    EXPECT_EQ(Application.Title(), "Brisvane");

    const WindowRow rows[] = {{Form1, "Brisvane v1.01", 467, 325, false},
                              {Form2, "Settings", 439, 284, false},
                              {Form3, "Brisvane", 435, 114, true},
                              {Form4, "Brisvane", 467, 325, true}};
    for (const WindowRow& row : rows) {
        SCOPED_TRACE(row.caption);
        EXPECT_EQ(row.form->Caption(), row.caption);
        EXPECT_EQ(row.form->OuterWidth(), row.outerWidth);
        EXPECT_EQ(window_driver::OuterSize(*row.form),
                  std::make_pair(row.outerWidth, row.outerHeight));
        EXPECT_EQ(window_driver::TitleBarBoxes(*row.form),
                  biSystemMenu | biMinimize | (row.maximizeBox ? biMaximize : 0u));
        EXPECT_EQ(window_driver::FontPixelHeight(*row.form), 11);
        EXPECT_TRUE(window_driver::HasIcon(*row.form));
        EXPECT_FALSE(row.form->Visible());
    }
}

TEST_F(ProgramTest, OnlyTheMainPageIsVisibleWhenTheLoopStarts) {
    StartUp();
    std::vector<bool> visible;
    EXPECT_EQ(RunLoopWith({[&] {
                  for (TForm* form : Application.Forms())
                      visible.push_back(form->Visible());
                  Application.Terminate();
              }}),
              0);
    EXPECT_EQ(visible, (std::vector<bool>{true, false, false, false}));
}

TEST_F(ProgramTest, AnErrorWhileTheSettingsDialogIsCreatedIsReportedOnceAndStartUpGoesOn) {
    app_test::SetNumber(HKEY_CURRENT_USER, layout::kPathsKey, layout::kIeCookiePath, 7);
    ui::MessageBoxRecorder boxes;
    StartUp();

    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Invalid data type for 'IE Cookie'.");
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(boxes.Last().type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(boxes.Last().owner, Application.Handle());
    EXPECT_NE(Form3, nullptr);
    EXPECT_NE(Form4, nullptr);

    bool mainShown = false;
    EXPECT_EQ(RunLoopWith({[&] {
                  mainShown = Form1->Visible();
                  Application.Terminate();
              }}),
              0);
    EXPECT_TRUE(mainShown);
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ProgramTest, AnErrorWhileTheMainPageIsCreatedIsReportedOnceAndTheProgramStillStarts) {
    app_test::SetNumber(HKEY_CURRENT_USER, layout::kSettingsKey, layout::kCookiesFlag, 1);
    ui::MessageBoxRecorder boxes;
    StartUp();

    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Last().text, "Invalid data type for 'Cookies'.");
    EXPECT_EQ(boxes.Last().caption, "Brisvane");
    EXPECT_EQ(Application.Forms().size(), 4u);
    bool mainShown = false;
    EXPECT_EQ(RunLoopWith({[&] {
                  mainShown = Form1->Visible();
                  Application.Terminate();
              }}),
              0);
    EXPECT_TRUE(mainShown);
}

// Last in this file: the whole program finalises the application object.
TEST_F(ProgramTest, TheWholeProgramEndsWithExitCodeZeroWhenClosed) {
    ui::WinHelpRecorder help;
    window_driver::After(0, [] { Form1->Button3->Click(); });
    int argc = 1;
    char name[] = "brisvan";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(Project1(argc, argv), 0);
    EXPECT_EQ(help.Count(), 1u);
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(Form4, nullptr);
}

} // namespace
