#include "map/clsMapFigure.h"

#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"

namespace picmap {

std::shared_ptr<clsMapFigure> CreateFigure(int32_t figCode) {
  switch (figCode) {
    case 1: return std::make_shared<clsMapRem>();
    case 2: return std::make_shared<clsMapPolyline>();
    case 3: return std::make_shared<clsMapPolygon>();
    case 4: return std::make_shared<clsMapSymbol>();
    case 5: return std::make_shared<clsMapText>();
    default: return nullptr;
  }
}

}  // namespace picmap
