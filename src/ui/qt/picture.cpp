#include "ui/qt/picture.h"

#include <QHash>
#include <QImageReader>

namespace ui::qt {

namespace {

// Every piece of artwork is a PNG file among the program's resources. Read as that, without
// asking Qt to tell the format from the contents: that loads and asks every image plugin
// installed, which costs a start-up more than all its pictures together. Each is read once;
// the icon is set on every window.
QPixmap ArtworkPixmap(const TPicture& picture) {
    static QHash<QString, QPixmap> read;
    const QString path = ":/brisvane/" + QString::fromStdString(picture.Artwork());
    if (const auto known = read.constFind(path); known != read.cend())
        return *known;
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    const QPixmap pixmap = QPixmap::fromImage(reader.read());
    read.insert(path, pixmap);
    return pixmap;
}

} // namespace

QPixmap ToQPixmap(const TPicture& picture) {
    return picture.Empty() ? QPixmap() : ArtworkPixmap(picture);
}

QIcon ToQIcon(const TIcon& icon) {
    QIcon qtIcon;
    for (const auto& [size, picture] : icon.Sizes())
        qtIcon.addPixmap(ArtworkPixmap(picture));
    return qtIcon;
}

} // namespace ui::qt
