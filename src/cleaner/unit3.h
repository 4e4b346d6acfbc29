// The progress window shown while a cleaning run works. It lives as long as the program, so
// the bar's position carries over from one run to the next.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

class TForm3 : public TForm {
public:
    TForm3();

    TLabel* Label1;
    TImage* Image1;
    TProgressBar* ProgressBar1;
};

extern TForm3* Form3;
