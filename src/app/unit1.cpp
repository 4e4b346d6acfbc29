#include "app/unit1.h"

#include "app/about_message.h"
#include "app/artwork.h"
#include "app/close_program.h"
#include "app/help_buttons.h"
#include "app/main_page_run_host.h"
#include "cleaner/cleaning_run.h"
#include "cleaner/folder_purge.h"
#include "paths/unit2.h"
#include "settings/install_folder.h"
#include "settings/registry.h"
#include "settings/registry_layout.h"
#include "ui/message_box.h"

#include <string>
#include <utility>

TForm1* Form1 = nullptr;

namespace {

const char* const kFavoritesWarning =
    "Please note that this option will erase all bookmarks/favorites in your browser.";

// Every change of an option box goes to the Settings key at once.
void StoreFlag(const char* flag, bool ticked) {
    TRegistry settings;
    settings.OpenSubkey(layout::kSettingsKey, true);
    settings.WriteText(flag, ticked ? layout::kTrue : layout::kFalse);
}

} // namespace

TForm1::TForm1() : TForm("Brisvane v1.01", 467, 325, biSystemMenu | biMinimize) {
    Image1 = new TImage(this, 8, 8, 121, 233);
    Image1->SetPicture(PagePicture());
    Label1 = new TLabel(this, "Welcome to Brisvane!", 144, 8, 117, 13);
    Label2 = new TLabel(this,
                        "Select the Internet remnants that you would like to remove by clicking "
                        "on the corresponding checkbox below.  \"Help\" will outline what "
                        "Internet debris is on your system.",
                        144, 32, 291, 39, true);
    CheckBox1 = new TCheckBox(this, "Delete Cookie Files", 152, 96, 233, 17);
    CheckBox2 = new TCheckBox(this, "Delete Bookmarks or Favorites", 152, 112, 241, 25);
    CheckBox3 = new TCheckBox(this, "Delete Web Browser History References", 152, 136, 241, 17);
    CheckBox4 = new TCheckBox(this, "Delete Web Browser Cache Files", 152, 152, 249, 25);
    CheckBox5 = new TCheckBox(this, "Delete URL Registry References", 152, 176, 249, 17);
    Button6 = new TButton(this, "&Settings", 376, 208, 73, 25);
    GroupBox1 = new TGroupBox(this, "", 8, 248, 441, 9);
    Button1 = new TButton(this, "&Help", 8, 264, 65, 25);
    Button3 = new TButton(this, "&Close", 128, 264, 65, 25);
    Button4 = new TButton(this, "< &Back", 200, 264, 65, 25);
    Button5 = new TButton(this, "&Next >", 264, 264, 65, 25);
    Label3 =
        new TLabel(this, "Click \"Help\" at any time for more information.", 144, 232, 210, 13);
    // Sized to its text: the stand-in for the window font runs a little wider than the original.
    Label3->SizeToText();
    Button2 = new TButton(this, "&About", 384, 264, 65, 25);

    // There is no page before this one.
    Button4->SetEnabled(false);
    SetDefaultButton(Button5);
    Button5->SetTextColor(clBlack);

    CheckBox1->SetOnClick([this] { CheckBox1Click(); });
    CheckBox2->SetOnClick([this] { CheckBox2Click(); });
    CheckBox3->SetOnClick([this] { CheckBox3Click(); });
    CheckBox4->SetOnClick([this] { CheckBox4Click(); });
    CheckBox5->SetOnClick([this] { CheckBox5Click(); });

    Button1->SetOnClick([this] { Button1Click(); });
    Button2->SetOnClick([this] { Button2Click(); });
    Button3->SetOnClick([this] { Button3Click(); });
    Button5->SetOnClick([this] { Button5Click(); });
    Button6->SetOnClick([this] { Button6Click(); });

    SetTabOrder({Button1, Button3, Button4, Button5, Button2, CheckBox1, CheckBox2, CheckBox3,
                 CheckBox4, CheckBox5, Button6});
}

void TForm1::FormCreate() {
    {
        TRegistry settings;
        settings.OpenSubkeyReadOnly(layout::kSettingsKey);
        // Ticking runs the box's handler at once, which stores the flag again and, for the
        // favorites box, may show the warning before the next flag is read.
        const std::pair<TCheckBox*, const char*> options[] = {
            {CheckBox1, layout::kCookiesFlag},
            {CheckBox2, layout::kFavoritesFlag},
            {CheckBox3, layout::kHistoryFlag},
            {CheckBox4, layout::kCacheFlag},
            {CheckBox5, layout::kUrlRegistryFlag}};
        for (const auto& [box, flag] : options)
            box->SetChecked(settings.ReadText(flag) == layout::kTrue);
    }
    PurgeParkedFolders(ReadInstallFolder());
}

void TForm1::CheckBox1Click() {
    StoreFlag(layout::kCookiesFlag, CheckBox1->Checked());
}

void TForm1::CheckBox2Click() {
    TRegistry settings;
    settings.OpenSubkey(layout::kSettingsKey, true);
    std::string warned = settings.ReadText(layout::kUrlCheckFlag);
    if (warned.empty())
        warned = layout::kFalse;
    const bool ticked = CheckBox2->Checked();
    // Any other text than "false" keeps the warning back until the box is next unticked.
    if (warned == layout::kFalse && ticked) {
        MessageBoxA(nullptr, kFavoritesWarning, "Brisvane", MB_ICONINFORMATION | MB_OK);
        settings.WriteText(layout::kUrlCheckFlag, layout::kTrue);
    }
    if (ticked) {
        settings.WriteText(layout::kFavoritesFlag, layout::kTrue);
    } else {
        settings.WriteText(layout::kUrlCheckFlag, layout::kFalse);
        settings.WriteText(layout::kFavoritesFlag, layout::kFalse);
    }
}

void TForm1::CheckBox3Click() {
    StoreFlag(layout::kHistoryFlag, CheckBox3->Checked());
}

void TForm1::CheckBox4Click() {
    StoreFlag(layout::kCacheFlag, CheckBox4->Checked());
}

void TForm1::CheckBox5Click() {
    StoreFlag(layout::kUrlRegistryFlag, CheckBox5->Checked());
}

void TForm1::Button1Click() {
    ShowHelpContents();
}

void TForm1::Button2Click() {
    ShowAboutMessage();
}

void TForm1::Button3Click() {
    CloseProgram();
}

void TForm1::Button5Click() {
    MainPageRunHost host(*this);
    RunCleaning(host);
}

void TForm1::Button6Click() {
    Form2->Show();
}
