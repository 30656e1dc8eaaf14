#include "map/point_figure.h"

#include "geometry/clsRect.h"

namespace picmap {

std::shared_ptr<clsPoly> MapPointFigure::Poly() const {
  auto list = std::make_shared<clsPoly>();
  list->AddPoint(position_);
  return list;
}

void MapPointFigure::Poly(std::shared_ptr<clsPoly> value) {
  if (!value || value->Count() < 1) return;
  SetPosition(value->GetPoint(1));
}

bool MapPointFigure::IsInner(const clsRect& oRect) const {
  return oRect.IsInner(position_.x, position_.y);
}

void MapPointFigure::mx(int32_t px) {
  position_.x = px;
  modified_ = true;
}

void MapPointFigure::my(int32_t py) {
  position_.y = py;
  modified_ = true;
}

void MapPointFigure::SetPosition(const PolyPoint& pt) {
  position_ = pt;
  modified_ = true;
}

}  // namespace picmap
