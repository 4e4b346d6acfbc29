// Drives the program's windows the way a user does, through the backend's own input events, so
// that a window test is written once for every backend. Each backend implements it beside this
// header (qt/window_driver.cpp).
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <string>

namespace window_driver {

enum class Key {
    Enter,
    Escape,
    Space,
};

// A left mouse click on the button.
void Click(const TButton& button);
// A left mouse click on the check box's box.
void Tick(const TCheckBox& box);
// Gives the edit the focus and types the text at the caret, one key a character.
void Type(const TEdit& edit, const std::string& text);
// Gives the control the focus, then presses and releases the key.
void Press(const TControl& focused, Key key);
// Alt and the letter, pressed in the window.
void PressMnemonic(const TForm& form, char letter);
// What the control shows as its caption: a button's or box's text, a label's, a group box's
// title, an edit's text, a window's title.
std::string Caption(const TControl& control);
// Dispatches the messages that are waiting, and those they post, until none is left.
void RunUntilIdle();

} // namespace window_driver
