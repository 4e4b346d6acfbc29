#include "paths/unit2.h"

#include "paths/help_viewer.h"
#include "ui/application.h"
#include "ui/folder_picker.h"
#include "ui/message_box.h"

TForm2* Form2 = nullptr;

namespace {

// A path row of the dialog: its label, edit and "..." button, in the order of kBrowserPaths.
struct PathRow {
    int edit;         // EditN
    int browseButton; // ButtonN, the "..." that fills the edit
    const char* prompt;
    const char* label;
    int group; // 0: the Internet Explorer group box, 1: the Netscape one
    int editLeft;
    int editTop;
};

const std::array<PathRow, kBrowserPathCount> kPathRows = {{
    {.edit = 1,
     .browseButton = 5,
     .prompt = "Select your Internet Explorer cookie folder from the list below...",
     .label = "Cookie:",
     .group = 0,
     .editLeft = 8,
     .editTop = 32},
    {.edit = 2,
     .browseButton = 7,
     .prompt = "Select your Internet Explorer favorites folder from the list below...",
     .label = "Favorites:",
     .group = 0,
     .editLeft = 216,
     .editTop = 32},
    {.edit = 3,
     .browseButton = 6,
     .prompt = "Select your Internet Explorer history folder from the list below...",
     .label = "History:",
     .group = 0,
     .editLeft = 8,
     .editTop = 72},
    {.edit = 4,
     .browseButton = 8,
     .prompt = "Select your Internet Explorer cache folder from the list below...",
     .label = "Cache:",
     .group = 0,
     .editLeft = 216,
     .editTop = 72},
    {.edit = 5,
     .browseButton = 10,
     .prompt = "Select your Netscape Navigator v4.x directory from the list below...",
     .label = "Netscape v4.x Directory:",
     .group = 1,
     .editLeft = 8,
     .editTop = 32},
    {.edit = 6,
     .browseButton = 9,
     .prompt = "Select your Netscape Navigator v3.x folder from the list below...",
     .label = "Netsape v3.x Netscape Directory:",
     .group = 1,
     .editLeft = 216,
     .editTop = 32},
}};

constexpr int kEditWidth = 153;
constexpr int kEditHeight = 21;
constexpr int kLabelHeight = 13;
constexpr int kLabelAbove = 16;
constexpr int kBrowseOffset = 160;
constexpr int kBrowseWidth = 25;
constexpr int kBrowseHeight = 17;

// The members by number, so that the path rows reach them.
TEdit* TForm2::*const kEditMembers[] = {&TForm2::Edit1, &TForm2::Edit2, &TForm2::Edit3,
                                        &TForm2::Edit4, &TForm2::Edit5, &TForm2::Edit6};
TLabel* TForm2::*const kLabelMembers[] = {&TForm2::Label2, &TForm2::Label3, &TForm2::Label4,
                                          &TForm2::Label5, &TForm2::Label6, &TForm2::Label7};
TButton* TForm2::*const kBrowseMembers[] = {&TForm2::Button5, &TForm2::Button6, &TForm2::Button7,
                                            &TForm2::Button8, &TForm2::Button9, &TForm2::Button10};
constexpr int kFirstBrowseButton = 5;

const char* const kResetNotice =
    "The program will now terminate in order to restore the default settings.";

} // namespace

TForm2::TForm2() : TForm("Settings", 439, 284, biSystemMenu | biMinimize) {
    Label1 = new TLabel(this, "Browser Path Settings", 8, 8, 417, 25);
    Label1->SetAlignment(TAlignment::Centre);
    Label1->SetFont({"Times New Roman", 16, true});
    Label1->SetTextColor(clBlack);

    GroupBox1 = new TGroupBox(this, " Internet Explorer ", 8, 32, 417, 113);
    GroupBox2 = new TGroupBox(this, " Netscape ", 8, 152, 417, 65);
    for (std::size_t row = 0; row < kPathRows.size(); ++row)
        CreatePathRow(row);

    Button4 = new TButton(this, "&Reset", 8, 224, 73, 25);
    Button3 = new TButton(this, "&Cancel", 176, 224, 73, 25);
    Button2 = new TButton(this, "&Help", 264, 224, 73, 25);
    Button1 = new TButton(this, "&OK", 352, 224, 73, 25);
    Button4->SetOnClick([this] { Button4Click(); });
    Button3->SetOnClick([this] { Button3Click(); });
    Button2->SetOnClick([this] { Button2Click(); });
    Button1->SetOnClick([this] { Button1Click(); });
    Button5->SetOnClick([this] { Button5Click(); });
    Button6->SetOnClick([this] { Button6Click(); });
    Button7->SetOnClick([this] { Button7Click(); });
    Button8->SetOnClick([this] { Button8Click(); });
    Button9->SetOnClick([this] { Button9Click(); });
    Button10->SetOnClick([this] { Button10Click(); });

    // Within each group the edits come first, then the "..." buttons by number.
    SetTabOrder({Edit1, Edit2, Edit3, Edit4, Button5, Button6, Button7, Button8, Edit5, Edit6,
                 Button9, Button10, Button4, Button3, Button2, Button1});
}

void TForm2::CreatePathRow(std::size_t row) {
    const PathRow& path = kPathRows[row];
    TGroupBox* group = path.group == 0 ? GroupBox1 : GroupBox2;

    TLabel* label =
        new TLabel(group, path.label, path.editLeft, path.editTop - kLabelAbove, 0, kLabelHeight);
    // The row labels size themselves to their text, so a wider substitute font cuts nothing.
    label->WidenToText();
    this->*kLabelMembers[path.edit - 1] = label;
    TEdit* edit = new TEdit(group, "Edit" + std::to_string(path.edit), path.editLeft, path.editTop,
                            kEditWidth, kEditHeight);
    this->*kEditMembers[path.edit - 1] = edit;
    m_edits[row] = edit;
    this->*kBrowseMembers[path.browseButton - kFirstBrowseButton] = new TButton(
        group, "...", path.editLeft + kBrowseOffset, path.editTop, kBrowseWidth, kBrowseHeight);
}

void TForm2::FormCreate() {
    DiscoverBrowserPaths(
        [this](std::size_t row, const std::string& path) { SetPathText(row, path); });
}

void TForm2::SetPathText(std::size_t row, const std::string& path) {
    m_edits[row]->SetText(path);
    // A long path shows its beginning, the drive and the first folders.
    m_edits[row]->SetSelStart(0);
}

void TForm2::Button1Click() {
    BrowserPathTexts texts;
    for (std::size_t row = 0; row < kBrowserPathCount; ++row)
        texts[row] = m_edits[row]->Text();
    WriteBrowserPaths(texts);
    Close();
}

void TForm2::Button2Click() {
    ShowHelpTopic(HelpTopic::Settings);
}

void TForm2::Button3Click() {
    Close();
}

void TForm2::Button4Click() {
    MessageBoxA(nullptr, kResetNotice, "Brisvane", MB_OK | MB_ICONINFORMATION);
    RemoveBrowserPaths();
    Application.Terminate();
}

void TForm2::Button5Click() {
    BrowseFor(5);
}
void TForm2::Button6Click() {
    BrowseFor(6);
}
void TForm2::Button7Click() {
    BrowseFor(7);
}
void TForm2::Button8Click() {
    BrowseFor(8);
}
void TForm2::Button9Click() {
    BrowseFor(9);
}
void TForm2::Button10Click() {
    BrowseFor(10);
}

void TForm2::BrowseFor(int button) {
    for (std::size_t row = 0; row < kPathRows.size(); ++row) {
        if (kPathRows[row].browseButton != button)
            continue;
        if (const auto folder = ui::BrowseForFolder(Handle(), kPathRows[row].prompt))
            SetPathText(row, *folder);
        return;
    }
}
