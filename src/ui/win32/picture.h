// The program's artwork from the resources built into the program: a picture named "x-y.png"
// is the resource X_Y_PNG, a bitmap or an icon.
#pragma once

#include "platform/win32.h"
#include "ui/picture.h"

namespace ui::win32 {

// The icon drawn at size by size pixels, or null. Shared: never destroyed.
HICON LoadIconPicture(const TPicture& picture, int size);
// The bitmap, or null; the caller destroys it.
HBITMAP LoadBitmapPicture(const TPicture& picture);

} // namespace ui::win32
