// The controls of the program's windows, placed at fixed pixel positions in their parent's
// client area. The parent is a window or a group box, which owns the control. A handler set
// with SetOnClick is a user event and reaches the handler through the guard.
#pragma once

#include "ui/control.h"
#include "ui/picture.h"

#include <functional>
#include <string>

// A push button; "&" in the caption marks its mnemonic.
class TButton : public TControl {
public:
    TButton(TControl* parent, const std::string& caption, int left, int top, int width, int height);
    void SetOnClick(std::function<void()> handler) { m_onClick = std::move(handler); }
    std::string Caption() const;
    // What a click does: the handler runs through the guard; a disabled button does nothing.
    void Click();

    // The backend's report of a click, from the mouse, the keyboard or Click.
    void Clicked();

private:
    std::function<void()> m_onClick;
};

// A check box whose handler runs on every change of its state: a user's click through the
// guard, SetChecked directly, so that an error ends the code that changed it.
class TCheckBox : public TControl {
public:
    TCheckBox(TControl* parent, const std::string& caption, int left, int top, int width,
              int height);
    void SetOnClick(std::function<void()> handler) { m_onClick = std::move(handler); }
    std::string Caption() const;
    bool Checked() const;
    void SetChecked(bool checked);
    // What a user's click does: the state flips and the handler runs through the guard; a
    // disabled box does nothing.
    void Click();

    // The backend's report of a user's click, after the state has flipped.
    void Clicked();

private:
    // Changes the shown state without reporting a click.
    void ShowChecked(bool checked);

    std::function<void()> m_onClick;
};

enum class TAlignment {
    Left,
    Centre,
};

// A label of fixed size whose text starts at its top left; optionally word-wrapped.
class TLabel : public TControl {
public:
    TLabel(TControl* parent, const std::string& caption, int left, int top, int width, int height,
           bool wordWrap = false);
    std::string Caption() const;
    void SetAlignment(TAlignment alignment);
    // Makes the label exactly as large as its text.
    void SizeToText();
    // Makes the label as wide as its text, keeping its height.
    void WidenToText();
};

// A group box drawn the classic way: an etched frame whose top edge runs through the middle
// of the caption, near the box's top, so that controls placed 16 pixels down are inside it.
// Without a caption it is drawn as an etched horizontal rule, the way a flat group box looks
// above a row of buttons.
class TGroupBox : public TControl {
public:
    TGroupBox(TControl* parent, const std::string& caption, int left, int top, int width,
              int height);
    std::string Caption() const;
};

// A picture at its natural size.
class TImage : public TControl {
public:
    TImage(TControl* parent, int left, int top, int width, int height);
    void SetPicture(const TPicture& picture);
};

// A progress bar moved by a fixed step, range 0 to 100 and step 10 unless set otherwise. A step
// past the maximum starts the bar over from its beginning, as the Windows control does, so the
// bar keeps moving however often it is stepped.
class TProgressBar : public TControl {
public:
    TProgressBar(TControl* parent, int left, int top, int width, int height);
    // Keeps the position when it lies in the new range, else moves it to the nearer end.
    void SetRange(int min, int max);
    int Min() const;
    int Max() const;
    void SetStep(int step) { m_step = step; }
    int Step() const { return m_step; }
    int Position() const;
    void StepIt();

private:
    void SetNativeRange(int min, int max);
    void SetPosition(int position);

    int m_step = 10;
};

// A one-line edit field without a length limit of its own. Its text is bytes: a byte that is
// not part of UTF-8 shows as the character the Windows code page gives it, and Text() gives
// back exactly the bytes that were set, except where the user has changed the text.
class TEdit : public TControl {
public:
    TEdit(TControl* parent, const std::string& text, int left, int top, int width, int height);
    std::string Text() const;
    void SetText(const std::string& text);
    // Where the caret is, in characters from the beginning; 0 shows the text's beginning.
    int SelStart() const;
    void SetSelStart(int position);
};
