// clsLine: a directed integer segment from (mSx, mSy) to (mEx, mEy), its measures, the
// crossings of its supporting line and out-code clipping to a rectangle.
#pragma once

#include <cstdint>

namespace picmap {

class clsRect;
class DrawingSurface;

class clsLine {
 public:
  // CrossX / CrossY of a line parallel to the crossing line.
  static constexpr int32_t kNoCrossing = INT32_MIN;

  int32_t mSx = 0;
  int32_t mSy = 0;
  int32_t mEx = 0;
  int32_t mEy = 0;

  clsLine() = default;
  clsLine(int32_t sx, int32_t sy, int32_t ex, int32_t ey) { SetAll(sx, sy, ex, ey); }

  int32_t Width() const;   // |DeltaX| + 1
  int32_t Height() const;  // |DeltaY| + 1
  int32_t DeltaX() const;  // mEx - mSx, overflow-checked
  int32_t DeltaY() const;  // mEy - mSy, overflow-checked
  double Length() const;
  double Angle() const;  // direction in radians
  // y of the supporting line at x = tx, rounded half to even and saturated to +-2147483647;
  // kNoCrossing for a vertical segment. CrossX is the same with the axes swapped.
  int32_t CrossY(int32_t tx) const;
  int32_t CrossX(int32_t ty) const;
  bool IsSlant() const;  // Width >= Height

  void SetAll(int32_t sx, int32_t sy, int32_t ex, int32_t ey);
  void GetAll(int32_t& sx, int32_t& sy, int32_t& ex, int32_t& ey) const;
  // Clips the segment in place; False when nothing of it lies inside (moves made so far stay).
  bool Clip(const clsRect& srcBound);

  // MoveTo(mSx, mSy) then LineTo(mEx, mEy); the result of LineTo.
  bool Draw(DrawingSurface& handle) const;

  bool operator==(const clsLine&) const = default;
};

}  // namespace picmap
