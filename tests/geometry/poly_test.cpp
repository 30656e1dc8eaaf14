#include <gtest/gtest.h>

#include "geometry/clsPoly.h"
#include "geometry_helpers.h"

namespace picmap {
namespace {
using testing::CaughtError;
using testing::ErrorNumber;
using testing::MakePoly;
using testing::PointsOf;
using testing::Pts;

TEST(Poly, NewListIsEmptyAndUnmodified) {
  clsPoly p;
  EXPECT_EQ(p.Count(), 0);
  EXPECT_FALSE(p.Modify());
  EXPECT_FALSE(p.IsLoop());
  EXPECT_EQ(p.Area(), 0.0);
  EXPECT_TRUE(p.RectBound().IsEmpty());
  EXPECT_FALSE(p.IsHorizontal());
  EXPECT_FALSE(p.IsOverlapArea(clsRect(-5, -5, 5, 5)));
  EXPECT_NE(p.Data(), nullptr);
}

TEST(Poly, ResizingKeepsPointsAndClampsTheCount) {
  clsPoly p = MakePoly({{1, 2}, {3, 4}});
  p.Modify(false);
  p.Count(4);
  EXPECT_EQ(PointsOf(p), (Pts{{1, 2}, {3, 4}, {0, 0}, {0, 0}}));
  EXPECT_EQ(p.Flags(), clsPoly::kModified);
  p.Count(1);
  p.Count(3);  // slots given up and taken back are (0, 0) again
  EXPECT_EQ(PointsOf(p), (Pts{{1, 2}, {0, 0}, {0, 0}}));
  p.Count(-5);
  EXPECT_EQ(p.Count(), 0);
  p.Count(300000000);
  EXPECT_EQ(p.Count(), clsPoly::MaxCount());
  EXPECT_EQ(p.y(clsPoly::MaxCount()), 0);
  p.Count(0);
}

TEST(Poly, IndexesOutsideTheListAreSubscriptErrors) {
  clsPoly p = MakePoly({{1, 2}, {3, 4}});
  p.Modify(false);
  EXPECT_EQ(ErrorNumber([&] { p.x(0); }), err::kSubscript);
  EXPECT_EQ(ErrorNumber([&] { p.SetXandY(3, 0, 0); }), err::kSubscript);
  EXPECT_EQ(ErrorNumber([&] { p.LineWidth(2); }), err::kSubscript);
  EXPECT_FALSE(p.Modify());
  clsPoly empty;
  EXPECT_EQ(ErrorNumber([&] { empty.LastX(); }), err::kSubscript);
  EXPECT_EQ(ErrorNumber([&] { empty.SetLastXandY(1, 1); }), err::kSubscript);
  EXPECT_EQ(p.LineWidth(1), 2);
  EXPECT_EQ(p.LineHeight(1), 2);
  EXPECT_EQ(ErrorNumber([] { MakePoly({{INT32_MIN, 0}, {1, 0}}).LineWidth(1); }), err::kOverflow);
}

TEST(Poly, LoopNeedsFourPointsAndAClosingPoint) {
  EXPECT_TRUE(MakePoly({{0, 0}, {10, 0}, {10, 10}, {0, 0}}).IsLoop());
  EXPECT_FALSE(MakePoly({{0, 0}, {10, 0}, {0, 0}}).IsLoop());
  EXPECT_FALSE(MakePoly({{0, 0}, {10, 0}, {10, 10}, {0, 1}}).IsLoop());
}

TEST(Poly, AreaIgnoresOrientationAndClosingPoint) {
  EXPECT_EQ(MakePoly({{0, 0}, {10, 0}, {10, 10}, {0, 10}}).Area(), 100.0);
  EXPECT_EQ(MakePoly({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}).Area(), 100.0);
  EXPECT_EQ(MakePoly({{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}).Area(), 100.0);
  EXPECT_EQ(MakePoly({{0, 0}, {4, 0}, {0, 3}}).Area(), 6.0);
  EXPECT_EQ(ErrorNumber([] { MakePoly({{INT32_MIN, 0}, {1, 0}, {2, 2}}).Area(); }), err::kOverflow);
}

TEST(Poly, HorizontalTestValidatesTheBoundsCache) {
  clsPoly p;
  for (int i = 1; i <= 25; ++i) p.AddXandY(i, i == 22 ? 8 : 7);
  EXPECT_FALSE(p.IsHorizontal());
  EXPECT_TRUE(p.IsBoundValid());  // the full scan was needed: point 22 lies past the quick look
  p.SetXandY(22, 22, 7);
  EXPECT_FALSE(p.IsBoundValid());
  EXPECT_TRUE(p.IsHorizontal());
  EXPECT_TRUE(p.IsBoundValid());
  EXPECT_FALSE(p.IsVertical());
  p.SetXandY(3, 3, 9);
  EXPECT_FALSE(p.IsHorizontal());
  EXPECT_FALSE(p.IsBoundValid());  // answered by the quick look
  EXPECT_TRUE(MakePoly({{4, 1}, {4, 9}}).IsVertical());
  EXPECT_FALSE(MakePoly({{4, 1}}).IsVertical());
}

TEST(Poly, BoundsFollowChangesOfThePoints) {
  clsPoly p = MakePoly({{0, 0}, {10, 10}, {5, -3}});
  EXPECT_EQ(p.RectBound(), clsRect(0, -3, 10, 10));
  EXPECT_TRUE(p.IsBoundValid());
  p.SetLastXandY(20, 30);
  EXPECT_TRUE(p.Modify());
  EXPECT_FALSE(p.IsBoundValid());
  EXPECT_EQ(p.RectBound(), clsRect(0, 0, 20, 30));
  int32_t sx, sy, ex, ey;
  p.GetBound4(sx, sy, ex, ey);
  EXPECT_EQ((Pts{{sx, sy}, {ex, ey}}), (Pts{{0, 0}, {20, 30}}));
  p.Count(0);  // an emptied list does not report the bounds of its former points
  p.GetBound4(sx, sy, ex, ey);
  EXPECT_EQ((Pts{{sx, sy}, {ex, ey}}), (Pts{{0, 0}, {0, 0}}));
}

TEST(Poly, ModifyLetResetsTheWholeFlagWord) {
  clsPoly p = MakePoly({{0, 0}, {1, 1}});
  p.RectBound();
  EXPECT_EQ(p.Flags(), clsPoly::kModified | clsPoly::kBoundValid);
  p.Modify(false);
  EXPECT_EQ(p.Flags(), 0);
  p.SetBound4(0, 0, 1, 1);
  p.Modify(true);
  EXPECT_EQ(p.Flags(), clsPoly::kModified);
}

TEST(Poly, OverlapCountsTouchingEdges) {
  clsPoly p = MakePoly({{0, 0}, {10, 10}});
  EXPECT_TRUE(p.IsOverlapArea(clsRect(10, 10, 20, 20)));
  EXPECT_FALSE(p.IsOverlapArea(clsRect(11, 0, 20, 20)));
  EXPECT_FALSE(p.IsOverlapArea(clsRect(0, -5, 10, -1)));
}

TEST(Poly, MatchComparesEveryPoint) {
  EXPECT_TRUE(clsPoly().IsMatch(clsPoly()));
  const clsPoly a = MakePoly({{1, 2}, {3, 4}});
  EXPECT_TRUE(a.IsMatch(MakePoly({{1, 2}, {3, 4}})));
  EXPECT_FALSE(a.IsMatch(MakePoly({{1, 2}, {3, 5}})));
  EXPECT_FALSE(a.IsMatch(MakePoly({{1, 2}})));
}

TEST(Poly, CopyIsIndependentAndKeepsValidBounds) {
  clsPoly p = MakePoly({{0, 0}, {5, 7}, {-2, 3}});
  p.RectBound();
  auto c = p.Copy();
  EXPECT_TRUE(c->IsMatch(p));
  EXPECT_TRUE(c->IsBoundValid());
  EXPECT_TRUE(c->Modify());
  EXPECT_EQ(c->RectBound(), clsRect(-2, 0, 5, 7));
  c->SetXandY(1, 100, 100);
  EXPECT_EQ(p.x(1), 0);
  p.Modify(false);
  EXPECT_FALSE(p.Copy()->IsBoundValid());
  EXPECT_EQ(clsPoly().Copy()->Count(), 0);
}

TEST(Poly, AddStopsAtMaxCount) {
  clsPoly p;
  p.Count(clsPoly::MaxCount());
  p.Modify(false);
  EXPECT_FALSE(p.AddXandY(1, 1));
  EXPECT_FALSE(p.Modify());
  EXPECT_EQ(p.Count(), clsPoly::MaxCount());
  p.Count(0);
}

TEST(Poly, ArrayCopiesAreCutToWhatTheArraysHold) {
  const Pts src{{1, 1}, {2, 2}, {3, 3}};
  clsPoly p = MakePoly({{9, 9}});
  EXPECT_FALSE(p.FromArray(src, 0, 1, 1));
  EXPECT_FALSE(p.FromArray(src, 4, 1, 1));
  EXPECT_FALSE(p.FromArray(src, 1, 0, 1));
  EXPECT_TRUE(p.FromArray(src, 2, 2, 10));  // grows the list to hold the copy
  EXPECT_EQ(PointsOf(p), (Pts{{9, 9}, {2, 2}, {3, 3}}));

  Pts dst(2, PolyPoint{0, 0});
  EXPECT_FALSE(p.ToArray(dst, 4, 1, 1));
  EXPECT_FALSE(p.ToArray(dst, 1, 3, 1));
  p.Modify(false);
  EXPECT_TRUE(p.ToArray(dst, 2, 2, 5));
  EXPECT_EQ(dst, (Pts{{0, 0}, {2, 2}}));
  EXPECT_FALSE(p.Modify());
}

TEST(Poly, FromArrayOfItsOwnPointsSurvivesGrowing) {
  clsPoly p = MakePoly({{1, 1}, {2, 2}, {3, 3}});
  EXPECT_TRUE(p.FromArray(p.Points(), 1, 4, 3));
  EXPECT_EQ(PointsOf(p), (Pts{{1, 1}, {2, 2}, {3, 3}, {1, 1}, {2, 2}, {3, 3}}));
}

TEST(Poly, ArrayErrorsCarryTheProcedure) {
  clsPoly p;
  const PolyPoint two[2] = {{1, 1}, {2, 2}};  // the second one would land past MaxCount
  const Error e = CaughtError([&] { p.FromArray(two, 1, clsPoly::MaxCount(), 2); });
  EXPECT_EQ(e.Number(), err::kSubscript);
  EXPECT_EQ(e.Source(), u"clsPoly.FromArray/");
  EXPECT_EQ(p.Count(), 0);
}

}  // namespace
}  // namespace picmap
