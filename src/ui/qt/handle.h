// Window handles: a HWND of ours is the address of the QWidget behind the window.
#pragma once

#include "platform/win32.h"

class QWidget;

namespace ui {

inline HWND ToHandle(QWidget* widget) {
    return reinterpret_cast<HWND>(widget);
}
inline QWidget* FromHandle(HWND handle) {
    return reinterpret_cast<QWidget*>(handle);
}

} // namespace ui
