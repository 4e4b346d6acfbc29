#include "ui/qt/window_font.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHash>
#include <QStringList>
#include <optional>

namespace ui {

namespace {

// The fonts of the windows and the metric-compatible families that stand in for them, best
// first.
const QHash<QString, QStringList>& Substitutes() {
    static const QHash<QString, QStringList> substitutes{
        {"MS Sans Serif",
         {"Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial", "DejaVu Sans"}},
        {"Times New Roman", {"Liberation Serif", "Tinos", "DejaVu Serif"}},
    };
    return substitutes;
}

std::optional<QFont>& SavedSystemFont() {
    static std::optional<QFont> font;
    return font;
}

bool Installed(const QStringList& families, const QString& family) {
    return families.contains(family, Qt::CaseInsensitive);
}

} // namespace

void RegisterFontSubstitutes() {
    for (auto at = Substitutes().cbegin(); at != Substitutes().cend(); ++at)
        QFont::insertSubstitutions(at.key(), at.value());
}

QString InstalledFamily(const QString& family) {
    // Asked for a family it lacks, Qt sorts every font of the system for the nearest one, once
    // for each font made; the answer is found here once per name and the family named outright.
    static QHash<QString, QString> resolved;
    if (const auto known = resolved.constFind(family); known != resolved.cend())
        return *known;
    const QStringList families = QFontDatabase::families();
    QString chosen = family;
    if (!Installed(families, family)) {
        for (const QString& substitute : Substitutes().value(family)) {
            if (Installed(families, substitute)) {
                chosen = substitute;
                break;
            }
        }
    }
    resolved.insert(family, chosen);
    return chosen;
}

QFont WindowFont() {
    QFont font(InstalledFamily("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kWindowFontPixels);
    return font;
}

QFont BoldWindowFont() {
    QFont font = WindowFont();
    font.setBold(true);
    return font;
}

void MakeWindowFontTheDefault() {
    if (!SavedSystemFont())
        SavedSystemFont() = QApplication::font();
    QApplication::setFont(WindowFont());
}

QFont SystemFont() {
    return SavedSystemFont().value_or(QApplication::font());
}

} // namespace ui
