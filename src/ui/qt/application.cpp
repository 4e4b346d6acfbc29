#include "ui/application.h"

#include "ui/form.h"
#include "ui/guard.h"
#include "ui/qt/handle.h"
#include "ui/qt/picture.h"
#include "ui/qt/window_font.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

namespace ui {

struct NativeApplication {
    QApplication* qtApplication = nullptr;
    QWidget* window = nullptr;
};

} // namespace ui

void TApplication::Initialize(int& argc, char** argv) {
    if (m_native)
        return;
    m_native = new ui::NativeApplication;
    if (!QApplication::instance())
        m_native->qtApplication = new QApplication(argc, argv);
    // Windows are hidden and shown all the time; only terminate ends the loop.
    QApplication::setQuitOnLastWindowClosed(false);
    ui::RegisterFontSubstitutes();
    ui::MakeWindowFontTheDefault();
    m_native->window = new QWidget();
    m_native->window->setObjectName("ApplicationWindow");
}

void TApplication::SetIcon(const TIcon& icon) {
    m_icon = icon;
    QApplication::setWindowIcon(ui::qt::ToQIcon(icon));
}

void TApplication::SetLauncherName(const std::string& name) {
    QGuiApplication::setDesktopFileName(QString::fromStdString(name));
}

int TApplication::Run() {
    if (m_mainForm)
        ui::Guard([this] { m_mainForm->Show(); });
    if (!m_terminated) {
        m_loopRunning = true;
        m_exitCode = QApplication::exec();
        m_loopRunning = false;
    }
    // The quit message is used up by the loop it ended.
    m_terminated = false;
    return m_exitCode;
}

void TApplication::QuitMessagePosted(int exitCode) {
    m_terminated = true;
    m_exitCode = exitCode;
    // Outside the loop the flag alone keeps Run from entering it.
    if (m_loopRunning)
        QApplication::exit(exitCode);
}

void TApplication::ProcessMessages() {
    QApplication::processEvents();
}

void TApplication::ProcessMessagesExceptInput() {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers);
}

HWND TApplication::Handle() const {
    return ui::ToHandle(m_native ? m_native->window : nullptr);
}

void TApplication::Finalize() {
    DestroyForms();
    if (!m_native)
        return;
    delete m_native->window;
    delete m_native->qtApplication;
    delete m_native;
    m_native = nullptr;
}
