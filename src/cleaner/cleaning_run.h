// The cleaning run behind the main page's Next button: one synchronous pass that removes the
// browser data of every ticked category, in a fixed order, while the progress window is shown.
// The run knows nothing of windows; the main page hands it what it needs through a host.
#pragma once

#include <string>

// The main page's option check boxes, CheckBox1 to CheckBox5.
enum class CleaningOption { Cookies, Favorites, History, Cache, UrlRegistry };

// The Next button's pointer shapes during and after a run (crHourGlass, crArrow).
enum class RunCursor { HourGlass, Arrow };

class CleaningRunHost {
public:
    virtual ~CleaningRunHost() = default;

    // The check box as it is now; the run asks again at every step that needs it.
    virtual bool IsTicked(CleaningOption option) = 0;
    // A message box without owner, captioned "Brisvane", information icon, OK; waits for OK.
    virtual void ShowNotice(const std::string& text) = 0;
    // Shows the settings dialog without waiting for it.
    virtual void ShowSettingsDialog() = 0;
    virtual void SetNextCursor(RunCursor cursor) = 0;
    virtual void ShowProgress() = 0;
    virtual void AdvanceProgress() = 0;
    // Lets pending window messages through once; a handler run here may start a nested run.
    virtual void ProcessMessages() = 0;
    // Lets the windows paint and answers the desktop, but lets no user input through.
    virtual void KeepAnswering() = 0;
    virtual void CloseProgress() = 0;
    virtual void ShowFinishPage() = 0;
};

// Performs one run. ERegistryException, EFOpenError and EFCreateError end it where they are
// raised and leave it: the later steps are not done, the pointer stays the hourglass and the
// progress window stays shown.
void RunCleaning(CleaningRunHost& host);
