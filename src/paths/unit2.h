// The settings dialog: shows, edits and stores the six browser paths. Modeless.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

class TForm2 : public TForm {
public:
    TForm2();

    void FormCreate() override;
};

extern TForm2* Form2;
