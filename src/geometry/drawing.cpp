#include "geometry/drawing.h"

#include "geometry/clsLine.h"
#include "geometry/clsRect.h"

namespace picmap {

bool clsPoly::DrawPolyline(DrawingSurface& handle) const { return handle.Polyline(Data(), Count()); }
bool clsPoly::DrawPolygon(DrawingSurface& handle) const { return handle.Polygon(Data(), Count()); }

bool RecordingSurface::RecordPoints(const char* name, const PolyPoint* points, int32_t count) {
  Call call{name, {count}, points, {}};
  if (points && count > 0) call.copied.assign(points, points + count);
  calls.push_back(std::move(call));
  return succeed;
}

bool RecordingSurface::Polyline(const PolyPoint* points, int32_t count) {
  return RecordPoints("Polyline", points, count);
}

bool RecordingSurface::Polygon(const PolyPoint* points, int32_t count) {
  return RecordPoints("Polygon", points, count);
}

bool RecordingSurface::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  calls.push_back({"Rectangle", {left, top, right, bottom}, nullptr, {}});
  return succeed;
}

bool RecordingSurface::MoveTo(int32_t x, int32_t y, PolyPoint* previous) {
  if (previous) *previous = position_;
  position_ = {x, y};
  calls.push_back({"MoveTo", {x, y}, nullptr, {}});
  return succeed;
}

bool RecordingSurface::LineTo(int32_t x, int32_t y) {
  position_ = {x, y};
  calls.push_back({"LineTo", {x, y}, nullptr, {}});
  return succeed;
}

}  // namespace picmap
