// What every window and control of the program shares: a place in its parent's client area
// (left, top, width, height at 96 dpi), enabled and visible states, and the backend object
// behind it. A control belongs to the window or group box it was created in and is destroyed
// with it, children first.
#pragma once

#include "ui/font.h"

#include <memory>
#include <vector>

namespace ui {

// What a backend puts behind a window or control; only the backend knows what it is.
struct Native;
struct NativeDeleter {
    void operator()(Native* native) const;
};

} // namespace ui

// The pointer's shape over a control.
enum class TCursor {
    Arrow,
    HourGlass,
};

class TControl {
public:
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    TControl* Parent() const { return m_parent; }

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetBounds(int left, int top, int width, int height);

    bool Enabled() const;
    void SetEnabled(bool enabled);
    // Visible on the screen: shown itself, and so are all its parents.
    bool Visible() const;

    void SetFont(const TFont& font);
    void SetTextColor(TColor color);
    // Only over this control: elsewhere the pointer keeps its shape.
    void SetCursor(TCursor cursor);

    ui::Native& NativeObject() const { return *m_native; }

protected:
    // Registers the control with its parent, which then owns it; null for a window.
    explicit TControl(TControl* parent);
    // The backend object, made by the derived class's constructor.
    void Attach(ui::Native* native) { m_native.reset(native); }

private:
    TControl* m_parent;
    std::vector<std::unique_ptr<TControl>> m_children;
    std::unique_ptr<ui::Native, ui::NativeDeleter> m_native;
};
