// The control names of the main window's menus and labels (their objectName in Qt).
#pragma once

#include <string>

#include "app/window_port.h"

namespace picmap {

std::u16string MenuName(Menu item);
std::u16string LabelName(Label label);

}  // namespace picmap
