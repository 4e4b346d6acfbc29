// The main page: the wizard's first page and the program's main window.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

class TForm1 : public TForm {
public:
    TForm1();

    void FormCreate() override;

    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button5Click();
    void Button6Click();

    TImage* Image1;
    TLabel* Label1;
    TLabel* Label2;
    TCheckBox* CheckBox1;
    TCheckBox* CheckBox2;
    TCheckBox* CheckBox3;
    TCheckBox* CheckBox4;
    TCheckBox* CheckBox5;
    TButton* Button6;
    TLabel* Label3;
    TGroupBox* GroupBox1;
    TButton* Button1;
    TButton* Button3;
    TButton* Button4;
    TButton* Button5;
    TButton* Button2;
};

extern TForm1* Form1;
