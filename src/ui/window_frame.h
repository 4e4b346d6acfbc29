// Window sizes are given as the outer size of a Windows 9x window with a sizable border: a
// 4-pixel frame on every side and a 19-pixel title bar. The client area, which holds the
// controls at fixed pixel positions, is what is left; the desktop adds its own frame around it.
#pragma once

namespace ui {

inline constexpr int kFrameBorder = 4;
inline constexpr int kTitleBarHeight = 19;

inline constexpr int ClientWidth(int outerWidth) {
    return outerWidth - 2 * kFrameBorder;
}
inline constexpr int ClientHeight(int outerHeight) {
    return outerHeight - kTitleBarHeight - 2 * kFrameBorder;
}

} // namespace ui
