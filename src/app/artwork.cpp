#include "app/artwork.h"

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(":/brisvane/brisvane-16.png", QSize(16, 16));
    icon.addFile(":/brisvane/brisvane-32.png", QSize(32, 32));
    return icon;
}

QPixmap PagePicture() {
    return QPixmap(":/brisvane/page-picture.png");
}
