#include <gtest/gtest.h>

#include <cmath>

#include "geometry/clsLine.h"
#include "geometry/clsRect.h"
#include "geometry_helpers.h"

namespace picmap {
namespace {
using testing::ErrorNumber;

TEST(Rect, NewRectangleIsEmptyWithZeroExtent) {
  clsRect r;
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(r.Width(), 0);
  EXPECT_EQ(r.Height(), 0);
}

TEST(Rect, ReversedCornersAreKeptAndEmpty) {
  clsRect r;
  r.SetAll(10, 10, 0, 0);
  r.Formalize();
  EXPECT_EQ(r, clsRect(10, 10, 0, 0));
  EXPECT_EQ(r.mLeft, 10);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_TRUE(r.Copy().IsEmpty());
}

TEST(Rect, OutCodesAndInnerTest) {
  const clsRect r(0, 0, 9, 9);
  EXPECT_EQ(r.OutCode(-1, 5), 1);
  EXPECT_EQ(r.OutCode(10, 10), 10);
  EXPECT_EQ(r.OutCode(-1, -1), 5);
  EXPECT_EQ(r.OutCode(5, 5), 0);
  EXPECT_EQ(r.OutCode(9, 9), 0);
  EXPECT_TRUE(r.IsInner(0, 9));
  EXPECT_FALSE(r.IsInner(10, 0));
}

TEST(Rect, CentreTruncatesTowardZeroAndSizesAreInclusive) {
  clsRect r(-3, 0, 0, 0);
  EXPECT_EQ(r.CenterX(), -1);
  r.mLeft = 5;
  r.Width(10);
  EXPECT_EQ(r.mRight, 14);
  r.Height(3);
  EXPECT_EQ(r.mBottom, 2);
  EXPECT_EQ(r.Height(), 3);
}

TEST(Rect, UnionAndIntersectionIgnoreEmptyRectangles) {
  clsRect r(0, 0, 9, 9);
  r.OpeOr(clsRect(5, 5, 20, 20));
  EXPECT_EQ(r, clsRect(0, 0, 20, 20));
  r = clsRect(0, 0, 9, 9);
  r.OpeOr(clsRect());
  EXPECT_EQ(r, clsRect(0, 0, 9, 9));
  r.OpeAnd(clsRect(5, 5, 20, 20));
  EXPECT_EQ(r, clsRect(5, 5, 9, 9));
  r = clsRect(0, 0, 9, 9);
  r.OpeAnd(clsRect());
  EXPECT_EQ(r, clsRect(0, 0, 9, 9));
  r.OpeAnd(clsRect(20, 20, 30, 30));
  EXPECT_EQ(r, clsRect(0, 0, -1, -1));
}

TEST(Rect, MoveAndExtentionStopAtTheFirstOverflow) {
  clsRect r(0, 0, 9, 9);
  r.Extention(-2);
  EXPECT_EQ(r, clsRect(2, 2, 7, 7));
  r = clsRect(0, 0, 2147483640, 9);
  EXPECT_EQ(ErrorNumber([&] { r.Move(10, 1); }), err::kOverflow);
  EXPECT_EQ(r, clsRect(10, 0, 2147483640, 9));  // mLeft moved, mRight failed, rest untouched
  EXPECT_EQ(ErrorNumber([] { clsRect(INT32_MIN, 0, INT32_MAX, 0).Width(); }), err::kOverflow);
}

TEST(Line, NewSegmentAndMeasures) {
  clsLine l;
  EXPECT_EQ(l.DeltaX(), 0);
  EXPECT_EQ(l.Width(), 1);
  EXPECT_EQ(l.Length(), 0.0);
  EXPECT_TRUE(l.IsSlant());
  l.SetAll(0, 0, 10, 5);
  EXPECT_EQ(l.Width(), 11);
  EXPECT_EQ(l.Height(), 6);
  EXPECT_TRUE(l.IsSlant());
  EXPECT_DOUBLE_EQ(l.Length(), std::sqrt(125.0));
  l.SetAll(0, 0, 3, -10);
  EXPECT_FALSE(l.IsSlant());
  EXPECT_EQ(ErrorNumber([] { clsLine(INT32_MIN, 0, 1, 0).DeltaX(); }), err::kOverflow);
}

TEST(Line, AngleFollowsTheDirection) {
  EXPECT_NEAR(clsLine(0, 0, 0, 5).Angle(), 1.5707963267949, 1e-12);
  EXPECT_NEAR(clsLine(3, 3, 1, 3).Angle(), -3.14159265358979, 1e-12);
}

TEST(Line, CrossingsRoundHalfToEven) {
  const clsLine l(0, 0, 10, 5);
  EXPECT_EQ(l.CrossY(4), 2);
  EXPECT_EQ(l.CrossX(3), 6);
  EXPECT_EQ(clsLine(0, 0, 0, 10).CrossY(5), INT32_MIN);
  EXPECT_EQ(clsLine(0, 0, 10, 0).CrossX(5), INT32_MIN);
  const clsLine half(0, 0, 4, 2);
  EXPECT_EQ(half.CrossY(1), 0);
  EXPECT_EQ(half.CrossY(3), 2);
  // Far outside the segment the result saturates instead of overflowing.
  EXPECT_EQ(clsLine(0, 0, 1, 1000).CrossY(2147483647), 2147483647);
  EXPECT_EQ(clsLine(0, 0, 1, -1000).CrossY(2147483647), -2147483647);
}

TEST(Line, ClippingToARectangle) {
  const clsRect r(0, 0, 9, 9);
  clsLine l(-10, 5, 20, 5);
  EXPECT_TRUE(l.Clip(r));
  EXPECT_EQ(l, clsLine(0, 5, 9, 5));
  l.SetAll(-10, -10, -1, 20);
  EXPECT_FALSE(l.Clip(r));
  l.SetAll(2, 2, 5, 5);
  EXPECT_TRUE(l.Clip(r));
  EXPECT_EQ(l, clsLine(2, 2, 5, 5));
  l.SetAll(5, -5, 5, 50);  // vertical, both ends moved
  EXPECT_TRUE(l.Clip(r));
  EXPECT_EQ(l, clsLine(5, 0, 5, 9));
  l.SetAll(-5, 4, 4, -5);  // passes just outside the corner
  EXPECT_FALSE(l.Clip(r));
}

TEST(Line, ClippingEndsInsideOrRejectsForManyDirections) {
  const clsRect r(0, 0, 99, 49);
  for (int a = -300; a <= 300; a += 7) {
    for (int b = -300; b <= 300; b += 11) {
      clsLine l(a, -200, b, 250);
      if (l.Clip(r)) {
        EXPECT_TRUE(r.IsInner(l.mSx, l.mSy) && r.IsInner(l.mEx, l.mEy)) << a << " " << b;
      }
    }
  }
}

}  // namespace
}  // namespace picmap
