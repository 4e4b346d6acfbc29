// The Windows handles behind the program's windows and controls. Each form is a modeless dialog
// window; its controls are child windows of that dialog, also those placed in a group box, so
// that the dialog manager sees them all for Tab, Enter, Esc and mnemonics. A control's position
// is kept relative to its parent in the program's terms (the form or the group box).
#pragma once

#include "platform/win32.h"
#include "ui/control.h"

namespace ui {

struct Native {
    HWND window = nullptr;
    // Where the parent's client area starts within the dialog's.
    int originLeft = 0;
    int originTop = 0;
    // A font and a picture of the control's own, deleted with it.
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    bool hasTextColor = false;
    COLORREF textColor = 0;
    TCursor cursor = TCursor::Arrow;
};

namespace win32 {

HWND Handle(const TControl* control);
// The control behind a child window of a form, or null.
TControl* ControlOf(HWND window);
// The dialog window of the form the control sits in.
HWND DialogOf(const TControl* control);
HINSTANCE Instance();
// The dialog font, "MS Sans Serif" at 8 points; bold for the default button.
HFONT WindowFont(bool bold);

// The next free control id in a form's dialog; ids below 100 are the dialog manager's.
int NextControlId(HWND dialog);
// Drops what a form's dialog keeps of the form, before the dialog is destroyed.
void ForgetForm(HWND dialog);

// The program has one taskbar button, the application window's, titled with the application's
// title; its forms are owned by that window and have none of their own. It is shown (zero-sized)
// with the first form.
void ShowApplicationWindow();
// The program minimizes as one: the application window to the taskbar, its forms hidden with
// it; restoring it from the taskbar shows them again and activates the form that was active.
void MinimizeApplication(HWND activeForm);
// A form of the program became active: the one to return to from the taskbar or Alt+Tab.
void NoteActiveForm(HWND form);

// Hands a message of the program's loop to the dialog manager of the form it is for, or else
// translates and dispatches it.
void Dispatch(MSG& message);

} // namespace win32

} // namespace ui
