// Writes pictures of the main page, the progress window, the finish page and the help window
// as the program draws them, for the README. Not part of the program; scripts/screenshots.sh
// runs it with a registry of its own.
#include "app/project1.h"
#include "app/unit1.h"
#include "app/unit4.h"
#include "cleaner/unit3.h"
#include "ui/application.h"
#include "ui/help_window.h"
#include "ui/message_box.h"
#include "ui/win_help.h"

#include <QPixmap>
#include <QString>
#include <cstdio>

namespace {

bool Save(QWidget* window, const QString& path) {
    Application.ProcessMessages();
    if (!window->grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

bool Save(TForm* form, const QString& path) {
    form->Show();
    return Save(static_cast<QWidget*>(form), path);
}

bool SaveHelpWindow(const QString& path) {
    WinHelpA(Application.Handle(), BRISVANE_HELP_FILE, HELP_FINDER, 0);
    return ui::HelpWindow::Current() && Save(ui::HelpWindow::Current(), path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    Application.Initialize(argc, argv);
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
    Application.Finalize();
    return saved ? 0 : 1;
}
