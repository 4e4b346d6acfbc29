// The font every window uses: "MS Sans Serif" at 8 points, that is 11 pixels high at 96 dpi.
// Where the system lacks it, a metric-compatible sans serif takes its place at the same height.
#pragma once

#include <QFont>

namespace ui {

inline constexpr int kWindowFontPixels = 11;

void RegisterFontSubstitutes();
// The family itself where the system has it, else the first of its substitutes it has (else
// the family itself).
QString InstalledFamily(const QString& family);
QFont WindowFont();
QFont BoldWindowFont();

} // namespace ui
