#include "ui/qt/picture.h"

namespace ui::qt {

namespace {

QString ResourcePath(const TPicture& picture) {
    return ":/brisvane/" + QString::fromStdString(picture.Artwork());
}

} // namespace

QPixmap ToQPixmap(const TPicture& picture) {
    return picture.Empty() ? QPixmap() : QPixmap(ResourcePath(picture));
}

QIcon ToQIcon(const TIcon& icon) {
    QIcon qtIcon;
    for (const auto& [size, picture] : icon.Sizes())
        qtIcon.addFile(ResourcePath(picture), QSize(size, size));
    return qtIcon;
}

} // namespace ui::qt
