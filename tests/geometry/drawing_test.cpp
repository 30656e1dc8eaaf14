#include <gtest/gtest.h>

#include "geometry/clsLine.h"
#include "geometry/drawing.h"
#include "geometry_helpers.h"

namespace picmap {
namespace {
using testing::ErrorNumber;
using testing::MakePoly;
using testing::Pts;

TEST(Drawing, ListsPassTheirPointsInPlace) {
  RecordingSurface s;
  clsPoly p = MakePoly({{1, 2}, {3, 4}, {1, 2}});
  EXPECT_TRUE(p.DrawPolyline(s));
  EXPECT_TRUE(p.DrawPolygon(s));
  ASSERT_EQ(s.calls.size(), 2u);
  EXPECT_EQ(s.calls[0].name, "Polyline");
  EXPECT_EQ(s.calls[1].name, "Polygon");
  for (const auto& c : s.calls) {
    EXPECT_EQ(c.points, p.Data());
    EXPECT_EQ(c.args, std::vector<int32_t>{3});
    EXPECT_EQ(c.copied, (Pts{{1, 2}, {3, 4}, {1, 2}}));
  }
}

TEST(Drawing, EmptyListPassesACountOfZeroAndTheSurfaceAnswers) {
  RecordingSurface s;
  s.succeed = false;
  EXPECT_FALSE(clsPoly().DrawPolygon(s));
  ASSERT_EQ(s.calls.size(), 1u);
  EXPECT_EQ(s.calls[0].args, std::vector<int32_t>{0});
  EXPECT_NE(s.calls[0].points, nullptr);
}

TEST(Drawing, RectangleReachesTwoPastTheCornersAndEmptyDrawsNothing) {
  RecordingSurface s;
  EXPECT_FALSE(clsRect().Draw(s));
  EXPECT_TRUE(s.calls.empty());
  EXPECT_TRUE(clsRect(0, 0, 9, 9).Draw(s));
  ASSERT_EQ(s.calls.size(), 1u);
  EXPECT_EQ(s.calls[0].name, "Rectangle");
  EXPECT_EQ(s.calls[0].args, (std::vector<int32_t>{0, 0, 11, 11}));
  EXPECT_EQ(ErrorNumber([&] { clsRect(0, 0, 2147483646, 5).Draw(s); }), err::kOverflow);
  EXPECT_EQ(s.calls.size(), 1u);
}

TEST(Drawing, LineMovesThenDrawsAndReportsTheLineCall) {
  RecordingSurface s;
  EXPECT_TRUE(clsLine(1, 2, 3, 4).Draw(s));
  ASSERT_EQ(s.calls.size(), 2u);
  EXPECT_EQ(s.calls[0].name, "MoveTo");
  EXPECT_EQ(s.calls[0].args, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(s.calls[1].name, "LineTo");
  EXPECT_EQ(s.calls[1].args, (std::vector<int32_t>{3, 4}));
  s.succeed = false;
  EXPECT_FALSE(clsLine().Draw(s));
}

}  // namespace
}  // namespace picmap
