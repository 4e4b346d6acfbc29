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
// Makes the window font the one every widget starts from. A control takes its window's font
// only once it is made, and a line edit lays its text out before that: with the system's font
// as the default, every start would look up and load a second family for nothing.
void MakeWindowFontTheDefault();
// The system's own font, for the windows where the user reads at length or picks a folder
// (help, the folder picker), which were never drawn in the window font.
QFont SystemFont();

} // namespace ui
