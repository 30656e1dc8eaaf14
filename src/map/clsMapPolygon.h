// clsMapPolygon: the closed-area figure (code 3, "POLYGON"); right with at least 4 points.
#pragma once

#include "map/clsMapLinear.h"

namespace picmap {

class clsMapPolygon : public clsMapLinear {
 public:
  clsMapPolygon() = default;
  int32_t FigCode() const override;

 protected:
  int32_t MinPointCount() const override;
  std::shared_ptr<clsMapLinear> NewEmpty() const override;
};

}  // namespace picmap
