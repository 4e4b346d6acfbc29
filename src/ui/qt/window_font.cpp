#include "ui/qt/window_font.h"

#include <QStringList>

namespace ui {

void RegisterFontSubstitutes() {
    QFont::insertSubstitutions("MS Sans Serif", {"Microsoft Sans Serif", "Liberation Sans", "Arimo",
                                                 "Arial", "DejaVu Sans"});
}

QFont WindowFont() {
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kWindowFontPixels);
    return font;
}

QFont BoldWindowFont() {
    QFont font = WindowFont();
    font.setBold(true);
    return font;
}

} // namespace ui
