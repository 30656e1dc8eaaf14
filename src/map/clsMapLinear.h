// The base of the two figures that own a point list: the polyline (code 2, open chain) and
// the polygon (code 3, closed outline). They differ only in code, names and the smallest
// point count that makes them right.
#pragma once

#include <memory>

#include "map/figure_common.h"

namespace picmap {

class clsMapLinear : public MapFigureCommon {
 public:
  // Folds the point list's modified flag into the figure's own.
  bool Modify() const override;
  // False also clears the point list's flag; True touches only the figure's.
  void Modify(bool value) override;
  std::shared_ptr<clsPoly> Poly() const override { return poly_; }
  // Shares the given list; a null list is refused (the figure always owns one).
  void Poly(std::shared_ptr<clsPoly> value) override;
  std::shared_ptr<clsMapFigure> Copy() const override;
  bool IsRight() const override;
  bool IsInner(const clsRect& oRect) const override;
  void ReadElm(BinaryReader& iFile, int32_t ver) override;
  void WriteElm(BinaryWriter& iFile, int32_t ver) override;

  // The short file form holds at most this many points.
  static constexpr int32_t kShortFormMaxPoints = 65535;
  // The points the last WriteElm thinned away to fit the short form (0 when none).
  int32_t PointsThinnedByLastWrite() const { return thinnedByLastWrite_; }

 protected:
  clsMapLinear();
  explicit clsMapLinear(double figId);
  virtual int32_t MinPointCount() const = 0;
  virtual std::shared_ptr<clsMapLinear> NewEmpty() const = 0;

 private:
  // Thins the list in place until it fits the short form; the number of points removed.
  int32_t ThinForShortForm();

  std::shared_ptr<clsPoly> poly_;
  int32_t thinnedByLastWrite_ = 0;
};

}  // namespace picmap
