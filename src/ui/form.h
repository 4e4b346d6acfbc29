// TForm: a top-level window of the program. Show, close and hide are its own operations, so
// that the show handler runs on every change from hidden to visible and closing means what the
// program says it means rather than what the backend does by default.
#pragma once

#include "platform/win32.h"
#include "ui/control.h"

#include <initializer_list>
#include <string>
#include <vector>

class TButton;

enum TBorderIcon : unsigned {
    biSystemMenu = 1,
    biMinimize = 2,
    biMaximize = 4,
};

class TForm : public TControl {
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

    HWND Handle() const;
    std::string Caption() const;
    void SetCaption(const std::string& caption);
    int OuterWidth() const { return m_outerWidth; }
    int OuterHeight() const { return m_outerHeight; }
    unsigned BorderIcons() const { return m_borderIcons; }

    // Enter presses the focused button; elsewhere it presses the default button, unless that
    // is disabled. The default button is drawn in bold.
    void SetDefaultButton(TButton* button);
    TButton* DefaultButton() const { return m_defaultButton; }

    // The controls that take the focus, in tab order; the first that can take it gets the
    // focus when the window is first shown.
    void SetTabOrder(std::initializer_list<TControl*> controls);
    const std::vector<TControl*>& TabOrder() const { return m_tabOrder; }

    // What closing from the title bar or the system menu does; the backend calls it through
    // the guard.
    virtual void TitleBarClose() { Close(); }

private:
    int m_outerWidth;
    int m_outerHeight;
    unsigned m_borderIcons;
    bool m_placed = false;
    TButton* m_defaultButton = nullptr;
    std::vector<TControl*> m_tabOrder;
};
