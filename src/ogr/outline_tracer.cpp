#include "ogr/outline_tracer.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <utility>

namespace picmap::ogr {

namespace {

struct Interval {
  double x0, x1;
  int id;  // the interval's number among all slabs
};

struct Point {
  double x, y;
  bool operator==(const Point&) const = default;
  bool operator<(const Point& o) const { return x < o.x || (x == o.x && y < o.y); }
};

// A boundary edge, directed so that the region lies on its left.
struct Edge {
  Point from, to;
  int id;  // the interval it bounds
};

class UnionFind {
 public:
  int Add() {
    parent_.push_back(static_cast<int>(parent_.size()));
    return parent_.back();
  }
  int Find(int i) {
    while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
    return i;
  }
  void Join(int a, int b) { parent_[Find(a)] = Find(b); }

 private:
  std::vector<int> parent_;
};

// Horizontal bands between consecutive distinct y, each with its covered x intervals.
struct Slabs {
  std::vector<double> ys;                      // band k lies between ys[k] and ys[k + 1]
  std::vector<std::vector<Interval>> covered;  // per band, sorted and disjoint
};

std::vector<Interval> MergedIntervals(std::vector<std::pair<double, double>>& spans, UnionFind& ids) {
  std::sort(spans.begin(), spans.end());
  std::vector<Interval> out;
  for (const auto& [x0, x1] : spans) {
    if (!out.empty() && x0 <= out.back().x1) {
      out.back().x1 = std::max(out.back().x1, x1);
      continue;
    }
    out.push_back({x0, x1, ids.Add()});
  }
  return out;
}

Slabs Sweep(const std::vector<Box>& boxes, UnionFind& ids) {
  Slabs s;
  for (const Box& b : boxes) {
    s.ys.push_back(b.y0);
    s.ys.push_back(b.y1);
  }
  std::sort(s.ys.begin(), s.ys.end());
  s.ys.erase(std::unique(s.ys.begin(), s.ys.end()), s.ys.end());
  std::vector<size_t> order(boxes.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return boxes[a].y0 < boxes[b].y0; });
  std::vector<size_t> active;
  size_t next = 0;
  std::vector<std::pair<double, double>> spans;
  for (size_t k = 0; k + 1 < s.ys.size(); ++k) {
    while (next < order.size() && boxes[order[next]].y0 <= s.ys[k]) active.push_back(order[next++]);
    std::erase_if(active, [&](size_t i) { return boxes[i].y1 <= s.ys[k]; });
    spans.clear();
    for (size_t i : active) spans.emplace_back(boxes[i].x0, boxes[i].x1);
    s.covered.push_back(MergedIntervals(spans, ids));
  }
  return s;
}

// Intervals of neighbouring bands that overlap along a stretch belong to one region.
void JoinBands(const std::vector<Interval>& below, const std::vector<Interval>& above, UnionFind& ids) {
  size_t i = 0, j = 0;
  while (i < below.size() && j < above.size()) {
    if (std::min(below[i].x1, above[j].x1) > std::max(below[i].x0, above[j].x0))
      ids.Join(below[i].id, above[j].id);
    if (below[i].x1 < above[j].x1) ++i;
    else ++j;
  }
}

// The parts of `a` not covered by `b`, each with the id of its interval of `a`.
std::vector<Interval> Minus(const std::vector<Interval>& a, const std::vector<Interval>& b) {
  std::vector<Interval> out;
  size_t j = 0;
  for (const Interval& piece : a) {
    double x = piece.x0;
    while (j < b.size() && b[j].x1 <= x) ++j;
    for (size_t k = j; k < b.size() && b[k].x0 < piece.x1; ++k) {
      if (b[k].x0 > x) out.push_back({x, b[k].x0, piece.id});
      x = std::max(x, b[k].x1);
    }
    if (x < piece.x1) out.push_back({x, piece.x1, piece.id});
  }
  return out;
}

std::vector<Edge> BoundaryEdges(const Slabs& s) {
  static const std::vector<Interval> kNone;
  std::vector<Edge> edges;
  const size_t bands = s.covered.size();
  for (size_t k = 0; k <= bands; ++k) {
    const double y = s.ys[k];
    const std::vector<Interval>& below = k > 0 ? s.covered[k - 1] : kNone;
    const std::vector<Interval>& above = k < bands ? s.covered[k] : kNone;
    for (const Interval& e : Minus(above, below)) edges.push_back({{e.x0, y}, {e.x1, y}, e.id});
    for (const Interval& w : Minus(below, above)) edges.push_back({{w.x1, y}, {w.x0, y}, w.id});
    if (k == bands) break;
    const double top = s.ys[k + 1];
    for (const Interval& in : above) {
      edges.push_back({{in.x0, top}, {in.x0, y}, in.id});
      edges.push_back({{in.x1, y}, {in.x1, top}, in.id});
    }
  }
  return edges;
}

bool RightTurn(const Edge& in, const Edge& out) {
  const double dx = in.to.x - in.from.x, dy = in.to.y - in.from.y;
  const double ox = out.to.x - out.from.x, oy = out.to.y - out.from.y;
  return dx * oy - dy * ox < 0;
}

bool Collinear(const Point& a, const Point& b, const Point& c) {
  return (a.x == b.x && b.x == c.x) || (a.y == b.y && b.y == c.y);
}

double SignedArea(const std::vector<Point>& ring) {
  double sum = 0;
  for (size_t i = 0; i < ring.size(); ++i) {
    const Point& p = ring[i];
    const Point& q = ring[(i + 1) % ring.size()];
    sum += p.x * q.y - q.x * p.y;
  }
  return sum / 2;
}

// Walks the edges into closed rings; at a corner where two regions touch, the ring follows
// the edge of its own region.
std::map<int, std::vector<std::vector<Point>>> Rings(std::vector<Edge>& edges, UnionFind& ids) {
  for (Edge& e : edges) e.id = ids.Find(e.id);
  std::vector<size_t> byStart(edges.size());
  std::iota(byStart.begin(), byStart.end(), 0);
  std::sort(byStart.begin(), byStart.end(), [&](size_t a, size_t b) { return edges[a].from < edges[b].from; });
  std::vector<bool> used(edges.size(), false);
  // Where a region touches itself at a corner, the right turn hugs the outside corner, so the
  // outline and a hole (or two lobes of a hole) become rings that meet at that point without
  // passing through it, as a valid polygon's rings may.
  auto nextEdge = [&](const Edge& in, int region) -> size_t {
    auto it = std::lower_bound(byStart.begin(), byStart.end(), in.to,
                               [&](size_t e, const Point& p) { return edges[e].from < p; });
    size_t found = edges.size();
    for (; it != byStart.end() && edges[*it].from == in.to; ++it) {
      if (used[*it] || edges[*it].id != region) continue;
      if (found == edges.size() || RightTurn(in, edges[*it])) found = *it;
    }
    return found;
  };
  std::map<int, std::vector<std::vector<Point>>> rings;
  for (size_t first = 0; first < edges.size(); ++first) {
    if (used[first]) continue;
    std::vector<Point> ring;
    for (size_t e = first; e < edges.size(); e = nextEdge(edges[e], edges[first].id)) {
      used[e] = true;
      ring.push_back(edges[e].from);
    }
    std::vector<Point> corners;
    for (size_t i = 0; i < ring.size(); ++i)
      if (!Collinear(ring[(i + ring.size() - 1) % ring.size()], ring[i], ring[(i + 1) % ring.size()]))
        corners.push_back(ring[i]);
    if (corners.size() >= 4) rings[edges[first].id].push_back(std::move(corners));
  }
  return rings;
}

OGRLinearRing* ToRing(const std::vector<Point>& points) {
  auto* ring = new OGRLinearRing;
  ring->setNumPoints(static_cast<int>(points.size()) + 1, FALSE);
  for (size_t i = 0; i <= points.size(); ++i) {
    const Point& p = points[i % points.size()];
    ring->setPoint(static_cast<int>(i), p.x, p.y);
  }
  return ring;
}

}  // namespace

bool AsBox(const OGRPolygon& polygon, Box& box) {
  if (polygon.getNumInteriorRings() != 0) return false;
  const OGRLinearRing* ring = polygon.getExteriorRing();
  if (!ring || ring->getNumPoints() != 5) return false;
  OGREnvelope env;
  ring->getEnvelope(&env);
  if (!(env.MinX < env.MaxX && env.MinY < env.MaxY)) return false;
  for (int i = 0; i < 5; ++i) {
    const double x = ring->getX(i), y = ring->getY(i);
    if ((x != env.MinX && x != env.MaxX) || (y != env.MinY && y != env.MaxY)) return false;
    if (i > 0 && x != ring->getX(i - 1) && y != ring->getY(i - 1)) return false;
  }
  box = {env.MinX, env.MinY, env.MaxX, env.MaxY};
  return ring->getX(0) == ring->getX(4) && ring->getY(0) == ring->getY(4);
}

std::vector<std::unique_ptr<OGRPolygon>> TraceUnion(const std::vector<Box>& boxes) {
  UnionFind ids;
  const Slabs slabs = Sweep(boxes, ids);
  for (size_t k = 1; k < slabs.covered.size(); ++k) JoinBands(slabs.covered[k - 1], slabs.covered[k], ids);
  std::vector<Edge> edges = BoundaryEdges(slabs);
  std::vector<std::unique_ptr<OGRPolygon>> polygons;
  for (auto& [region, rings] : Rings(edges, ids)) {
    // The one counter-clockwise ring is the outline; the others are holes.
    std::stable_partition(rings.begin(), rings.end(), [](const auto& r) { return SignedArea(r) > 0; });
    auto polygon = std::make_unique<OGRPolygon>();
    for (const auto& ring : rings) polygon->addRingDirectly(ToRing(ring));
    polygons.push_back(std::move(polygon));
  }
  return polygons;
}

}  // namespace picmap::ogr
