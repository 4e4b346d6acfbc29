// The program's own artwork, built into the program: the window icon and the picture that
// both wizard pages show.
#pragma once

#include "ui/picture.h"

TIcon ProgramIcon();
// 121 by 233 pixels.
TPicture PagePicture();
