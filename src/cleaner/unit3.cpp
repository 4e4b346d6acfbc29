#include "cleaner/unit3.h"

#include "ui/application.h"

TForm3* Form3 = nullptr;

TForm3::TForm3() : TForm("Brisvane", 435, 114, biSystemMenu | biMinimize | biMaximize) {
    Label1 = new TLabel(
        this, "Brisvane is analyzing and removing selected Internet debris.  Please wait...", 48,
        16, 363, 13);
    Image1 = new TImage(this, 8, 8, 33, 33);
    // The window's own icon, which start-up gives the application before creating the windows.
    if (!Application.Icon().Empty())
        Image1->SetPicture(Application.Icon().At(32));
    ProgressBar1 = new TProgressBar(this, 8, 48, 409, 25);
    ProgressBar1->SetRange(0, 100);
    ProgressBar1->SetStep(10);
}
