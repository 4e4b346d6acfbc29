// The yardstick for Brisvane's start-up: a plain Qt window, ending at the first moment the event
// loop would wait with the window shown.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(480, 360);
    window.setWindowTitle("Plain window");
    window.show();
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &app, [&] {
                         if (window.isVisible())
                             QCoreApplication::quit();
                     });
    return app.exec();
}
