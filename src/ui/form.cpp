#include "ui/form.h"

#include "ui/application.h"

void TForm::Close() {
    if (Application.MainForm() == this)
        Application.Terminate();
    else
        Hide();
}
