// The window system's mouse-pointer codes as Qt cursor shapes.
#pragma once

#include <Qt>
#include <cstdint>

namespace picmap {

// Unknown codes give the default arrow.
Qt::CursorShape CursorForPointer(int16_t code);

}  // namespace picmap
