// The finish page: shown at the end of each cleaning run, over the main page.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

class TForm4 : public TForm {
public:
    TForm4();

    void FormShow() override;

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button6Click();
    void CheckBox1Click();

    TImage* Image1;
    TLabel* Label1;
    TCheckBox* CheckBox1;
    TButton* Button6;
    TGroupBox* GroupBox1;
    TButton* Button1;
    TButton* Button3;
    TButton* Button4;
    TButton* Button5;
    TButton* Button2;
};

extern TForm4* Form4;
