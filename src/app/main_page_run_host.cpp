#include "app/main_page_run_host.h"

#include "app/unit1.h"
#include "app/unit4.h"
#include "cleaner/unit3.h"
#include "paths/unit2.h"
#include "ui/application.h"
#include "ui/message_box.h"

bool MainPageRunHost::IsTicked(CleaningOption option) {
    switch (option) {
    case CleaningOption::Cookies:
        return m_page.CheckBox1->Checked();
    case CleaningOption::Favorites:
        return m_page.CheckBox2->Checked();
    case CleaningOption::History:
        return m_page.CheckBox3->Checked();
    case CleaningOption::Cache:
        return m_page.CheckBox4->Checked();
    case CleaningOption::UrlRegistry:
        return m_page.CheckBox5->Checked();
    }
    return false;
}

void MainPageRunHost::ShowNotice(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "Brisvane", MB_ICONINFORMATION | MB_OK);
}

void MainPageRunHost::ShowSettingsDialog() {
    Form2->Show();
}

void MainPageRunHost::SetNextCursor(RunCursor cursor) {
    // Only Next's own pointer: elsewhere the pointer keeps its shape.
    m_page.Button5->SetCursor(cursor == RunCursor::HourGlass ? TCursor::HourGlass : TCursor::Arrow);
}

// The progress window is drawn whole at once: under a window manager one pass of pending
// messages does not map and expose a window that was only just shown.
void MainPageRunHost::ShowProgress() {
    Form3->Show();
    Form3->DrawNow();
}

void MainPageRunHost::AdvanceProgress() {
    Form3->ProgressBar1->StepIt();
    Form3->DrawNow();
}

void MainPageRunHost::ProcessMessages() {
    Application.ProcessMessages();
}

void MainPageRunHost::KeepAnswering() {
    Application.ProcessMessagesExceptInput();
}

void MainPageRunHost::CloseProgress() {
    Form3->Close();
}

void MainPageRunHost::ShowFinishPage() {
    Form4->Show();
}
