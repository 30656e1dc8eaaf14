// clsMapPolyline: the open line figure (code 2, "POLYLINE"); right with at least 2 points.
#pragma once

#include "map/clsMapLinear.h"

namespace picmap {

class clsMapPolyline : public clsMapLinear {
 public:
  clsMapPolyline() = default;
  int32_t FigCode() const override;

 protected:
  int32_t MinPointCount() const override;
  std::shared_ptr<clsMapLinear> NewEmpty() const override;
};

}  // namespace picmap
