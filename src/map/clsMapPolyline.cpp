#include "map/clsMapPolyline.h"

namespace picmap {

int32_t clsMapPolyline::FigCode() const { return 2; }

int32_t clsMapPolyline::MinPointCount() const { return 2; }

std::shared_ptr<clsMapLinear> clsMapPolyline::NewEmpty() const { return std::make_shared<clsMapPolyline>(); }

}  // namespace picmap
