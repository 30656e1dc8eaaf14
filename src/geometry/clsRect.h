// clsRect: an axis-parallel integer rectangle with inclusive corners. The side with the
// smaller y is the top. Nothing keeps the corners ordered: reversed corners make it empty.
#pragma once

#include <cstdint>

namespace picmap {

class DrawingSurface;

// Out-code bits of a point against a rectangle.
namespace outcode {
constexpr int16_t kLeft = 1;
constexpr int16_t kRight = 2;
constexpr int16_t kAbove = 4;
constexpr int16_t kBelow = 8;
}  // namespace outcode

class clsRect {
 public:
  int32_t mLeft = 0;
  int32_t mTop = 0;
  int32_t mRight = -1;
  int32_t mBottom = -1;

  clsRect() = default;
  clsRect(int32_t sx, int32_t sy, int32_t ex, int32_t ey) { SetAll(sx, sy, ex, ey); }

  // Sums and differences below are overflow-checked (error 6).
  int32_t CenterX() const;
  int32_t CenterY() const;
  int32_t Width() const;
  void Width(int32_t w);  // mRight := mLeft + w - 1
  int32_t Height() const;
  void Height(int32_t h);  // mBottom := mTop + h - 1

  bool IsEmpty() const { return mBottom < mTop || mRight < mLeft; }
  bool IsInner(int32_t px, int32_t py) const {
    return mLeft <= px && px <= mRight && mTop <= py && py <= mBottom;
  }
  // 1 left of, 2 right of, 4 above, 8 below; 0 inside or on the border.
  int16_t OutCode(int32_t px, int32_t py) const;

  void Clear();  // back to (0, 0, -1, -1)
  void SetAll(int32_t sx, int32_t sy, int32_t ex, int32_t ey);
  clsRect Copy() const;
  // Keeps the corners as they are: reversed corners stand for an empty rectangle.
  void Formalize() {}
  // Both update mLeft, mRight, mTop, mBottom in that order and stop at the first overflow.
  void Move(int32_t dx, int32_t dy);
  void Extention(int32_t n);
  void OpeOr(const clsRect& oRect);   // union; nothing changes when either one is empty
  void OpeAnd(const clsRect& oRect);  // intersection; an empty result is Clear()ed

  // Rectangle(mLeft, mTop, mRight + 2, mBottom + 2) unless empty (then no call and False).
  bool Draw(DrawingSurface& handle) const;

  bool operator==(const clsRect&) const = default;
};

}  // namespace picmap
