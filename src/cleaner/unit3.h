// The progress window shown while a cleaning run works.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

class TForm3 : public TForm {
public:
    TForm3();
};

extern TForm3* Form3;
