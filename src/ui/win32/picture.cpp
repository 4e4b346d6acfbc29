#include "ui/win32/picture.h"

#include "ui/win32/native.h"

#include <cctype>
#include <string>

namespace ui::win32 {

namespace {

std::string ResourceName(const TPicture& picture) {
    std::string name;
    for (const char c : picture.Artwork())
        name += std::isalnum(static_cast<unsigned char>(c))
                    ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                    : '_';
    return name;
}

} // namespace

HICON LoadIconPicture(const TPicture& picture, int size) {
    if (picture.Empty())
        return nullptr;
    return static_cast<HICON>(
        LoadImageA(Instance(), ResourceName(picture).c_str(), IMAGE_ICON, size, size, LR_SHARED));
}

HBITMAP LoadBitmapPicture(const TPicture& picture) {
    if (picture.Empty())
        return nullptr;
    return static_cast<HBITMAP>(
        LoadImageA(Instance(), ResourceName(picture).c_str(), IMAGE_BITMAP, 0, 0, 0));
}

} // namespace ui::win32
