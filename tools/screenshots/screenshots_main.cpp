// Writes pictures of the windows for the README. Not part of the program; scripts/screenshots.sh
// runs it with a registry of its own, twice: on Qt's offscreen platform the windows' client
// areas as the program draws them (main page, progress window, finish page, help window,
// settings dialog); with --desktop, on a display with a window manager, what the screen shows,
// title bars included: the progress window in the middle of a cleaning run and the settings
// dialog.
#include "app/main_page_run_host.h"
#include "app/project1.h"
#include "app/unit1.h"
#include "app/unit4.h"
#include "cleaner/cleaning_run.h"
#include "cleaner/unit3.h"
#include "paths/unit2.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/qt/help_window.h"
#include "ui/qt/widget.h"
#include "ui/win_help.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

bool Save(const QPixmap& picture, const QString& path) {
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s (%dx%d)\n", qPrintable(path), picture.width(),
                     picture.height());
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

bool Save(QWidget* window, const QString& path) {
    Application.ProcessMessages();
    return Save(window->grab(), path);
}

bool Save(TForm* form, const QString& path) {
    form->Show();
    return Save(ui::qt::Widget(form), path);
}

bool SaveHelpWindow(const QString& path) {
    WinHelpA(Application.Handle(), BRISVANE_HELP_FILE, HELP_FINDER, 0);
    return ui::HelpWindow::Current() && Save(ui::HelpWindow::Current(), path);
}

// What the screen shows of a window, its frame and title bar included.
QPixmap OnScreen(QWidget* window) {
    const QRect frame = window->frameGeometry();
    return QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                        frame.height());
}

void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        Application.ProcessMessages();
        QThread::msleep(10);
    }
}

// Paths as Windows would have detected them, so that the settings dialog shows six rows.
void StoreExamplePaths(const std::string& cookies) {
    TRegistry paths;
    paths.OpenSubkey(layout::kPathsKey, true);
    paths.WriteText(layout::kIeCookiePath, cookies);
    paths.WriteText(layout::kIeFavoritesPath, "C:\\WINDOWS\\Favorites");
    paths.WriteText(layout::kIeHistoryPath, "C:\\WINDOWS\\History");
    paths.WriteText(layout::kIeCachePath, "C:\\WINDOWS\\Temporary Internet Files");
    paths.WriteText(layout::kNetscape4Path, "C:\\Program Files\\Netscape\\Users\\default");
    paths.WriteText(layout::kNetscape3Path, "");
}

// The main page's host, which pictures the screen the first time the run keeps the desktop
// answered, in the middle of the cookie folder.
class PicturingHost : public MainPageRunHost {
public:
    using MainPageRunHost::MainPageRunHost;
    void KeepAnswering() override {
        if (picture.isNull())
            picture = OnScreen(ui::qt::Widget(Form3));
        MainPageRunHost::KeepAnswering();
    }
    QPixmap picture;
};

int DrawOffscreen(const QString& folder) {
    CreateWindows();
    bool saved = Save(Form4, folder + "/finish-page.png");
    Form4->Hide();
    {
        // Answers the favorites warning, which would otherwise wait for a click.
        ui::MessageBoxRecorder boxes;
        Form1->CheckBox1->SetChecked(true);
        Form1->CheckBox2->SetChecked(true);
        Form1->CheckBox4->SetChecked(true);
    }
    saved = saved && Save(Form1, folder + "/main-page.png");
    Form3->ProgressBar1->StepIt();
    Form3->ProgressBar1->StepIt();
    saved = saved && Save(Form3, folder + "/progress-window.png") &&
            SaveHelpWindow(folder + "/help-window.png");
    StoreExamplePaths("C:\\WINDOWS\\Cookies");
    Form2->FormCreate();
    saved = saved && Save(Form2, folder + "/settings-dialog.png");
    return saved ? 0 : 1;
}

int DrawOnDesktop(const QString& folder) {
    QTemporaryDir cookies;
    for (int i = 0; i < 3000; ++i)
        std::ofstream(QDir(cookies.path()).filePath(QString("c%1.txt").arg(i)).toStdString())
            << "cookie";
    StoreExamplePaths(cookies.path().toStdString());
    CreateWindows();
    Form1->Show();
    Settle(500);
    Form1->CheckBox1->SetChecked(true);
    PicturingHost host(*Form1);
    RunCleaning(host);
    bool saved =
        !host.picture.isNull() && Save(host.picture, folder + "/desktop-progress-window.png");
    Form4->Hide();
    StoreExamplePaths("C:\\WINDOWS\\Cookies");
    Form2->FormCreate();
    Form2->Show();
    Settle(500);
    saved = saved && Save(OnScreen(ui::qt::Widget(Form2)), folder + "/desktop-settings-dialog.png");
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool desktop = argc == 3 && std::strcmp(argv[1], "--desktop") == 0;
    if (argc != 2 && !desktop) {
        std::fprintf(stderr, "usage: %s [--desktop] OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    // Absolute: the cleaning run changes the current folder.
    const QString folder = QDir(QString::fromLocal8Bit(argv[argc - 1])).absolutePath();
    Application.Initialize(argc, argv);
    const int result = desktop ? DrawOnDesktop(folder) : DrawOffscreen(folder);
    Application.Finalize();
    return result;
}
