// Brisvane's own start-up, exactly as the program makes it, ending at the first moment the
// event loop would wait with the main page shown: what startup_bench times.
#include "app/project1.h"
#include "ui/application.h"
#include "ui/form.h"

#include <QAbstractEventDispatcher>
#include <QApplication>

int main(int argc, char** argv) {
    // Made first so that the idle hook can be put in place; the program takes it over.
    QApplication backend(argc, argv);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [] {
                         const TForm* main = Application.MainForm();
                         if (main && main->Visible() && !Application.Terminated())
                             Application.Terminate();
                     });
    return Project1(argc, argv);
}
