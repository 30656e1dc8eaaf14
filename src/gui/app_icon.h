// The program's icon (a picture becoming a grid of rectangles), built into the program so the
// window shows it even when it is not installed.
#pragma once

#include <QIcon>

namespace picmap {

// The installed theme icon "picmap" when there is one, else the built-in drawing.
QIcon AppIcon();

}  // namespace picmap
