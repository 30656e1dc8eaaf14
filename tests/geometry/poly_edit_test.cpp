#include <gtest/gtest.h>

#include <cmath>

#include "geometry/clsPoly.h"
#include "geometry_helpers.h"

namespace picmap {
namespace {
using testing::CaughtError;
using testing::ErrorNumber;
using testing::MakePoly;
using testing::PointsOf;
using testing::Pts;

TEST(PolyEdit, InsertBeforeAnExistingPointOnly) {
  clsPoly p = MakePoly({{0, 0}, {1, 1}});
  EXPECT_FALSE(p.InsXandY(3, 5, 5));
  EXPECT_FALSE(p.InsXandY(0, 5, 5));
  EXPECT_TRUE(p.InsXandY(1, 5, 5));
  EXPECT_TRUE(p.InsPoint(3, {7, 7}));
  EXPECT_EQ(PointsOf(p), (Pts{{5, 5}, {0, 0}, {7, 7}, {1, 1}}));
}

TEST(PolyEdit, DeleteMovesTheFollowingPointsDown) {
  clsPoly p = MakePoly({{1, 0}, {2, 0}, {3, 0}});
  EXPECT_FALSE(p.Del(0));
  EXPECT_FALSE(p.Del(4));
  EXPECT_TRUE(p.Del(2));
  EXPECT_EQ(PointsOf(p), (Pts{{1, 0}, {3, 0}}));
  EXPECT_TRUE(p.Del(2));
  EXPECT_TRUE(p.Del(1));
  EXPECT_EQ(p.Count(), 0);
  EXPECT_TRUE(p.Modify());
}

TEST(PolyEdit, LinesRectanglesAndLoops) {
  clsPoly p;
  p.SetRect(0, 0, 10, 5);
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {10, 0}, {10, 5}, {0, 5}, {0, 0}}));
  EXPECT_TRUE(p.IsLoop());
  p.MakeLoop();
  EXPECT_EQ(p.Count(), 5);
  p.SetLine(0, 0, 5, 0);
  p.MakeLoop();
  EXPECT_EQ(p.Count(), 2);
  p.AddXandY(5, 5);
  p.MakeLoop();
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {5, 0}, {5, 5}, {0, 0}}));
  clsPoly three = MakePoly({{0, 0}, {5, 0}, {0, 0}});
  three.MakeLoop();
  EXPECT_TRUE(three.IsLoop());
  EXPECT_EQ(three.Count(), 4);
}

TEST(PolyEdit, MoveOverflowLeavesNoStaleBounds) {
  clsPoly p = MakePoly({{0, 0}, {2147483600, 0}});
  p.RectBound();
  EXPECT_EQ(ErrorNumber([&] { p.Move(100, 1); }), err::kOverflow);
  EXPECT_EQ(p.GetPoint(1), (PolyPoint{100, 1}));
  EXPECT_FALSE(p.IsBoundValid());
  EXPECT_EQ(p.RectBound(), clsRect(100, 0, 2147483600, 1));
}

TEST(PolyEdit, ConnectStoresASharedJointOnce) {
  clsPoly p = MakePoly({{0, 0}, {5, 0}});
  const clsPoly joined = MakePoly({{5, 0}, {5, 5}});
  EXPECT_TRUE(p.Connect(&joined));
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {5, 0}, {5, 5}}));
  clsPoly q = MakePoly({{0, 0}, {5, 0}});
  const clsPoly apart = MakePoly({{6, 0}, {6, 6}});
  EXPECT_TRUE(q.Connect(&apart));
  EXPECT_EQ(q.Count(), 4);
  EXPECT_EQ(apart.Count(), 2);
  const clsPoly empty;
  EXPECT_FALSE(q.Connect(&empty));
  EXPECT_FALSE(q.Connect(static_cast<const clsPoly*>(nullptr)));
  EXPECT_TRUE(q.Connect(&q));  // with itself: the points once more
  EXPECT_EQ(q.Count(), 8);
  clsPoly into;
  EXPECT_TRUE(into.Connect(&apart));
  EXPECT_TRUE(into.IsMatch(apart));
}

TEST(PolyEdit, DivideSharesThePointItSplitsAt) {
  clsPoly p = MakePoly({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}});
  auto rest = p.Divide(3);
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {1, 0}, {2, 0}}));
  EXPECT_EQ(PointsOf(*rest), (Pts{{2, 0}, {3, 0}, {4, 0}}));
  clsPoly two = MakePoly({{0, 0}, {1, 0}});
  EXPECT_EQ(two.Divide(2)->Count(), 0);
  EXPECT_EQ(two.Count(), 2);
  EXPECT_EQ(p.Divide(4)->Count(), 0);
}

TEST(PolyEdit, ChopSubdividesLongSegments) {
  clsPoly p = MakePoly({{0, 0}, {10, 0}, {10, 3}});
  EXPECT_TRUE(p.Chop(3, 1));
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {2, 0}, {5, 0}, {8, 0}, {10, 0}, {10, 3}}));
  clsPoly q = MakePoly({{0, 0}, {10, 5}});
  EXPECT_TRUE(q.Chop(4, 3));
  EXPECT_EQ(PointsOf(q), (Pts{{0, 0}, {3, 2}, {7, 3}, {10, 5}}));
  clsPoly r = MakePoly({{0, 0}, {7, 0}});
  EXPECT_TRUE(r.Chop(2, 2));
  EXPECT_EQ(r.Count(), 2);
  EXPECT_FALSE(r.Chop(1, 1));
  EXPECT_FALSE(r.Chop(5, 4));
}

TEST(PolyEdit, ChopKeepsValidBoundsAndMarksModified) {
  clsPoly p = MakePoly({{0, 0}, {-10, 20}});
  p.RectBound();
  p.Modify(false);
  p.SetBound4(-10, 0, 0, 20);
  EXPECT_TRUE(p.Chop(5, 3));
  EXPECT_EQ(p.Count(), 5);
  EXPECT_EQ(p.Flags(), clsPoly::kModified | clsPoly::kBoundValid);
  EXPECT_EQ(p.GetPoint(3), (PolyPoint{-5, 10}));
}

TEST(PolyEdit, ChopStopsBeforeMaxCount) {
  // A pitch of 8 across the whole 32-bit range would need 2^28 pieces: the segments before
  // it are chopped, the rest is kept as it is, and the list stays valid.
  clsPoly p = MakePoly({{0, 0}, {20, 0}, {2147483647, 0}, {2147483647, 30}});
  EXPECT_FALSE(p.Chop(8, 3));
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {7, 0}, {13, 0}, {20, 0}, {2147483647, 0}, {2147483647, 30}}));
  EXPECT_TRUE(p.Modify());
  const Error e = CaughtError([] { MakePoly({{INT32_MIN, 0}, {1, 0}}).Chop(2, 1); });
  EXPECT_EQ(e.Number(), err::kOverflow);
  EXPECT_EQ(e.Source(), u"clsPoly.Chop/");
}

TEST(PolyClip, ClosedSquareStaysClosed) {
  clsPoly p = MakePoly({{0, 0}, {20, 0}, {20, 20}, {0, 20}, {0, 0}});
  EXPECT_TRUE(p.Clip(clsRect(5, 5, 30, 30)));
  EXPECT_EQ(PointsOf(p), (Pts{{20, 5}, {20, 20}, {5, 20}, {5, 5}, {20, 5}}));
  EXPECT_TRUE(p.IsLoop());
}

TEST(PolyClip, OpenLinesAreCutAtTheCrossings) {
  clsPoly p = MakePoly({{0, 0}, {20, 20}});
  EXPECT_TRUE(p.Clip(clsRect(5, 0, 30, 30)));
  EXPECT_EQ(PointsOf(p), (Pts{{5, 5}, {20, 20}}));
  clsPoly out = MakePoly({{0, 0}, {4, 4}});
  EXPECT_FALSE(out.Clip(clsRect(5, 5, 30, 30)));
  EXPECT_EQ(out.Count(), 0);
  clsPoly zigzag = MakePoly({{0, 0}, {10, 10}, {0, 20}, {10, 30}});
  EXPECT_TRUE(zigzag.Clip(clsRect(5, -100, 100, 100)));
  EXPECT_EQ(PointsOf(zigzag), (Pts{{5, 5}, {10, 10}, {5, 15}, {5, 25}, {10, 30}}));
}

TEST(PolyClip, InsideListsAreLeftAloneAndCrossingsRoundToEven) {
  clsPoly inside = MakePoly({{1, 1}, {2, 2}});
  inside.Modify(false);
  EXPECT_TRUE(inside.Clip(clsRect(0, 0, 9, 9)));
  EXPECT_FALSE(inside.Modify());
  clsPoly p = MakePoly({{0, 0}, {4, 1}, {8, 6}});  // crossings at y 0.5 and 1 + 2.5
  EXPECT_TRUE(p.Clip(clsRect(2, -10, 6, 10)));
  EXPECT_EQ(PointsOf(p), (Pts{{2, 0}, {4, 1}, {6, 3}}));
  clsPoly empty;
  EXPECT_FALSE(empty.Clip(clsRect(-1, -1, 1, 1)));
}

TEST(PolyClip, LoopCrossingEverySideHasAllPointsInside) {
  clsPoly p;
  for (int i = 0; i < 360; i += 5)  // a star poking out of every side
    p.AddXandY(static_cast<int32_t>(std::lround((i % 10 ? 60 : 30) * std::cos(i * M_PI / 180))),
               static_cast<int32_t>(std::lround((i % 10 ? 60 : 30) * std::sin(i * M_PI / 180))));
  p.MakeLoop();
  const clsRect r(-40, -35, 45, 38);
  EXPECT_TRUE(p.Clip(r));
  EXPECT_TRUE(p.IsLoop());
  for (const PolyPoint& q : p.Points()) EXPECT_TRUE(r.IsInner(q.x, q.y)) << q.x << "," << q.y;
  EXPECT_EQ(p.RectBound(), r);
}

}  // namespace
}  // namespace picmap
