#include "ui/qt/picture.h"

#include <QHash>
#include <QImage>
#include <QImageReader>

namespace ui::qt {

namespace {

// Every piece of artwork is a PNG file among the program's resources. Read as that, without
// asking Qt to tell the format from the contents: that loads and asks every image plugin
// installed, which costs a start-up more than all its pictures together. Each is read once;
// the icon is set on every window. Kept as images, which need no display to outlive.
QPixmap ArtworkPixmap(const TPicture& picture) {
    static QHash<QString, QImage> read;
    const QString path = ":/brisvane/" + QString::fromStdString(picture.Artwork());
    auto known = read.constFind(path);
    if (known == read.cend()) {
        QImageReader reader(path, "png");
        reader.setAutoDetectImageFormat(false);
        known = read.insert(path, reader.read());
    }
    return QPixmap::fromImage(*known);
}

} // namespace

QPixmap ToQPixmap(const TPicture& picture) {
    return picture.Empty() ? QPixmap() : ArtworkPixmap(picture);
}

QIcon ToQIcon(const TIcon& icon) {
    QIcon qtIcon;
    // Each picture is drawn at the size it is made for.
    for (const auto& sized : icon.Sizes())
        qtIcon.addPixmap(ArtworkPixmap(sized.second));
    return qtIcon;
}

} // namespace ui::qt
