#include "geometry/clsLine.h"

#include <cmath>

#include "geometry/clsRect.h"
#include "geometry/drawing.h"
#include "support/angle.h"
#include "support/library.h"
#include "support/numeric.h"

namespace picmap {

int32_t clsLine::Width() const { return AddL(AbsL(DeltaX()), 1); }
int32_t clsLine::Height() const { return AddL(AbsL(DeltaY()), 1); }
int32_t clsLine::DeltaX() const { return SubL(mEx, mSx); }
int32_t clsLine::DeltaY() const { return SubL(mEy, mSy); }

double clsLine::Length() const {
  const double dx = DeltaX();
  const double dy = DeltaY();
  return std::sqrt(dx * dx + dy * dy);
}

double clsLine::Angle() const { return AnglePosToRadian(DeltaX(), DeltaY()); }

int32_t clsLine::CrossY(int32_t tx) const {
  const int32_t dx = DeltaX();
  if (dx == 0) return kNoCrossing;
  const double run = SubL(tx, mSx);
  return SatToLong(mSy + static_cast<double>(DeltaY()) * run / dx);
}

int32_t clsLine::CrossX(int32_t ty) const {
  const int32_t dy = DeltaY();
  if (dy == 0) return kNoCrossing;
  const double rise = SubL(ty, mSy);
  return SatToLong(mSx + static_cast<double>(DeltaX()) * rise / dy);
}

bool clsLine::IsSlant() const { return Width() >= Height(); }

void clsLine::SetAll(int32_t sx, int32_t sy, int32_t ex, int32_t ey) {
  mSx = sx;
  mSy = sy;
  mEx = ex;
  mEy = ey;
}

void clsLine::GetAll(int32_t& sx, int32_t& sy, int32_t& ex, int32_t& ey) const {
  sx = mSx;
  sy = mSy;
  ex = mEx;
  ey = mEy;
}

bool clsLine::Clip(const clsRect& srcBound) {
  // Every move puts one end on a side line, so a handful of rounds settles any segment;
  // the cap only guards against rounding making an end hop between two sides forever.
  constexpr int kMaxRounds = 64;
  for (int round = 0; round < kMaxRounds; ++round) {
    const int16_t c1 = srcBound.OutCode(mSx, mSy);
    const int16_t c2 = srcBound.OutCode(mEx, mEy);
    if ((c1 | c2) == 0) return true;
    if ((c1 & c2) != 0) return false;
    const int16_t c = c1 != 0 ? c1 : c2;
    int32_t x, y;
    if (c & (outcode::kLeft | outcode::kRight)) {
      x = (c & outcode::kLeft) ? srcBound.mLeft : srcBound.mRight;
      y = CrossY(x);
    } else {
      y = (c & outcode::kAbove) ? srcBound.mTop : srcBound.mBottom;
      x = CrossX(y);
    }
    if (c == c1) {
      mSx = x;
      mSy = y;
    } else {
      mEx = x;
      mEy = y;
    }
  }
  return false;
}

bool clsLine::Draw(DrawingSurface& handle) const {
  PolyPoint previous{0, 0};  // the surface reports where it was; not needed here
  handle.MoveTo(mSx, mSy, &previous);
  return handle.LineTo(mEx, mEy);
}

}  // namespace picmap
