// Regions traced from class grids drawn as text: one character per cell, '.' not traced.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "geometry/regions.h"

namespace picmap {
namespace {

struct Grid {
  std::vector<int32_t> cells;
  int32_t w = 0, h = 0;
};

Grid FromRows(const std::vector<std::string>& rows) {
  Grid g;
  g.h = static_cast<int32_t>(rows.size());
  g.w = static_cast<int32_t>(rows[0].size());
  for (const std::string& row : rows)
    for (char c : row) g.cells.push_back(c == '.' ? -1 : c);
  return g;
}

std::vector<TracedRegion> Trace(const Grid& g, double tolerance, TraceCounts* counts = nullptr) {
  return TraceRegions(g.cells, g.w, g.h, tolerance, counts);
}

// The region's area in cells, holes taken off.
double Area(const TracedRegion& r) {
  double a = std::abs(static_cast<double>(DoubleSignedArea(r.outer)));
  for (const Ring& hole : r.holes) a -= std::abs(static_cast<double>(DoubleSignedArea(hole)));
  return a / 2;
}

TEST(TraceRegions, RegionsAreFourConnectedWithTheirHolesAndExactAreas) {
  const Grid g = FromRows({
      "aaaaaa.",
      "abbbba.",
      "ab..ba.",
      "abbbbac",
      "aaaaaca",
  });
  const std::vector<TracedRegion> r = Trace(g, 0);
  // a, b, two c touching only at a corner, then a's cell at the bottom right.
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].cls, 'a');
  EXPECT_EQ(r[0].holes.size(), 0u);  // its ring round b closes only at a corner: no hole
  EXPECT_EQ(r[1].cls, 'b');
  EXPECT_EQ(r[1].holes.size(), 1u);
  EXPECT_EQ(r[2].cls, 'c');
  EXPECT_EQ(r[3].cls, 'c');
  EXPECT_EQ(r[4].cls, 'a');
  EXPECT_EQ(r[4].firstCell, 4 * 7 + 6);
  for (const TracedRegion& region : r) EXPECT_EQ(Area(region), region.cells);
  EXPECT_EQ(r[1].outer.size(), 5u);  // only the corners where the border turns
}

TEST(TraceRegions, ACheckerboardGivesOneRegionPerCell) {
  const std::vector<TracedRegion> r = Trace(FromRows({"ab", "ba"}), 0);
  ASSERT_EQ(r.size(), 4u);
  for (const TracedRegion& region : r) {
    EXPECT_EQ(region.outer.size(), 5u);
    EXPECT_EQ(Area(region), 1);
  }
}

// A staircase border between two regions: simplified once for both, it stays one border.
TEST(TraceRegions, NeighboursShareTheSimplifiedBorder) {
  std::vector<std::string> rows;
  for (int y = 0; y < 40; ++y) rows.push_back(std::string(y + 1, 'a') + std::string(60 - y - 1, 'b'));
  const Grid g = FromRows(rows);
  const std::vector<TracedRegion> exact = Trace(g, 0), simple = Trace(g, 1.5);
  ASSERT_EQ(simple.size(), 2u);
  EXPECT_LT(simple[0].outer.size(), exact[0].outer.size() / 4);
  EXPECT_EQ(Area(simple[0]) + Area(simple[1]), 40 * 60);
  // Every point of a's ring that lies inside the grid is one of b's.
  for (const PolyPoint& p : simple[0].outer) {
    if (p.x == 0 || p.y == 0 || p.y == 40) continue;
    EXPECT_NE(std::find(simple[1].outer.begin(), simple[1].outer.end(), p), simple[1].outer.end())
        << p.x << "," << p.y;
  }
}

// Whether two segments cross or touch anywhere but at an end both share (brute force).
bool Meet(PolyPoint a, PolyPoint b, PolyPoint c, PolyPoint d) {
  auto cross = [](PolyPoint o, PolyPoint p, PolyPoint q) {
    return int64_t{p.x - o.x} * (q.y - o.y) - int64_t{p.y - o.y} * (q.x - o.x);
  };
  auto on = [&](PolyPoint p, PolyPoint s, PolyPoint t) {
    return cross(s, t, p) == 0 && std::min(s.x, t.x) <= p.x && p.x <= std::max(s.x, t.x) &&
           std::min(s.y, t.y) <= p.y && p.y <= std::max(s.y, t.y);
  };
  const bool shared = a == c || a == d || b == c || b == d;
  if (shared) {
    const PolyPoint o = (a == c || a == d) ? a : b, p = o == a ? b : a, q = o == c ? d : c;
    return cross(o, p, q) == 0 && int64_t{p.x - o.x} * (q.x - o.x) + int64_t{p.y - o.y} * (q.y - o.y) > 0;
  }
  const int64_t d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
    return true;
  return on(a, c, d) || on(b, c, d) || on(c, a, b) || on(d, a, b);
}

// Speckled regions simplified hard, and then smoothed: some arcs would cross, and are kept
// finer (or keep their corners); no region collapses, the areas still add up to the grid,
// and no two borders cross.
TEST(TraceRegions, SimplifiedAndSmoothedBordersNeverCrossNorLetARegionCollapse) {
  std::vector<std::string> rows(48, std::string(48, 'a'));
  uint32_t seed = 7;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) {
      rows[y][x] = (x + y / 3) % 16 < 8 ? 'a' : 'b';
      if (next() % 7 == 0) rows[y][x] = 'c';
    }
  for (bool smooth : {false, true}) {
    TraceCounts counts;
    const std::vector<TracedRegion> r = TraceRegions(FromRows(rows).cells, 48, 48, 3, &counts, smooth);
    EXPECT_GT(counts.arcsKeptFiner, 0);
    const int32_t u = counts.unitsPerCell;
    EXPECT_EQ(u, smooth ? 4 : 1);
    double total = 0;
    std::vector<std::pair<PolyPoint, PolyPoint>> segments;
    for (const TracedRegion& region : r) {
      EXPECT_GT(Area(region), 0);
      total += Area(region);
      for (const Ring* ring = &region.outer; ring; ring = nullptr)
        for (size_t k = 0; k + 1 < ring->size(); ++k) segments.push_back({(*ring)[k], (*ring)[k + 1]});
      for (const Ring& hole : region.holes)
        for (size_t k = 0; k + 1 < hole.size(); ++k) segments.push_back({hole[k], hole[k + 1]});
    }
    EXPECT_EQ(total, 48 * 48 * u * u);
    int crossings = 0;
    for (size_t i = 0; i < segments.size(); ++i)
      for (size_t j = i + 1; j < segments.size(); ++j) {
        const auto &s = segments[i], &t = segments[j];
        const bool same = (s.first == t.first && s.second == t.second) || (s.first == t.second && s.second == t.first);
        if (!same && Meet(s.first, s.second, t.first, t.second)) ++crossings;  // a shared border is twice
      }
    EXPECT_EQ(crossings, 0) << (smooth ? "smoothed" : "simplified");
  }
}

bool Contains(const Ring& ring, double x, double y) {
  bool inside = false;
  for (size_t k = 0; k + 1 < ring.size(); ++k) {
    const PolyPoint a = ring[k], b = ring[k + 1];
    if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / double(b.y - a.y)) inside = !inside;
  }
  return inside;
}

// A bulge of one region into another with an island in it: dropping the bulge would cross no
// border, yet the island would then lie in the other region. The bulge stays.
TEST(TraceRegions, AnIslandNeverChangesSidesBehindAShortcut) {
  std::vector<std::string> rows(20, std::string(40, 'b'));
  for (int y = 0; y < 10; ++y) rows[y] = std::string(40, 'a');
  for (int y = 10; y < 13; ++y) rows[y].replace(15, 11, std::string(11, 'a'));
  rows[11][20] = 'i';
  const std::vector<TracedRegion> r = Trace(FromRows(rows), 4);
  ASSERT_EQ(r.size(), 3u);
  ASSERT_EQ(r[0].cls, 'a');
  EXPECT_TRUE(Contains(r[0].outer, 20.5, 11.5));
  EXPECT_FALSE(Contains(r[1].outer, 20.5, 11.5));  // b
}

// An island that touches the region beyond the border at one corner, where that border's arc
// ends: the shortcut of the arc from the top down to that corner would leave the island (2)
// in the region beyond (0).
TEST(TraceRegions, AnIslandTouchingTheBorderAtACornerNeverChangesSides) {
  const std::vector<std::string> rows = {
      "1111111100022222222222", "1111111100002222222222", "1111111100002222222222",
      "1111111110002222222222", "1111111110000222222222", "1111111111000022222222",
      "1111111111000022222222", "1111111111100022222222", "1111111111110002222222",
      "1111111111110000222222", "1111111111110000022222", "1111111111111000002222",
      "1111111111111100002222", "1111111111111110002222", "1111111111111110000222",
      "1111111111111111000022", "1111111111111111000022", "1111111111111111100022",
      "1111111111111111100002", "0011111111111111110000", "0001111111111111110000",
      "0000000011111111111000", "0000000001111111111100", "3333000000001111111100",
      "3333330000000111111100", "3333333330000000122100", "3333333333000000011100",
      "3333333333333000000000"};
  for (double tolerance : {5.0, 20.0}) {
    const std::vector<TracedRegion> r = Trace(FromRows(rows), tolerance);
    const auto beyond = std::find_if(r.begin(), r.end(), [](const TracedRegion& t) { return t.cls == '0'; });
    ASSERT_NE(beyond, r.end());
    EXPECT_FALSE(Contains(beyond->outer, 18, 25.5)) << tolerance;
  }
}

// A square with an island in each corner, smoothed: cutting a corner would leave its island
// outside the square, in the region round it. The corners with an island stay.
TEST(TraceRegions, AnIslandNeverChangesSidesBehindARoundedCorner) {
  std::vector<std::string> rows(40, std::string(40, 'b'));
  for (int y = 10; y < 30; ++y) rows[y].replace(10, 20, std::string(20, 'a'));
  for (auto [x, y] : {std::pair{11, 11}, {28, 11}, {11, 28}, {28, 28}}) rows[y][x] = 'i';
  const Grid g = FromRows(rows);
  TraceCounts counts;
  const std::vector<TracedRegion> r = TraceRegions(g.cells, g.w, g.h, 0, &counts, true);
  ASSERT_EQ(counts.unitsPerCell, 4);
  const auto square = std::find_if(r.begin(), r.end(), [](const TracedRegion& t) { return t.cls == 'a'; });
  ASSERT_NE(square, r.end());
  for (auto [x, y] : {std::pair{11.5, 11.5}, {28.5, 11.5}, {11.5, 28.5}, {28.5, 28.5}})
    EXPECT_TRUE(Contains(square->outer, 4 * x, 4 * y)) << "island at " << x << ", " << y;
}

// An island with no junction keeps a body, however large the tolerance.
TEST(TraceRegions, AnIslandKeepsAnArea) {
  std::vector<std::string> rows(12, std::string(12, 'a'));
  for (int y = 3; y < 9; ++y) rows[y].replace(3, 6, "iiiiii");
  const std::vector<TracedRegion> r = Trace(FromRows(rows), 50);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_GE(r[1].outer.size(), 5u);
  EXPECT_GT(Area(r[1]), 0);
  EXPECT_EQ(Area(r[0]) + Area(r[1]), 144);
}

}  // namespace
}  // namespace picmap
