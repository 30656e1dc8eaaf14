#include "map/clsMapPolygon.h"

namespace picmap {

int32_t clsMapPolygon::FigCode() const { return 3; }

int32_t clsMapPolygon::MinPointCount() const { return 4; }

std::shared_ptr<clsMapLinear> clsMapPolygon::NewEmpty() const { return std::make_shared<clsMapPolygon>(); }

}  // namespace picmap
