#include "app/artwork.h"

TIcon ProgramIcon() {
    TIcon icon;
    icon.Add(16, TPicture("brisvane-16.png"));
    icon.Add(32, TPicture("brisvane-32.png"));
    return icon;
}

TPicture PagePicture() {
    return TPicture("page-picture.png");
}
