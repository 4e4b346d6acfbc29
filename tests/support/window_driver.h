// Drives the program's windows the way a user does, through the backend's own input events, and
// reads back what only the backend knows (focus, fonts, pictures, the pointer), so that a window
// test is written once for every backend. Each backend implements it beside this header
// (qt/window_driver.cpp, win32/window_driver.cpp).
#pragma once

#include "ui/controls.h"
#include "ui/form.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace window_driver {

enum class Key {
    Enter,
    Escape,
    Space,
    Tab,
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
// The close box of the window's title bar.
void CloseFromTitleBar(const TForm& form);
// Drags the window by its title bar.
void MoveBy(const TForm& form, int right, int down);

// What the control shows as its caption: a button's or box's text, a label's, a group box's
// title, an edit's text, a window's title.
std::string Caption(const TControl& control);
bool HasFocus(const TControl& control);
bool IsBold(const TControl& control);
// Width and height of the picture the image shows; 0 by 0 for none.
std::pair<int, int> PictureSize(const TImage& image);
bool ShowsHourGlass(const TControl& control);
// The window's size with its frame and title bar, as the system gives it.
std::pair<int, int> OuterSize(const TForm& form);
// The boxes of the title bar, as TBorderIcon bits.
unsigned TitleBarBoxes(const TForm& form);
// The height of the characters of the control's font, in pixels.
int FontPixelHeight(const TControl& control);
bool HasIcon(const TForm& form);
// Whether a modal window of the program (a dialog that blocks the others) is open.
bool ModalWindowOpen();

// Dispatches the messages that are waiting, and those they post, until none is left.
void RunUntilIdle();
// Runs the step once from the message loop, about delayMs from now.
void After(int delayMs, std::function<void()> step);

// Counts the times a window goes from hidden to visible while the counter lives.
class ShowCounter {
public:
    explicit ShowCounter(const TForm& form);
    ~ShowCounter();
    ShowCounter(const ShowCounter&) = delete;
    ShowCounter& operator=(const ShowCounter&) = delete;
    int Count() const;

    struct Watch;

private:
    std::unique_ptr<Watch> m_watch;
};

} // namespace window_driver
