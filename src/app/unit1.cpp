#include "app/unit1.h"

#include "app/about_message.h"
#include "app/artwork.h"
#include "app/close_program.h"
#include "app/help_buttons.h"
#include "paths/unit2.h"

TForm1* Form1 = nullptr;

TForm1::TForm1() : TForm("Brisvane v1.01", 467, 325, biSystemMenu | biMinimize) {
    Image1 = new TImage(this, 8, 8, 121, 233);
    Image1->SetPicture(PagePicture());
    Button6 = new TButton(this, "&Settings", 376, 208, 73, 25);
    GroupBox1 = new TGroupBox(this, "", 8, 248, 441, 9);
    Button1 = new TButton(this, "&Help", 8, 264, 65, 25);
    Button3 = new TButton(this, "&Close", 128, 264, 65, 25);
    Button4 = new TButton(this, "< &Back", 200, 264, 65, 25);
    Button5 = new TButton(this, "&Next >", 264, 264, 65, 25);
    Button2 = new TButton(this, "&About", 384, 264, 65, 25);

    // There is no page before this one.
    Button4->setEnabled(false);
    SetDefaultButton(Button5);

    Button1->SetOnClick([this] { Button1Click(); });
    Button2->SetOnClick([this] { Button2Click(); });
    Button3->SetOnClick([this] { Button3Click(); });
    Button5->SetOnClick([this] { Button5Click(); });
    Button6->SetOnClick([this] { Button6Click(); });

    SetTabOrder({Button1, Button3, Button4, Button5, Button2, Button6});
}

void TForm1::FormCreate() {}

void TForm1::Button1Click() {
    ShowHelpContents();
}

void TForm1::Button2Click() {
    ShowAboutMessage();
}

void TForm1::Button3Click() {
    CloseProgram();
}

void TForm1::Button5Click() {}

void TForm1::Button6Click() {
    Form2->Show();
}
