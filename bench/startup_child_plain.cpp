// The yardsticks for Brisvane's start-up: a plain Qt window, or with "--text" the same window
// with one line of text, which costs what any text costs first (the system's fonts looked up
// and one loaded); each ends at the first moment the event loop would wait with it shown.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(480, 360);
    window.setWindowTitle("Plain window");
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        new QLabel("A line of text in a plain window", &window);
    window.show();
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &app, [&] {
                         if (window.isVisible())
                             QCoreApplication::quit();
                     });
    return app.exec();
}
