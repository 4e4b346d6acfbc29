#include "app/unit4.h"

#include "app/artwork.h"
#include "app/close_program.h"
#include "app/unit1.h"

TForm4* Form4 = nullptr;

TForm4::TForm4() : TForm("Brisvane", 467, 325, biSystemMenu | biMinimize | biMaximize) {
    Image1 = new TImage(this, 8, 8, 121, 233);
    Image1->SetPicture(PagePicture());
    Button6 = new TButton(this, "Check for &Upgrades", 328, 216, 121, 25);
    GroupBox1 = new TGroupBox(this, "", 8, 248, 441, 9);
    Button1 = new TButton(this, "&Help", 8, 264, 65, 25);
    Button3 = new TButton(this, "&Close", 128, 264, 65, 25);
    Button4 = new TButton(this, "< &Back", 200, 264, 65, 25);
    Button5 = new TButton(this, "&Finished", 264, 264, 65, 25);
    Button2 = new TButton(this, "&About", 384, 264, 65, 25);

    // The wizard has no step after this page: Enter does nothing here.
    Button5->setEnabled(false);
    SetDefaultButton(Button5);

    Button1->SetOnClick([this] { Button1Click(); });
    Button2->SetOnClick([this] { Button2Click(); });
    Button3->SetOnClick([this] { Button3Click(); });
    Button4->SetOnClick([this] { Button4Click(); });
    Button6->SetOnClick([this] { Button6Click(); });

    SetTabOrder({Button1, Button3, Button4, Button5, Button2, Button6});
}

void TForm4::FormShow() {}

void TForm4::Button1Click() {}

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

void TForm4::Button6Click() {}
