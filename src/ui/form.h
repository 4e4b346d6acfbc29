// TForm: a top-level window of the program. Show, close and hide are its own operations, so
// that the show handler runs on every change from hidden to visible and closing means what the
// program says it means rather than what Qt does by default.
#pragma once

#include "platform/win32.h"

#include <QWidget>
#include <initializer_list>
#include <string>
#include <vector>

class TButton;

enum TBorderIcon : unsigned {
    biSystemMenu = 1,
    biMinimize = 2,
    biMaximize = 4,
};

class TForm : public QWidget {
    Q_OBJECT

public:
    // outerWidth and outerHeight include the nominal frame of window_frame.h.
    TForm(const std::string& caption, int outerWidth, int outerHeight, unsigned borderIcons);
    ~TForm() override;

    // Runs once, right after start-up created the window.
    virtual void FormCreate() {}
    // Runs each time the window goes from hidden to visible.
    virtual void FormShow() {}

    // Makes the window visible and brings it to the front. The first time it is placed at the
    // centre of the screen; later it keeps its place.
    void Show();
    // Paints the window now and hands the picture to the display. A window shown a moment ago
    // is first waited for, a bounded time, until the desktop has mapped and exposed it; no user
    // input is let through meanwhile.
    void DrawNow();
    // The main window: terminate. Any other: hide.
    void Close();
    void Hide();
    bool Visible() const { return isVisible(); }

    HWND Handle() { return reinterpret_cast<HWND>(static_cast<QWidget*>(this)); }
    std::string Caption() const;
    void SetCaption(const std::string& caption);
    int OuterWidth() const { return m_outerWidth; }
    int OuterHeight() const { return m_outerHeight; }

    // Enter presses the focused button; elsewhere it presses the default button, unless that
    // is disabled. The default button is drawn in bold.
    void SetDefaultButton(TButton* button);
    TButton* DefaultButton() const { return m_defaultButton; }

    // The controls that take the focus, in tab order; the first that can take it gets the
    // focus when the window is first shown.
    void SetTabOrder(std::initializer_list<QWidget*> controls);

protected:
    // What closing from the title bar or the system menu does.
    virtual void TitleBarClose() { Close(); }

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CentreOnScreen();
    void FocusFirstControl();

    int m_outerWidth;
    int m_outerHeight;
    bool m_placed = false;
    TButton* m_defaultButton = nullptr;
    std::vector<QWidget*> m_tabOrder;
};
