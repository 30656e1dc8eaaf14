#include "map/NewRemark.h"

#include "map/clsMapRem.h"

namespace picmap {

std::shared_ptr<clsMapFigure> NewRemark(const std::u16string& text) {
  auto rem = std::make_shared<clsMapRem>();
  rem->Admin(0);
  rem->Comment(text);
  return rem;
}

}  // namespace picmap
