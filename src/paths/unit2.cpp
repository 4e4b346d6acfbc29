#include "paths/unit2.h"

TForm2* Form2 = nullptr;

TForm2::TForm2() : TForm("Settings", 439, 284, biSystemMenu | biMinimize) {}

void TForm2::FormCreate() {}
