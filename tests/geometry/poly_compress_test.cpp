#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "geometry/clsPoly.h"
#include "geometry_helpers.h"

namespace picmap {
namespace {
using testing::CaughtError;
using testing::ErrorNumber;
using testing::MakePoly;
using testing::PointsOf;
using testing::Pts;

TEST(CompressB, DropsPointsWithASmallDetour) {
  clsPoly p = MakePoly({{0, 0}, {10, 0}, {20, 1}, {30, 0}, {40, 0}, {40, 10}});
  p.Modify(false);
  p.CompressB(0.1, 100);
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {40, 0}, {40, 10}}));
  EXPECT_TRUE(p.Modify());
}

TEST(CompressB, ChordLimitKeepsPoints) {
  clsPoly p = MakePoly({{0, 0}, {10, 0}, {20, 0}, {30, 0}, {30, 10}});
  p.Modify(false);
  p.CompressB(0, 15);
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {10, 0}, {20, 0}, {30, 0}, {30, 10}}));
  EXPECT_FALSE(p.Modify());  // nothing was deleted
}

TEST(CompressB, StraightListsCollapseToTheirEnds) {
  clsPoly left = MakePoly({{5, 0}, {3, 0}, {9, 0}, {1, 0}});
  left.CompressB(0, 0);
  EXPECT_EQ(PointsOf(left), (Pts{{9, 0}, {1, 0}}));
  clsPoly right = MakePoly({{1, 0}, {3, 0}, {9, 0}, {5, 0}});
  right.CompressB(0, 0);
  EXPECT_EQ(PointsOf(right), (Pts{{1, 0}, {9, 0}}));
  clsPoly down = MakePoly({{2, 1}, {2, 8}, {2, 3}, {2, 5}});
  down.CompressB(0, 0);
  EXPECT_EQ(PointsOf(down), (Pts{{2, 1}, {2, 8}}));
  clsPoly flatLoop = MakePoly({{0, 4}, {6, 4}, {3, 4}, {0, 4}});
  flatLoop.CompressB(0, 0);
  EXPECT_EQ(PointsOf(flatLoop), (Pts{{6, 4}, {0, 4}}));
  clsPoly same = MakePoly({{7, 7}, {7, 7}, {7, 7}, {7, 7}});
  same.CompressB(0, 0);
  EXPECT_EQ(PointsOf(same), (Pts{{7, 7}, {7, 7}}));
}

TEST(CompressB, ShortListsAndLoopEnds) {
  clsPoly three = MakePoly({{0, 0}, {5, 0}, {10, 0}});
  three.CompressB(100, 100);
  EXPECT_EQ(three.Count(), 3);
  clsPoly loop = MakePoly({{0, 0}, {10, 0}, {10, 1}, {0, 0}});
  loop.CompressB(1, 100);
  EXPECT_EQ(PointsOf(loop), (Pts{{0, 0}, {10, 1}, {0, 0}}));
}

TEST(CompressB, LaterPassesRetestAroundDeletions) {
  // Every middle point is on the chord of its neighbours; the first pass can only drop
  // every other one, the following passes finish the job.
  clsPoly p;
  for (int i = 0; i <= 64; ++i) p.AddXandY(i, i);
  p.AddXandY(64, 0);
  p.CompressB(0, 1000);
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {64, 64}, {64, 0}}));
}

// The thinning rule applied literally, one erase per deletion.
Pts ThinLiterally(Pts v, double dif, double limit) {
  const auto dist = [](PolyPoint a, PolyPoint b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    return std::sqrt(dx * dx + dy * dy);
  };
  const auto removable = [&](int32_t j) {  // 1-based j, tests the point after it
    if (j < 1 || j > int32_t(v.size()) - 2) return false;
    const PolyPoint p = v[j - 1], m = v[j], q = v[j + 1];
    const double c = dist(p, q);
    const double e = dist(q, m) + dist(m, p) - c;
    return c <= limit && !(e > 0 && e > dif);
  };
  int32_t start = 1, end = int32_t(v.size()) - 2;
  for (;;) {
    int32_t lastHit = 0;
    for (int32_t j = start; j <= end; ++j) {
      if (!removable(j)) continue;
      v.erase(v.begin() + j);
      --end;
      if (lastHit == 0 && j > 1) start = j - 1;
      lastHit = j;
    }
    end = lastHit;
    if (lastHit == 0) return v;
  }
}

TEST(CompressB, AgreesWithTheLiteralRuleOnNoisyLines) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int32_t> step(-4, 4);
  for (int round = 0; round < 40; ++round) {
    clsPoly p;
    int32_t y = 0;
    for (int32_t i = 0; i < 300; ++i) p.AddXandY(i * 3, y += step(gen));
    const double dif = round % 5, limit = 10.0 + 7 * round;
    const Pts expected = ThinLiterally(PointsOf(p), dif, limit);
    p.CompressB(dif, limit);
    EXPECT_EQ(PointsOf(p), expected) << "round " << round;
  }
}

TEST(CompressB, OverflowIsReportedAndDeletionsStay) {
  clsPoly p = MakePoly({{0, 0}, {1, 0}, {2, 0}, {3, 1}, {INT32_MIN, 5}, {0, 9}});
  p.RectBound();
  const Error e = CaughtError([&] { p.CompressB(0, 1e12); });
  EXPECT_EQ(e.Number(), err::kOverflow);
  EXPECT_EQ(e.Source(), u"clsPoly.CompressB/");
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {2, 0}, {3, 1}, {INT32_MIN, 5}, {0, 9}}));
  EXPECT_FALSE(p.IsBoundValid());
}

TEST(CompressHalf, OpenListsKeepTheirEnds) {
  clsPoly p = MakePoly({{0, 0}, {3, 0}, {6, 0}, {9, 3}, {9, 6}, {9, 9}});
  p.CompressHalf();
  EXPECT_EQ(PointsOf(p), (Pts{{0, 0}, {6, 1}, {9, 9}}));
  clsPoly four = MakePoly({{0, 0}, {1, 5}, {2, 5}, {3, 0}});
  four.CompressHalf();
  EXPECT_EQ(PointsOf(four), (Pts{{0, 0}, {3, 0}}));
  clsPoly neg = MakePoly({{0, 0}, {-1, 0}, {-1, 0}, {0, 0}, {5, 5}});
  neg.CompressHalf();
  EXPECT_EQ(neg.GetPoint(2), (PolyPoint{0, 0}));  // -2 / 3 truncates toward zero
}

TEST(CompressHalf, LoopsAreAveragedAndClosedAgain) {
  clsPoly p = MakePoly({{0, 0}, {6, 0}, {6, 6}, {3, 9}, {0, 6}, {0, 0}});
  p.CompressHalf();
  EXPECT_EQ(PointsOf(p), (Pts{{4, 2}, {3, 7}, {0, 3}, {4, 2}}));
  clsPoly square = MakePoly({{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 0}});
  square.CompressHalf();
  EXPECT_EQ(PointsOf(square), (Pts{{4, 2}, {2, 4}}));
}

TEST(CompressHalf, OverflowLeavesTheListUnchanged) {
  clsPoly p = MakePoly({{0, 0}, {2147483647, 0}, {1, 0}, {5, 5}, {6, 6}});
  p.Modify(false);
  EXPECT_EQ(ErrorNumber([&] { p.CompressHalf(); }), err::kOverflow);
  EXPECT_EQ(p.Count(), 5);
  EXPECT_FALSE(p.Modify());
}

}  // namespace
}  // namespace picmap
