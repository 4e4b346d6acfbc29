#include "app/unit4.h"

#include "app/artwork.h"
#include "app/close_program.h"
#include "app/help_buttons.h"
#include "app/unit1.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "ui/message_box.h"
#include "ui/shell_execute.h"

TForm4* Form4 = nullptr;

namespace {

constexpr const char* kMissingEntryText =
    "Brisvane's registry entry is missing or has been altered.  Please re-install the program.";
constexpr const char* kWebSite = "www.tessmark.example";
constexpr const char* kUpgradeAddress =
    "http://www.tessmark.example/cgi-bin/brisvane/upgrade.cgi?102";

std::string UpgradeNotice() {
    return std::string("Brisvane will now attempt to launch your default web browser and will "
                       "point the browser to our upgrade retrieval system.  If this fails to "
                       "work, you can still find out whether you have the latest version by "
                       "visiting ") +
           "\"" + kWebSite + ".\"" + "\n\n" + "Press \"OK\" to continue...";
}

// The program's entry in the Run key of `root`; "" where there is none.
std::string ReadRunEntry(HKEY root) {
    TRegistry run;
    run.SetRoot(root);
    run.OpenSubkeyReadOnly(layout::kRunKey);
    return run.ReadText(layout::kRunEntry);
}

void RemoveRunEntry(HKEY root) {
    TRegistry run;
    run.SetRoot(root);
    run.OpenSubkey(layout::kRunKey, false);
    run.RemoveValue(layout::kRunEntry);
}

// The machine's Run key starts the program at every log-on. Where it refuses writing (a
// standard user, or an administrator not running elevated) the user's own Run key starts it at
// this user's log-on instead. One entry only, so that the program starts once.
void WriteRunEntry(const std::string& programPath) {
    TRegistry machine;
    machine.SetRoot(HKEY_LOCAL_MACHINE);
    if (machine.OpenSubkey(layout::kRunKey, false) ||
        machine.LastOpenResult() != static_cast<LONG>(ERROR_ACCESS_DENIED)) {
        // A missing machine Run key is reported here, as a failed write.
        machine.WriteText(layout::kRunEntry, programPath);
        RemoveRunEntry(HKEY_CURRENT_USER);
        return;
    }
    if (ReadRunEntry(HKEY_LOCAL_MACHINE) == programPath)
        return;
    TRegistry user;
    user.OpenSubkey(layout::kRunKey, true);
    user.WriteText(layout::kRunEntry, programPath);
}

} // namespace

TForm4::TForm4() : TForm("Brisvane", 467, 325, biSystemMenu | biMinimize | biMaximize) {
    Image1 = new TImage(this, 8, 8, 121, 233);
    Image1->SetPicture(PagePicture());
    Label1 = new TLabel(this,
                        "Your system has now been cleared of all selected Internet debris, "
                        "eliminating Internet privacy concerns and freeing additional hard drive "
                        "space.",
                        136, 8, 313, 41, true);
    CheckBox1 = new TCheckBox(this, "Load Brisvane when Windows starts", 144, 72, 297, 17);
    Button6 = new TButton(this, "Check for &Upgrades", 328, 216, 121, 25);
    GroupBox1 = new TGroupBox(this, "", 8, 248, 441, 9);
    Button1 = new TButton(this, "&Help", 8, 264, 65, 25);
    Button3 = new TButton(this, "&Close", 128, 264, 65, 25);
    Button4 = new TButton(this, "< &Back", 200, 264, 65, 25);
    Button5 = new TButton(this, "&Finished", 264, 264, 65, 25);
    Button2 = new TButton(this, "&About", 384, 264, 65, 25);

    // The wizard has no step after this page: Enter does nothing here.
    Button5->SetEnabled(false);
    SetDefaultButton(Button5);

    CheckBox1->SetOnClick([this] { CheckBox1Click(); });
    Button1->SetOnClick([this] { Button1Click(); });
    Button2->SetOnClick([this] { Button2Click(); });
    Button3->SetOnClick([this] { Button3Click(); });
    Button4->SetOnClick([this] { Button4Click(); });
    Button6->SetOnClick([this] { Button6Click(); });

    SetTabOrder({CheckBox1, Button1, Button3, Button4, Button5, Button2, Button6});
}

void TForm4::FormShow() {
    TRegistry settings;
    settings.OpenSubkeyReadOnly(layout::kSettingsKey);
    // The program starts at log-on while either Run key names it, whatever this user's flag
    // says (an elevated run or another user may have written the machine's), so the box shows
    // that too. Setting the box runs its handler when the state changes, so the stored flag and
    // the Run entry are brought in line here; an unchanged state writes nothing.
    CheckBox1->SetChecked(settings.ReadText(layout::kWindowsStartFlag) == layout::kTrue ||
                          !ReadRunEntry(HKEY_LOCAL_MACHINE).empty() ||
                          !ReadRunEntry(HKEY_CURRENT_USER).empty());
}

void TForm4::CheckBox1Click() {
    TRegistry settings;
    settings.OpenSubkey(layout::kSettingsKey, true);
    if (CheckBox1->Checked()) {
        std::string programPath;
        {
            TRegistry appPaths;
            appPaths.SetRoot(HKEY_LOCAL_MACHINE);
            appPaths.OpenSubkeyReadOnly(layout::kAppPathsKey);
            programPath = appPaths.ReadText(layout::kProgramPathValue);
        }
        if (programPath.empty()) {
            MessageBoxA(nullptr, kMissingEntryText, "Brisvane", MB_OK | MB_ICONERROR);
            // Runs this handler again, unticked: the option ends off.
            CheckBox1->SetChecked(false);
            return;
        }
        settings.WriteText(layout::kWindowsStartFlag, layout::kTrue);
        WriteRunEntry(programPath);
    } else {
        settings.WriteText(layout::kWindowsStartFlag, layout::kFalse);
        // A missing entry, or a key this user may not change, is what unticking can't help.
        RemoveRunEntry(HKEY_LOCAL_MACHINE);
        RemoveRunEntry(HKEY_CURRENT_USER);
    }
}

void TForm4::Button1Click() {
    ShowHelpContents();
}

void TForm4::Button2Click() {
    Form1->Button2Click();
}

void TForm4::Button3Click() {
    CloseProgram();
}

void TForm4::Button4Click() {
    Close();
    Form1->Show();
}

void TForm4::Button6Click() {
    MessageBoxA(nullptr, UpgradeNotice().c_str(), "Brisvane", MB_OK | MB_ICONINFORMATION);
    // Whether a browser opened is the desktop's business: nothing is reported either way.
    ShellExecuteA(nullptr, "open", kUpgradeAddress, nullptr, nullptr, SW_SHOW);
}
