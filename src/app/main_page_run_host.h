// The main page as the cleaning run sees it: the option boxes read live, and the program's
// windows for the notice, the settings dialog, the progress window and the finish page.
#pragma once

#include "cleaner/cleaning_run.h"

class TForm1;

class MainPageRunHost : public CleaningRunHost {
public:
    explicit MainPageRunHost(TForm1& page) : m_page(page) {}

    bool IsTicked(CleaningOption option) override;
    void ShowNotice(const std::string& text) override;
    void ShowSettingsDialog() override;
    void SetNextCursor(RunCursor cursor) override;
    void ShowProgress() override;
    void AdvanceProgress() override;
    void ProcessMessages() override;
    void KeepAnswering() override;
    void CloseProgress() override;
    // Over the main page; when the finish page is still visible it is only brought forward.
    void ShowFinishPage() override;

private:
    TForm1& m_page;
};
