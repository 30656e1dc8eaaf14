// Thinning of long point lists before a short-form write: the result must be the one of the
// plain tolerance ladder 0.1, 0.11, 0.12, ... even where passes remove nothing.
#include <gtest/gtest.h>

#include <vector>

#include "geometry/clsPoly.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map_helpers.h"
#include "support/errors.h"

namespace picmap {
namespace {

constexpr int32_t kShortFormMax = 65535;

// The ladder run to its end, one pass per step.
void ThinByLadder(clsPoly& p) {
  double t = 0.1;
  while (p.Count() > kShortFormMax) {
    p.CompressB(t, 100);
    t += 0.01;
  }
}

// A zigzag of amplitude 5 and the given step: a middle point's detour is about 2.36 for the
// step 10 (chord 20) and 2.59 for the step 9.
std::shared_ptr<clsPoly> Zigzag(int32_t n, int32_t firstX = 0, int32_t step = 10) {
  auto p = std::make_shared<clsPoly>();
  for (int32_t i = 0; i < n; ++i) p->AddXandY(firstX + i * step, (i % 2) * 5);
  return p;
}

// 1000 points of step 10, then 65000 of step 9. After some two hundred idle passes the ladder
// reaches 2.37, thins the first stretch and fits; a tolerance that jumped past 2.59 would
// thin the second stretch as well.
std::shared_ptr<clsPoly> TwoStepZigzag() {
  auto p = Zigzag(1000);
  p->Connect(Zigzag(65000, 10000, 9));
  return p;
}

std::vector<PolyPoint> PointsOf(const clsPoly& p) {
  return std::vector<PolyPoint>(p.Points().begin(), p.Points().end());
}

TEST(Thinning, SkipsIdlePassesWithTheLadderResult) {
  auto expected = TwoStepZigzag();
  ThinByLadder(*expected);
  clsMapPolyline f;
  f.Poly(TwoStepZigzag());
  const std::string bytes = test::ElementBytes(f, 105);
  EXPECT_EQ(PointsOf(*f.Poly()), PointsOf(*expected));
  EXPECT_GT(f.Poly()->Count(), 65000);  // the second stretch is whole
  EXPECT_LE(f.Poly()->Count(), kShortFormMax);
  EXPECT_EQ(test::FieldAt<uint16_t>(bytes, 10), f.Poly()->Count());
  EXPECT_FALSE(f.Modify());
}

TEST(Thinning, PassesThatRemovePointsAndIdlePassesMixed) {
  // A nearly straight start that the first tolerance thins, then a zigzag that needs more.
  auto build = [] {
    auto p = std::make_shared<clsPoly>();
    for (int32_t i = 0; i < 3000; ++i) p->AddXandY(i, (i / 50) % 2);
    auto rest = Zigzag(65500, 3000);
    p->Connect(rest);
    return p;
  };
  auto expected = build();
  ThinByLadder(*expected);
  clsMapPolygon f;
  f.Poly(build());
  test::ElementBytes(f, 104);
  EXPECT_EQ(PointsOf(*f.Poly()), PointsOf(*expected));
}

TEST(Thinning, ListsThatFitAreLeftAsTheyAre) {
  clsMapPolygon f;
  f.Poly(Zigzag(kShortFormMax));
  const std::vector<PolyPoint> before = PointsOf(*f.Poly());
  test::ElementBytes(f, 105);
  EXPECT_EQ(PointsOf(*f.Poly()), before);
}

TEST(Thinning, StraightListCollapsesToItsEnds) {
  clsMapPolyline f;
  auto p = std::make_shared<clsPoly>();
  for (int32_t i = 0; i < 70000; ++i) p->AddXandY(i * 1000, 7);
  f.Poly(p);
  const std::string bytes = test::ElementBytes(f, 103);
  EXPECT_EQ(PointsOf(*f.Poly()), (std::vector<PolyPoint>{{0, 7}, {69999000, 7}}));
  EXPECT_EQ(bytes.size(), 6u + 2u + 16u);
}

// 200,000 points whose every other point is a spike 10° (36000″) high: no thinning can bring
// it under the short form's limit without flattening spikes, so the write is refused and the
// figure keeps every point.
TEST(Thinning, RefusesWhatWouldFlattenTheShape) {
  clsMapPolyline f;
  auto p = std::make_shared<clsPoly>();
  for (int32_t i = 0; i < 200000; ++i) p->AddXandY(i * 10, (i % 2) * 36000);
  f.Poly(p);
  const std::vector<PolyPoint> before = PointsOf(*f.Poly());
  try {
    test::ElementBytes(f, 104);
    FAIL() << "thinned to " << f.Poly()->Count() << " points";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kMapElement);
    EXPECT_NE(e.Description().find(u"Points:200000"), std::u16string::npos);
  }
  EXPECT_EQ(PointsOf(*f.Poly()), before);
}

}  // namespace
}  // namespace picmap
