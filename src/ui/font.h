// Fonts and text colours a window or control can be given instead of the window font.
#pragma once

#include <string>

struct TFont {
    std::string name;
    // The height of the characters in pixels at 96 dpi.
    int pixelHeight;
    bool bold = false;
};

struct TColor {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
};

inline constexpr TColor clBlack{0, 0, 0};
