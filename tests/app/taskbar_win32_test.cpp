// The program on the Windows taskbar: one button, the application window's, titled "Brisvane";
// the windows minimize and come back as one program.
#include "app/unit1.h"
#include "app/unit4.h"
#include "app_fixture.h"
#include "cleaner/unit3.h"
#include "paths/unit2.h"
#include "ui/application.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

using TaskbarTest = app_test::ProgramTest;

std::string TitleOf(HWND window) {
    char text[64] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST_F(TaskbarTest, OneButtonForTheProgramAndTheWindowsMinimizeAndRestoreAsOne) {
    StartUp();
    Form1->Show();
    HWND application = Application.Handle();
    EXPECT_TRUE(IsWindowVisible(application));
    EXPECT_EQ(TitleOf(application), "Brisvane");
    EXPECT_EQ(GetWindow(application, GW_OWNER), nullptr);
    EXPECT_EQ(GetWindowLongPtrA(application, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    for (TForm* form : {static_cast<TForm*>(Form1), static_cast<TForm*>(Form2),
                        static_cast<TForm*>(Form3), static_cast<TForm*>(Form4)}) {
        EXPECT_EQ(GetWindowLongPtrA(form->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0)
            << form->Caption();
        EXPECT_EQ(GetWindow(form->Handle(), GW_OWNER), application) << form->Caption();
    }

    Form2->Show();
    SendMessageA(Form2->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(application));
    EXPECT_FALSE(IsWindowVisible(Form1->Handle()));
    EXPECT_FALSE(IsWindowVisible(Form2->Handle()));
    EXPECT_FALSE(IsIconic(Form2->Handle())) << "the form itself is not minimized on its own";

    SendMessageA(application, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(application));
    EXPECT_TRUE(IsWindowVisible(Form1->Handle()));
    EXPECT_TRUE(IsWindowVisible(Form2->Handle()));
    EXPECT_FALSE(IsWindowVisible(Form4->Handle())) << "a hidden form stays hidden";
    EXPECT_EQ(GetActiveWindow(), Form2->Handle()) << "the form that was active";

    // Close on the taskbar button closes the main page, which ends the program.
    EXPECT_EQ(app_test::RunLoopWith(
                  {[application] { SendMessageA(application, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
              0);
}

} // namespace
