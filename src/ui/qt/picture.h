// The program's artwork as Qt pictures: the files of data/ that the build embeds as Qt
// resources (brisvane_ui_add_artwork).
#pragma once

#include "ui/picture.h"

#include <QIcon>
#include <QPixmap>

namespace ui::qt {

QPixmap ToQPixmap(const TPicture& picture);
QIcon ToQIcon(const TIcon& icon);

} // namespace ui::qt
