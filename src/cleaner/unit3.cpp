#include "cleaner/unit3.h"

TForm3* Form3 = nullptr;

TForm3::TForm3() : TForm("Brisvane", 435, 114, biSystemMenu | biMinimize | biMaximize) {}
