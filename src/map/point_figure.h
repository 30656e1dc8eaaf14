// The base of the figures placed at one position (symbol and text): the position is a single
// point, handed out as a new one-point list and taken from point 1 of a given list.
#pragma once

#include <memory>

#include "geometry/clsPoly.h"
#include "map/figure_common.h"

namespace picmap {

class MapPointFigure : public MapFigureCommon {
 public:
  std::shared_ptr<clsPoly> Poly() const override;
  // Takes point 1 of a non-empty list; the figure keeps no reference to it.
  void Poly(std::shared_ptr<clsPoly> value) override;
  bool IsInner(const clsRect& oRect) const override;

  int32_t mx() const { return position_.x; }
  void mx(int32_t px);
  int32_t my() const { return position_.y; }
  void my(int32_t py);

 protected:
  MapPointFigure() = default;
  void SetPosition(const PolyPoint& pt);

  PolyPoint position_{0, 0};
};

}  // namespace picmap
