#include "geometry/clsRect.h"

#include <algorithm>

#include "geometry/drawing.h"
#include "support/numeric.h"

namespace picmap {

int32_t clsRect::CenterX() const { return DivL(AddL(mLeft, mRight), 2); }
int32_t clsRect::CenterY() const { return DivL(AddL(mTop, mBottom), 2); }

int32_t clsRect::Width() const { return AddL(SubL(mRight, mLeft), 1); }
void clsRect::Width(int32_t w) { mRight = SubL(AddL(mLeft, w), 1); }
int32_t clsRect::Height() const { return AddL(SubL(mBottom, mTop), 1); }
void clsRect::Height(int32_t h) { mBottom = SubL(AddL(mTop, h), 1); }

int16_t clsRect::OutCode(int32_t px, int32_t py) const {
  int16_t code = 0;
  if (px < mLeft)
    code |= outcode::kLeft;
  else if (px > mRight)
    code |= outcode::kRight;
  if (py < mTop)
    code |= outcode::kAbove;
  else if (py > mBottom)
    code |= outcode::kBelow;
  return code;
}

void clsRect::Clear() { *this = clsRect(); }

void clsRect::SetAll(int32_t sx, int32_t sy, int32_t ex, int32_t ey) {
  mLeft = sx;
  mTop = sy;
  mRight = ex;
  mBottom = ey;
  Formalize();
}

clsRect clsRect::Copy() const { return clsRect(mLeft, mTop, mRight, mBottom); }

void clsRect::Move(int32_t dx, int32_t dy) {
  mLeft = AddL(mLeft, dx);
  mRight = AddL(mRight, dx);
  mTop = AddL(mTop, dy);
  mBottom = AddL(mBottom, dy);
}

void clsRect::Extention(int32_t n) {
  mLeft = SubL(mLeft, n);
  mRight = AddL(mRight, n);
  mTop = SubL(mTop, n);
  mBottom = AddL(mBottom, n);
}

void clsRect::OpeOr(const clsRect& oRect) {
  if (IsEmpty() || oRect.IsEmpty()) return;
  mLeft = std::min(mLeft, oRect.mLeft);
  mRight = std::max(mRight, oRect.mRight);
  mTop = std::min(mTop, oRect.mTop);
  mBottom = std::max(mBottom, oRect.mBottom);
}

void clsRect::OpeAnd(const clsRect& oRect) {
  if (IsEmpty() || oRect.IsEmpty()) return;
  mLeft = std::max(mLeft, oRect.mLeft);
  mRight = std::min(mRight, oRect.mRight);
  mTop = std::max(mTop, oRect.mTop);
  mBottom = std::min(mBottom, oRect.mBottom);
  if (IsEmpty()) Clear();
}

bool clsRect::Draw(DrawingSurface& handle) const {
  if (IsEmpty()) return false;
  // The outline reaches two units past the inclusive right and bottom corners; drawings
  // made with it rely on that extent.
  return handle.Rectangle(mLeft, mTop, AddL(mRight, 2), AddL(mBottom, 2));
}

}  // namespace picmap
