#include "output/qt_surface.h"

#include <QPolygonF>

namespace picmap {

namespace {

QPolygonF ToPolygon(const PolyPoint* points, int32_t count) {
  QPolygonF polygon;
  polygon.reserve(count);
  for (int32_t i = 0; i < count; ++i) polygon.append(QPointF(points[i].x, points[i].y));
  return polygon;
}

}  // namespace

bool QPainterSurface::Ready(const PolyPoint* points, int32_t count) const {
  return painter_.isActive() && points != nullptr && count >= 2;
}

bool QPainterSurface::Polyline(const PolyPoint* points, int32_t count) {
  if (!Ready(points, count)) return false;
  painter_.drawPolyline(ToPolygon(points, count));
  return true;
}

bool QPainterSurface::Polygon(const PolyPoint* points, int32_t count) {
  if (!Ready(points, count)) return false;
  painter_.drawPolygon(ToPolygon(points, count));
  return true;
}

bool QPainterSurface::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!painter_.isActive() || right < left || bottom < top) return false;
  painter_.drawRect(QRectF(QPointF(left, top), QPointF(right, bottom)));
  return true;
}

bool QPainterSurface::MoveTo(int32_t x, int32_t y, PolyPoint* previous) {
  if (previous) *previous = position_;
  position_ = {x, y};
  return painter_.isActive();
}

bool QPainterSurface::LineTo(int32_t x, int32_t y) {
  if (!painter_.isActive()) return false;
  painter_.drawLine(QPointF(position_.x, position_.y), QPointF(x, y));
  position_ = {x, y};
  return true;
}

}  // namespace picmap
