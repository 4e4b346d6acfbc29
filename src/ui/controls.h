// The controls of the program's windows, placed at fixed pixel positions in their parent's
// client area (left, top, width, height at 96 dpi). A handler set with SetOnClick is a user
// event and reaches the handler through the guard.
#pragma once

#include "ui/edit_text.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <string>

namespace ui {

void SetBounds(QWidget* control, int left, int top, int width, int height);

} // namespace ui

// A push button; "&" in the caption marks its mnemonic.
class TButton : public QPushButton {
    Q_OBJECT

public:
    TButton(QWidget* parent, const std::string& caption, int left, int top, int width, int height);
    void SetOnClick(std::function<void()> handler) { m_onClick = std::move(handler); }

private:
    std::function<void()> m_onClick;
};

// A check box whose handler runs on every change of its state: a user's click through the
// guard, SetChecked directly, so that an error ends the code that changed it.
class TCheckBox : public QCheckBox {
    Q_OBJECT

public:
    TCheckBox(QWidget* parent, const std::string& caption, int left, int top, int width,
              int height);
    void SetOnClick(std::function<void()> handler) { m_onClick = std::move(handler); }
    bool Checked() const { return isChecked(); }
    void SetChecked(bool checked);

private:
    std::function<void()> m_onClick;
};

// A label of fixed size whose text starts at its top left; optionally word-wrapped.
class TLabel : public QLabel {
    Q_OBJECT

public:
    TLabel(QWidget* parent, const std::string& caption, int left, int top, int width, int height,
           bool wordWrap = false);
};

// A group box drawn the classic way: an etched frame whose top edge runs through the middle
// of the caption, near the box's top, so that controls placed 16 pixels down are inside it.
// Without a caption it is drawn as an etched horizontal rule, the way a flat group box looks
// above a row of buttons.
class TGroupBox : public QGroupBox {
    Q_OBJECT

public:
    TGroupBox(QWidget* parent, const std::string& caption, int left, int top, int width,
              int height);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kCaptionIndent = 8;
};

// A picture at its natural size.
class TImage : public QLabel {
    Q_OBJECT

public:
    TImage(QWidget* parent, int left, int top, int width, int height);
    void SetPicture(const QPixmap& picture);
};

// A progress bar moved by a fixed step, range 0 to 100 and step 10 unless set otherwise. A step
// past the maximum starts the bar over from its beginning, as the Windows control does, so the
// bar keeps moving however often it is stepped.
class TProgressBar : public QProgressBar {
    Q_OBJECT

public:
    TProgressBar(QWidget* parent, int left, int top, int width, int height);
    // Keeps the position when it lies in the new range, else moves it to the nearer end.
    void SetRange(int min, int max);
    void SetStep(int step) { m_step = step; }
    int Step() const { return m_step; }
    int Position() const { return value(); }
    void StepIt();

private:
    int m_step = 10;
};

// A one-line edit field without a length limit of its own. Its text is bytes: a byte that is
// not part of UTF-8 shows as the character the Windows code page gives it, and Text() gives
// back exactly the bytes that were set, except where the user has changed the text.
class TEdit : public QLineEdit {
    Q_OBJECT

public:
    TEdit(QWidget* parent, const std::string& text, int left, int top, int width, int height);
    std::string Text() const;
    void SetText(const std::string& text);

private:
    ui::ByteText m_text;
};
