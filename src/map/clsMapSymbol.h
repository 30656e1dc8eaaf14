// clsMapSymbol: the point symbol figure (code 4, "SYMBOL"), a map element at one position.
#pragma once

#include "map/point_figure.h"

namespace picmap {

class clsMapSymbol : public MapPointFigure {
 public:
  clsMapSymbol() = default;
  int32_t FigCode() const override { return 4; }
  std::shared_ptr<clsMapFigure> Copy() const override;
  bool IsRight() const override { return AttributesRight(); }
  void ReadElm(BinaryReader& iFile, int32_t ver) override;
  void WriteElm(BinaryWriter& iFile, int32_t ver) override;

  // ---- Project-internal ----
  PolyPoint GetSymbolPoint() const { return position_; }
  void SetSymbolPoint(const PolyPoint& pt) { SetPosition(pt); }
};

}  // namespace picmap
