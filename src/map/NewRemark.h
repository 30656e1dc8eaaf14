// Making a header remark: the map document's version and last-update lines, the map file's
// header element and the converter's header block are all remarks made this way.
#pragma once

#include <memory>
#include <string>

#include "map/clsMapFigure.h"

namespace picmap {

// A new remark with Admin 0 and the given comment: a right figure, even for an empty text.
std::shared_ptr<clsMapFigure> NewRemark(const std::u16string& text);

}  // namespace picmap
