#include "ui/application.h"

#include "ui/form.h"
#include "ui/guard.h"
#include "ui/handle.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"
#include "ui/window_font.h"

#include <QApplication>
#include <QWidget>

TApplication Application;

void TApplication::Initialize(int& argc, char** argv) {
    if (m_window)
        return;
    if (!QApplication::instance())
        m_qtApplication = new QApplication(argc, argv);
    // Windows are hidden and shown all the time; only terminate ends the loop.
    QApplication::setQuitOnLastWindowClosed(false);
    ui::RegisterFontSubstitutes();
    m_window = new QWidget();
    m_window->setObjectName("ApplicationWindow");
}

void TApplication::Initialize() {
    static int argc = 1;
    static char name[] = "brisvan";
    static char* argv[] = {name, nullptr};
    Initialize(argc, argv);
}

void TApplication::SetIcon(const QIcon& icon) {
    m_icon = icon;
    QApplication::setWindowIcon(icon);
}

void TApplication::Adopt(TForm* form, std::function<void()> forget) {
    m_forms.push_back({form, std::move(forget)});
    if (!m_mainForm)
        m_mainForm = form;
}

std::vector<TForm*> TApplication::Forms() const {
    std::vector<TForm*> forms;
    for (const OwnedForm& owned : m_forms)
        forms.push_back(owned.form);
    return forms;
}

void TApplication::RunCreateHandler(TForm* form) {
    ui::Guard([form] { form->FormCreate(); });
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

void TApplication::Terminate() {
    PostQuitMessage(0);
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
    return ui::ToHandle(m_window);
}

void TApplication::ShowException(const std::exception& error) {
    const std::string text = std::string(error.what()) + ".";
    MessageBoxA(Handle(), text.c_str(), m_title.c_str(), MB_OK | MB_ICONERROR);
}

void TApplication::DestroyForms() {
    while (!m_forms.empty()) {
        OwnedForm owned = std::move(m_forms.back());
        m_forms.pop_back();
        owned.forget();
        delete owned.form;
    }
    m_mainForm = nullptr;
}

void TApplication::Finalize() {
    DestroyForms();
    delete m_window;
    m_window = nullptr;
    delete m_qtApplication;
    m_qtApplication = nullptr;
}
