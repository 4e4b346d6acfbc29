#include "ui/application.h"

#include "ui/form.h"
#include "ui/guard.h"
#include "ui/message_box.h"
#include "ui/post_quit_message.h"

TApplication Application;

void TApplication::Initialize() {
    static int argc = 1;
    static char name[] = "brisvan";
    static char* argv[] = {name, nullptr};
    Initialize(argc, argv);
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

void TApplication::Terminate() {
    PostQuitMessage(0);
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
