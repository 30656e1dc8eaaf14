// A polygon with holes joined into one ring fills exactly the polygon, by the even-odd rule and
// by the non-zero rule alike, on every point of a grid between the corners.
#include <gtest/gtest.h>

#include <random>

#include "geometry/keyhole.h"

namespace picmap {
namespace {

// Points are tested at half units, where no edge on the grid of corners can pass.
int Crossings(const Ring& ring, double x, double y, int* winding) {
  int crossings = 0;
  for (size_t i = 0; i + 1 < ring.size(); ++i) {
    const PolyPoint a = ring[i], b = ring[i + 1];
    if ((a.y > y) == (b.y > y)) continue;
    const double at = a.x + (y - a.y) * double(b.x - a.x) / double(b.y - a.y);
    if (at <= x) continue;
    ++crossings;
    if (winding) *winding += b.y > a.y ? 1 : -1;
  }
  return crossings;
}

bool InsideEvenOdd(const Ring& ring, double x, double y) { return Crossings(ring, x, y, nullptr) % 2; }

bool InsideNonZero(const Ring& ring, double x, double y) {
  int winding = 0;
  Crossings(ring, x, y, &winding);
  return winding != 0;
}

Ring Box(int32_t l, int32_t b, int32_t r, int32_t t) { return {{l, b}, {r, b}, {r, t}, {l, t}, {l, b}}; }

void ExpectSameFill(const Ring& outer, const std::vector<Ring>& holes, int32_t size) {
  const std::optional<Ring> joined = JoinHoles(outer, holes);
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->front(), joined->back());
  for (int32_t y = -1; y <= size; ++y) {
    for (int32_t x = -1; x <= size; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      bool expected = InsideEvenOdd(outer, px, py);
      for (const Ring& hole : holes) expected = expected && !InsideEvenOdd(hole, px, py);
      ASSERT_EQ(InsideEvenOdd(*joined, px, py), expected) << px << "," << py;
      ASSERT_EQ(InsideNonZero(*joined, px, py), expected) << px << "," << py;
    }
  }
}

TEST(KeyholeTest, NestedRowsOfHolesAndHolesTouchingTheOutline) {
  // A concave outline (a U) with holes in both arms and the base, given in either orientation.
  const Ring u = {{0, 0}, {30, 0}, {30, 30}, {20, 30}, {20, 10}, {10, 10}, {10, 30}, {0, 30}, {0, 0}};
  Ring reversed(u.rbegin(), u.rend());
  ExpectSameFill(u, {Box(2, 12, 8, 18), Box(22, 20, 28, 28), Box(12, 2, 18, 8), Box(3, 2, 6, 5)}, 32);
  ExpectSameFill(reversed, {Box(2, 12, 8, 18)}, 32);
  // Holes touching the outline and each other at a corner.
  ExpectSameFill(Box(0, 0, 20, 20), {Box(0, 0, 5, 5), Box(5, 5, 10, 10), Box(12, 3, 15, 19)}, 22);
}

TEST(KeyholeTest, RandomHolesInAGrid) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    // Holes in distinct cells of a 6 x 6 grid, each a random box or triangle inside its cell.
    std::vector<Ring> holes;
    for (int cell = 0; cell < 36; ++cell) {
      if (random() % 3) continue;
      const int32_t cx = 2 + (cell % 6) * 8, cy = 2 + (cell / 6) * 8;
      const int32_t w = 2 + random() % 5, h = 2 + random() % 5;
      if (random() % 2) holes.push_back(Box(cx, cy, cx + w, cy + h));
      else holes.push_back({{cx, cy}, {cx + w, cy}, {cx, cy + h}, {cx, cy}});
    }
    ExpectSameFill(Box(0, 0, 50, 50), holes, 52);
  }
}

TEST(KeyholeTest, AHoleOutsideTheOutlineIsRefused) {
  EXPECT_FALSE(JoinHoles(Box(0, 0, 10, 10), {Box(20, 20, 25, 25)}));
}

}  // namespace
}  // namespace picmap
