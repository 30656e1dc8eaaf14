// The outline tracer against GEOS's union: the same regions, rings and holes.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include <ogr_api.h>

#include "ogr/dissolve.h"
#include "ogr/outline_tracer.h"

namespace picmap::ogr {
namespace {

OGRPolygon* Rect(double x0, double y0, double x1, double y1) {
  auto* ring = new OGRLinearRing;
  ring->addPoint(x0, y1);
  ring->addPoint(x1, y1);
  ring->addPoint(x1, y0);
  ring->addPoint(x0, y0);
  ring->addPoint(x0, y1);
  auto* p = new OGRPolygon;
  p->addRingDirectly(ring);
  return p;
}

double Area(const std::vector<std::unique_ptr<OGRPolygon>>& regions) {
  double sum = 0;
  for (const auto& p : regions) sum += p->get_Area();
  return sum;
}

TEST(DissolveTest, RingWithAHoleAndCornerOverlapsAsGeosSeesThem) {
  OGRMultiPolygon parts;
  // A frame round a hole, from four overlapping bars.
  parts.addGeometryDirectly(Rect(0, 0, 10, 2));
  parts.addGeometryDirectly(Rect(0, 8, 10, 10));
  parts.addGeometryDirectly(Rect(0, 1, 2, 9));
  parts.addGeometryDirectly(Rect(8, 1, 10, 9));
  // Two squares overlapping only near a corner join; one merely touching an edge joins too.
  parts.addGeometryDirectly(Rect(20, 0, 23, 3));
  parts.addGeometryDirectly(Rect(22.9, 2.9, 26, 6));
  parts.addGeometryDirectly(Rect(26, 0, 28, 4));
  // A lone square.
  parts.addGeometryDirectly(Rect(40, 40, 41, 41));
  const auto traced = Regions(parts, UnionMethod::Outline);
  const auto geos = Regions(parts, UnionMethod::Geos);
  ASSERT_EQ(traced.size(), 3u);
  ASSERT_EQ(geos.size(), 3u);
  EXPECT_DOUBLE_EQ(Area(traced), Area(geos));
  int holes = 0;
  for (const auto& p : traced) {
    EXPECT_TRUE(p->IsValid());
    holes += p->getNumInteriorRings();
    if (p->getNumInteriorRings() == 1) {
      EXPECT_EQ(p->getExteriorRing()->getNumPoints(), 5);  // collinear corners dropped
      EXPECT_FALSE(p->getExteriorRing()->isClockwise());
      EXPECT_TRUE(p->getInteriorRing(0)->isClockwise());
    }
  }
  EXPECT_EQ(holes, 1);
}

// Whole-number corners: rectangles share edges and touch at corners, inside regions and
// inside holes, the cases where tracing can go wrong.
TEST(DissolveTest, RandomRectanglesGiveGeosRegions) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> at(0, 60), size(1, 8);
    OGRMultiPolygon parts;
    for (int i = 0; i < 300; ++i) {
      const int x = at(random), y = at(random);
      parts.addGeometryDirectly(Rect(x, y, x + size(random), y + size(random)));
    }
    const auto traced = Regions(parts, UnionMethod::Outline);
    const auto geos = Regions(parts, UnionMethod::Geos);
    ASSERT_EQ(traced.size(), geos.size()) << "seed " << seed;
    OGRMultiPolygon a, b;
    for (const auto& p : traced) {
      ASSERT_TRUE(p->IsValid()) << "seed " << seed << ": " << p->exportToWkt();
      a.addGeometry(p.get());
    }
    for (const auto& p : geos) b.addGeometry(p.get());
    std::unique_ptr<OGRGeometry> difference(a.SymDifference(&b));
    ASSERT_TRUE(difference);
    EXPECT_EQ(OGR_G_Area(OGRGeometry::ToHandle(difference.get())), 0.0) << "seed " << seed;
  }
}

TEST(DissolveTest, NonRectanglesGoThroughGeos) {
  OGRMultiPolygon parts;
  parts.addGeometryDirectly(Rect(0, 0, 2, 2));
  auto* triangle = new OGRPolygon;
  auto* ring = new OGRLinearRing;
  ring->addPoint(1, 1);
  ring->addPoint(5, 1);
  ring->addPoint(1, 5);
  ring->addPoint(1, 1);
  triangle->addRingDirectly(ring);
  parts.addGeometryDirectly(triangle);
  const auto regions = Regions(parts, UnionMethod::Outline);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_DOUBLE_EQ(regions[0]->get_Area(), 4 + 8 - 1);
}

}  // namespace
}  // namespace picmap::ogr
