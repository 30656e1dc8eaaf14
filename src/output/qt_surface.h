// QPainterSurface: the geometry classes' drawing surface on a QPainter. The figures hand over
// their own integer coordinates; the painter's world transform maps them to the device, and
// its pen and brush decide how the primitives look, as with any other surface.
#pragma once

#include <QPainter>
#include <QPointF>

#include "geometry/drawing.h"

namespace picmap {

class QPainterSurface : public DrawingSurface {
 public:
  explicit QPainterSurface(QPainter& painter) : painter_(painter) {}

  // Both need at least two points, as the graphics interfaces they stand in for do.
  bool Polyline(const PolyPoint* points, int32_t count) override;
  bool Polygon(const PolyPoint* points, int32_t count) override;
  // Left/top inclusive, right/bottom exclusive; right < left or bottom < top draws nothing.
  bool Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool MoveTo(int32_t x, int32_t y, PolyPoint* previous) override;
  bool LineTo(int32_t x, int32_t y) override;

 private:
  bool Ready(const PolyPoint* points, int32_t count) const;

  QPainter& painter_;
  PolyPoint position_{0, 0};
};

}  // namespace picmap
