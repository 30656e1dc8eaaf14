#include "geometry/keyhole.h"

#include <algorithm>
#include <numeric>

namespace picmap {

namespace {

using Wide = __int128;

Wide Cross(PolyPoint o, PolyPoint a, PolyPoint b) {
  return Wide(int64_t(a.x) - o.x) * (int64_t(b.y) - o.y) - Wide(int64_t(a.y) - o.y) * (int64_t(b.x) - o.x);
}

int Sign(Wide v) { return (v > 0) - (v < 0); }

void Open(Ring& ring) {
  if (ring.size() > 1 && ring.front() == ring.back()) ring.pop_back();
}

void Orient(Ring& ring, bool counterClockwise) {
  if ((DoubleSignedArea(ring) > 0) != counterClockwise) std::reverse(ring.begin(), ring.end());
}

bool Between(int64_t a, int64_t v, int64_t b) { return std::min(a, b) <= v && v <= std::max(a, b); }

bool OnSegment(PolyPoint a, PolyPoint p, PolyPoint b) {
  return Cross(a, b, p) == 0 && Between(a.x, p.x, b.x) && Between(a.y, p.y, b.y);
}

// Whether the bridge m-p meets the edge a-b anywhere but at the bridge's own ends.
bool Blocks(PolyPoint m, PolyPoint p, PolyPoint a, PolyPoint b) {
  const int d1 = Sign(Cross(m, p, a)), d2 = Sign(Cross(m, p, b));
  const int d3 = Sign(Cross(a, b, m)), d4 = Sign(Cross(a, b, p));
  if (d1 * d2 < 0 && d3 * d4 < 0) return true;  // a proper crossing
  // A touch: an edge end on the bridge, or the bridge running along the edge.
  for (PolyPoint q : {a, b})
    if (!(q == m) && !(q == p) && OnSegment(m, q, p)) return true;
  if (d1 == 0 && d2 == 0) {
    for (PolyPoint q : {m, p})
      if (OnSegment(a, q, b) && !(q == a) && !(q == b)) return true;
  }
  return false;
}

bool BlockedBy(const Ring& ring, PolyPoint m, PolyPoint p) {
  for (size_t i = 0; i < ring.size(); ++i)
    if (Blocks(m, p, ring[i], ring[(i + 1) % ring.size()])) return true;
  return false;
}

// Whether the direction from the corner ring[i] towards m enters the inside (the left of a
// counter-clockwise ring) there.
bool OpensInward(const Ring& ring, size_t i, PolyPoint m) {
  const PolyPoint p = ring[i];
  const PolyPoint prev = ring[(i + ring.size() - 1) % ring.size()];
  const PolyPoint next = ring[(i + 1) % ring.size()];
  if (m == p) return true;
  const int turn = Sign(Cross(prev, p, next));
  const bool leftOfOut = Cross(p, next, m) > 0;  // left of the edge leaving p
  const bool leftOfIn = Cross(prev, p, m) > 0;   // left of the edge arriving at p
  return turn > 0 ? leftOfOut && leftOfIn : leftOfOut || leftOfIn;
}

size_t Leftmost(const Ring& ring) {
  size_t best = 0;
  for (size_t i = 1; i < ring.size(); ++i)
    if (ring[i].x < ring[best].x || (ring[i].x == ring[best].x && ring[i].y < ring[best].y)) best = i;
  return best;
}

Wide SquaredDistance(PolyPoint a, PolyPoint b) {
  const Wide dx = int64_t(a.x) - b.x, dy = int64_t(a.y) - b.y;
  return dx * dx + dy * dy;
}

// The corner of `ring` that the hole's corner m sees across the inside, nearest first.
std::optional<size_t> Bridge(const Ring& ring, const std::vector<Ring>& holes, size_t hole, PolyPoint m) {
  std::vector<size_t> order(ring.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return SquaredDistance(ring[a], m) < SquaredDistance(ring[b], m);
  });
  for (size_t i : order) {
    const PolyPoint p = ring[i];
    if (!OpensInward(ring, i, m) || BlockedBy(ring, m, p)) continue;
    bool blocked = false;
    for (size_t h = hole; h < holes.size() && !blocked; ++h) blocked = BlockedBy(holes[h], m, p);
    if (!blocked) return i;
  }
  return std::nullopt;
}

}  // namespace

Wide DoubleSignedArea(const Ring& ring) {
  Wide sum = 0;
  for (size_t i = 0; i + 1 < ring.size(); ++i)
    sum += Wide(ring[i].x) * ring[i + 1].y - Wide(ring[i + 1].x) * ring[i].y;
  if (!ring.empty() && !(ring.front() == ring.back()))
    sum += Wide(ring.back().x) * ring.front().y - Wide(ring.front().x) * ring.back().y;
  return sum;
}

std::optional<Ring> JoinHoles(Ring outer, std::vector<Ring> holes) {
  Open(outer);
  Orient(outer, true);
  for (Ring& hole : holes) {
    Open(hole);
    Orient(hole, false);
  }
  holes.erase(std::remove_if(holes.begin(), holes.end(), [](const Ring& h) { return h.size() < 3; }),
              holes.end());
  // From left to right: whatever lies left of a hole's leftmost corner is part of the ring by
  // then, so the ring always has a corner that corner sees.
  std::sort(holes.begin(), holes.end(), [](const Ring& a, const Ring& b) {
    return a[Leftmost(a)].x < b[Leftmost(b)].x;
  });
  for (size_t h = 0; h < holes.size(); ++h) {
    const Ring& hole = holes[h];
    const size_t mi = Leftmost(hole);
    const std::optional<size_t> pi = Bridge(outer, holes, h, hole[mi]);
    if (!pi) return std::nullopt;
    Ring joined(outer.begin(), outer.begin() + static_cast<long>(*pi) + 1);
    for (size_t k = 0; k <= hole.size(); ++k) joined.push_back(hole[(mi + k) % hole.size()]);
    joined.insert(joined.end(), outer.begin() + static_cast<long>(*pi), outer.end());
    outer = std::move(joined);
  }
  outer.push_back(outer.front());
  return outer;
}

}  // namespace picmap
