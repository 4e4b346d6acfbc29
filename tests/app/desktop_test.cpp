// The windows as a desktop shows them: run by tests/support/run-on-desktop.sh on a virtual X
// display with a window manager. The pictures come from the display itself, not from Qt.
#include "app/main_page_run_host.h"
#include "app/unit1.h"
#include "app_fixture.h"
#include "cleaner/unit3.h"
#include "settings/registry_layout.h"
#include "support/temp_folder.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/qt/help_window.h"
#include "ui/qt/widget.h"
#include "ui/win_help.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using ui::qt::Widget;

using namespace testing_support;

// The share of pixels that differ clearly between two pictures of the same size.
double DifferingShare(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    long differing = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                    std::abs(qBlue(p) - qBlue(q)) >
                96)
                ++differing;
        }
    }
    return static_cast<double>(differing) / (left.width() * left.height());
}

// What the display shows where the window's client area is.
QImage OnScreen(QWidget* window) {
    const QPoint at = window->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), window->width(), window->height())
        .toImage();
}

// Lets the display and the window manager catch up, for tests that look at a settled screen.
void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        Application.ProcessMessages();
        QThread::msleep(10);
    }
}

// The main page's host, which pictures the screen the first time the run keeps the desktop
// answered: in the middle of the first folder, before the run lets anything through itself.
class PicturingHost : public MainPageRunHost {
public:
    using MainPageRunHost::MainPageRunHost;

    void KeepAnswering() override {
        if (screen.isNull()) {
            screen = OnScreen(Widget(Form3));
            drawn = Widget(Form3)->grab().toImage();
            position = Form3->ProgressBar1->Position();
        }
        MainPageRunHost::KeepAnswering();
    }

    QImage screen;
    QImage drawn;
    int position = -1;
};

class DesktopTest : public app_test::ProgramTest {};

TEST_F(DesktopTest, TheProgressWindowIsOnTheScreenWholeInTheMiddleOfARun) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    TempFolder cookies{"brisvane-cookies"};
    for (int i = 0; i < 200; ++i)
        WriteFile(cookies / ("c" + std::to_string(i) + ".txt"), "x");
    for (const char* value : {layout::kIeFavoritesPath, layout::kIeHistoryPath,
                              layout::kIeCachePath, layout::kNetscape4Path, layout::kNetscape3Path})
        app_test::SetText(HKEY_CURRENT_USER, layout::kPathsKey, value, "");
    app_test::SetText(HKEY_CURRENT_USER, layout::kPathsKey, layout::kIeCookiePath, cookies.Path());
    ui::MessageBoxRecorder boxes;
    StartUp();
    Form1->Show();
    Settle(300);
    Form1->CheckBox1->SetChecked(true);

    PicturingHost host(*Form1);
    RunCleaning(host);

    ASSERT_FALSE(host.screen.isNull()) << "the run never kept the desktop answered";
    EXPECT_EQ(host.position, 10);
    EXPECT_LT(DifferingShare(host.screen, host.drawn), 0.02)
        << "the display does not show the label and the bar as the window draws them";
    EXPECT_TRUE(Exists(cookies.Path()));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(DesktopTest, TheHelpWindowFitsOnASmallScreen) {
    WinHelpA(Application.Handle(), BRISVANE_HELP_FILE, HELP_FINDER, 0);
    ui::HelpWindow* window = ui::HelpWindow::Current();
    ASSERT_NE(window, nullptr);
    Settle(500);
    const QRect screen = window->screen()->geometry();
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(screen.contains(frame))
        << "screen " << screen.width() << "x" << screen.height() << ", window frame at "
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    ui::HelpWindow::Quit();
}

} // namespace
