#include "geometry/regions.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace picmap {

namespace {

// Directions clockwise on the grid (y down): east, south, west, north.
constexpr int32_t kDx[4] = {1, 0, -1, 0};
constexpr int32_t kDy[4] = {0, 1, 0, -1};
int Opposite(int d) { return (d + 2) & 3; }
int RightOf(int d) { return (d + 1) & 3; }
int LeftOf(int d) { return (d + 3) & 3; }

// A unit edge of the grid walked from a corner in one direction.
struct Step {
  int32_t x = 0, y = 0;
  int d = 0;
  bool operator==(const Step&) const = default;
};

struct Arc {
  std::vector<PolyPoint> points;  // the corners where it turns, both ends included
  std::vector<PolyPoint> simple;  // as simplified (and smoothed)
  std::vector<PolyPoint> corners; // as simplified, before smoothing
  int32_t left = -1, right = -1;  // the regions on either side, walking it forward
  Step first, last;
  double tolerance = 0;
  bool smoothed = false;
};

int32_t Find(std::vector<int32_t>& parent, int32_t i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

class Tracer {
 public:
  Tracer(std::span<const int32_t> classes, int32_t w, int32_t h, const FinalGrid& finalGrid)
      : cls_(classes), w_(w), h_(h), finalGrid_(finalGrid) {}

  std::vector<TracedRegion> Run(double tolerance, bool smooth, TraceCounts* counts,
                                const std::function<void()>& stageDone) {
    LabelRegions();
    TraceArcs();
    if (stageDone) stageDone();
    Simplify(tolerance);
    if (smooth) Smooth();
    if (stageDone) stageDone();
    if (counts) {
      counts->arcs = static_cast<int64_t>(arcs_.size());
      counts->arcsKeptFiner = keptFiner_;
      counts->arcsKeptCorners = keptCorners_;
      counts->unitsPerCell = scale_;
    }
    return BuildRegions();
  }

 private:
  // ---- Regions ----

  void LabelRegions() {
    const size_t n = static_cast<size_t>(w_) * h_;
    label_.resize(n);
    std::iota(label_.begin(), label_.end(), 0);
    for (int32_t y = 0; y < h_; ++y)
      for (int32_t x = 0; x < w_; ++x) {
        const size_t p = static_cast<size_t>(y) * w_ + x;
        if (cls_[p] < 0) continue;
        if (x > 0 && cls_[p - 1] == cls_[p]) Unite(p, p - 1);
        if (y > 0 && cls_[p - w_] == cls_[p]) Unite(p, p - w_);
      }
    for (size_t p = 0; p < n; ++p) {
      if (cls_[p] < 0) {
        label_[p] = -1;
      } else if (label_[p] == static_cast<int32_t>(p)) {
        label_[p] = static_cast<int32_t>(regions_.size());
        TracedRegion r;
        r.cls = cls_[p];
        r.firstCell = static_cast<int32_t>(p);
        regions_.push_back(std::move(r));
      } else {
        label_[p] = label_[label_[p]];  // its root lies earlier and is numbered already
      }
      if (label_[p] >= 0) ++regions_[label_[p]].cells;
    }
  }

  void Unite(size_t a, size_t b) {
    int32_t ra = Find(label_, static_cast<int32_t>(a)), rb = Find(label_, static_cast<int32_t>(b));
    if (ra != rb) label_[std::max(ra, rb)] = std::min(ra, rb);
  }

  int32_t Cell(int32_t x, int32_t y) const {
    return x < 0 || y < 0 || x >= w_ || y >= h_ ? -1 : label_[static_cast<size_t>(y) * w_ + x];
  }
  int32_t LeftCell(const Step& s) const {
    switch (s.d) {
      case 0: return Cell(s.x, s.y - 1);
      case 1: return Cell(s.x, s.y);
      case 2: return Cell(s.x - 1, s.y);
      default: return Cell(s.x - 1, s.y - 1);
    }
  }
  int32_t RightCell(const Step& s) const {
    switch (s.d) {
      case 0: return Cell(s.x, s.y);
      case 1: return Cell(s.x - 1, s.y);
      case 2: return Cell(s.x - 1, s.y - 1);
      default: return Cell(s.x, s.y - 1);
    }
  }
  bool IsBorder(const Step& s) const { return LeftCell(s) != RightCell(s); }
  static Step End(const Step& s) { return {s.x + kDx[s.d], s.y + kDy[s.d], s.d}; }
  static Step Reversed(const Step& s) { return {s.x + kDx[s.d], s.y + kDy[s.d], Opposite(s.d)}; }

  // Where two border edges meet, a border goes on; anywhere else arcs end. The corners of
  // the grid stay where they are too, or the map would lose its corners.
  bool IsJunction(int32_t x, int32_t y) const {
    if ((x == 0 || x == w_) && (y == 0 || y == h_)) return true;
    int degree = 0;
    for (int d = 0; d < 4; ++d) degree += IsBorder({x, y, d});
    return degree != 2;
  }
  // The border edge after `s` through a corner that is no junction.
  Step Continue(const Step& s) const {
    const Step at = End(s);
    for (int d = 0; d < 4; ++d) {
      const Step next{at.x, at.y, d};
      if (d != Opposite(s.d) && IsBorder(next)) return next;
    }
    return at;  // unreachable on a corner of degree 2
  }

  // ---- Arcs ----

  size_t EdgeBit(const Step& s) const {
    const size_t corner = static_cast<size_t>(s.y) * (w_ + 1) + s.x;
    switch (s.d) {
      case 0: return corner * 2;
      case 1: return corner * 2 + 1;
      case 2: return (corner - 1) * 2;
      default: return (corner - (w_ + 1)) * 2 + 1;
    }
  }

  void TraceArcs() {
    walked_.assign(static_cast<size_t>(w_ + 1) * (h_ + 1) * 2, false);
    for (int32_t y = 0; y <= h_; ++y)
      for (int32_t x = 0; x <= w_; ++x)
        for (int d = 0; d < 2; ++d) {
          const Step s{x, y, d};
          if (!walked_[EdgeBit(s)] && IsBorder(s)) TraceArcThrough(s);
        }
  }

  void TraceArcThrough(const Step& s) {
    // Back to the junction the arc starts from; a loop without one starts at `s`.
    Step start = s;
    for (Step back = Reversed(s);;) {
      const Step at = End(back);
      if (IsJunction(at.x, at.y)) {
        start = Reversed(back);
        break;
      }
      back = Continue(back);
      if (back == Reversed(s)) break;
    }
    Arc arc;
    arc.left = LeftCell(start);
    arc.right = RightCell(start);
    arc.first = start;
    arc.points.push_back({start.x, start.y});
    for (Step e = start;;) {
      walked_[EdgeBit(e)] = true;
      arc.last = e;
      const Step at = End(e);
      if (IsJunction(at.x, at.y)) break;
      const Step next = Continue(e);
      if (next == start) break;
      if (next.d != e.d) arc.points.push_back({at.x, at.y});
      e = next;
    }
    const Step end = End(arc.last);
    arc.points.push_back({end.x, end.y});
    arcs_.push_back(std::move(arc));
  }

  // ---- Simplification ----

  void Simplify(double tolerance) {
    for (Arc& a : arcs_) {
      a.tolerance = tolerance;
      a.simple = Reduced(a.points, tolerance);
    }
    if (tolerance <= 0) return;
    for (;;) {
      const std::vector<bool> crossing = CrossingArcs(), sweeping = SweepingArcs();
      bool any = false;
      for (size_t i = 0; i < arcs_.size(); ++i) {
        if (!(crossing[i] || sweeping[i]) || arcs_[i].tolerance <= 0) continue;
        Arc& a = arcs_[i];
        if (a.tolerance == tolerance) ++keptFiner_;
        a.tolerance = a.tolerance > 0.5 ? a.tolerance / 2 : 0;
        a.simple = Reduced(a.points, a.tolerance);
        any = true;
      }
      if (!any) return;
    }
  }

  // Whether q lies inside the stretch pts[lo..hi] closed by the segment back, not on it.
  static bool StrictlyInside(const PolyPoint& q, const std::vector<PolyPoint>& pts, size_t lo, size_t hi) {
    bool inside = false;
    for (size_t k = lo; k <= hi; ++k) {
      const PolyPoint& a = pts[k];
      const PolyPoint& b = k < hi ? pts[k + 1] : pts[lo];
      if (OnSegment(q, a, b)) return false;
      if ((a.y > q.y) == (b.y > q.y)) continue;
      const int64_t side = Cross(a, b, q);
      if (b.y > a.y ? side > 0 : side < 0) inside = !inside;
    }
    return inside;
  }

  // The arcs whose shortcut passes over a whole island, or a group of regions that touch
  // nothing else: the area between a removed stretch and the segment that replaces it holds
  // a mark of another arc. No segment crosses there, yet the island would change sides.
  std::vector<bool> SweepingArcs() const {
    const ArcMarks marks(*this, 1);
    std::vector<bool> sweeping(arcs_.size(), false);
    for (size_t i = 0; i < arcs_.size(); ++i) {
      const Arc& a = arcs_[i];
      if (a.tolerance <= 0 || a.simple.size() == a.points.size()) continue;
      size_t lo = 0;
      for (size_t k = 1, kept = 1; k < a.points.size() && !sweeping[i]; ++k) {
        if (kept >= a.simple.size() || !(a.points[k] == a.simple[kept])) continue;
        ++kept;
        if (k > lo + 1) sweeping[i] = marks.AnyInside(a.points, lo, k, i);
        lo = k;
      }
    }
    return sweeping;
  }

  // Marks of every arc, in `units` per cell, found by buckets of the plane: its ends, and the
  // corners next to them. An island that touches its surroundings at one corner is an arc
  // from a junction on that corner back to it, so only a corner of its own can show it lies
  // behind a shortcut that ends there.
  class ArcMarks {
   public:
    ArcMarks(const Tracer& t, int32_t units) : units_(units), bw_(t.w_ / kBucket + 1) {
      buckets_.resize(static_cast<size_t>(bw_) * (t.h_ / kBucket + 1));
      for (size_t j = 0; j < t.arcs_.size(); ++j) {
        const std::vector<PolyPoint>& pts = t.arcs_[j].points;
        std::vector<PolyPoint> marks{pts.front(), pts.back()};
        if (pts.size() > 2) marks.insert(marks.end(), {pts[1], pts[pts.size() - 2]});
        for (const PolyPoint& p : marks)
          buckets_[static_cast<size_t>(p.y / kBucket) * bw_ + p.x / kBucket].push_back({static_cast<int32_t>(j), p});
      }
    }

    // Whether the stretch pts[lo..hi], closed by the segment back, holds a mark of an arc
    // other than `self`.
    bool AnyInside(const std::vector<PolyPoint>& pts, size_t lo, size_t hi, size_t self) const {
      int32_t x0 = pts[lo].x, x1 = x0, y0 = pts[lo].y, y1 = y0;
      for (size_t k = lo; k <= hi; ++k) {
        x0 = std::min(x0, pts[k].x), x1 = std::max(x1, pts[k].x);
        y0 = std::min(y0, pts[k].y), y1 = std::max(y1, pts[k].y);
      }
      const int32_t cell = kBucket * units_;
      for (int32_t by = y0 / cell; by <= y1 / cell; ++by)
        for (int32_t bx = x0 / cell; bx <= x1 / cell; ++bx)
          for (const auto& [j, f] : buckets_[static_cast<size_t>(by) * bw_ + bx]) {
            const PolyPoint q{f.x * units_, f.y * units_};
            if (static_cast<size_t>(j) != self && q.x > x0 && q.x < x1 && q.y > y0 && q.y < y1 &&
                StrictlyInside(q, pts, lo, hi))
              return true;
          }
      return false;
    }

   private:
    static constexpr int32_t kBucket = 16;
    int32_t units_, bw_;
    struct Mark {
      int32_t arc;
      PolyPoint at;
    };
    std::vector<std::vector<Mark>> buckets_;
  };

  // ---- Smoothing ----

  static bool AsTraced(const Arc& a) { return a.tolerance <= 0 && !a.smoothed; }

  // One round of Chaikin's corner cutting, the ends kept: each segment gives its points at a
  // quarter and three quarters, which fall on the grid of quarter cells.
  static std::vector<PolyPoint> Chaikin(const std::vector<PolyPoint>& pts) {
    std::vector<PolyPoint> out{pts.front()};
    for (size_t k = 0; k + 1 < pts.size(); ++k) {
      const PolyPoint a = pts[k], b = pts[k + 1];
      out.push_back({(3 * a.x + b.x) / 4, (3 * a.y + b.y) / 4});
      out.push_back({(a.x + 3 * b.x) / 4, (a.y + 3 * b.y) / 4});
    }
    out.push_back(pts.back());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }

  // Rounds the corners of every arc in quarter cells; an arc whose rounding would cross or
  // touch another keeps its corners.
  void Smooth() {
    scale_ = kQuarters;
    for (Arc& a : arcs_) {
      for (PolyPoint& p : a.simple) p = {p.x * kQuarters, p.y * kQuarters};
      if (a.simple.size() < 3) continue;
      a.corners = a.simple;
      a.simple = Chaikin(a.simple);
      a.smoothed = true;
    }
    for (;;) {
      const std::vector<bool> crossing = CrossingArcs(), cutting = CuttingOffIslands();
      bool any = false;
      for (size_t i = 0; i < arcs_.size(); ++i) {
        if (!(crossing[i] || cutting[i]) || !arcs_[i].smoothed) continue;
        arcs_[i].simple = arcs_[i].corners;
        arcs_[i].smoothed = false;
        ++keptCorners_;
        any = true;
      }
      if (!any) return;
    }
  }

  // The smoothed arcs a cut corner of which holds a mark of another arc: as behind a
  // shortcut, an island there would change sides though no segment crosses.
  std::vector<bool> CuttingOffIslands() const {
    const ArcMarks marks(*this, kQuarters);
    std::vector<bool> cutting(arcs_.size(), false);
    for (size_t i = 0; i < arcs_.size(); ++i) {
      const Arc& a = arcs_[i];
      if (!a.smoothed) continue;
      const std::vector<PolyPoint>& c = a.corners;
      for (size_t k = 1; k + 1 < c.size() && !cutting[i]; ++k) {
        const std::vector<PolyPoint> corner{{(c[k - 1].x + 3 * c[k].x) / 4, (c[k - 1].y + 3 * c[k].y) / 4},
                                            c[k],
                                            {(3 * c[k].x + c[k + 1].x) / 4, (3 * c[k].y + c[k + 1].y) / 4}};
        cutting[i] = marks.AnyInside(corner, 0, 2, i);
      }
    }
    return cutting;
  }

  static double SegmentDistance(const PolyPoint& p, const PolyPoint& a, const PolyPoint& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
  }

  // The interior point of pts[lo..hi] farthest from the chord, and its distance.
  static std::pair<size_t, double> Farthest(const std::vector<PolyPoint>& pts, size_t lo, size_t hi) {
    size_t at = lo;
    double most = -1;
    for (size_t i = lo + 1; i < hi; ++i) {
      const double d = SegmentDistance(pts[i], pts[lo], pts[hi]);
      if (d > most) most = d, at = i;
    }
    return {at, most};
  }

  static void DouglasPeucker(const std::vector<PolyPoint>& pts, size_t lo, size_t hi, double tol,
                             std::vector<bool>& keep) {
    std::vector<std::pair<size_t, size_t>> todo{{lo, hi}};
    while (!todo.empty()) {
      const auto [a, b] = todo.back();
      todo.pop_back();
      if (b <= a + 1) continue;
      const auto [at, d] = Farthest(pts, a, b);
      if (d <= tol) continue;
      keep[at] = true;
      todo.push_back({a, at});
      todo.push_back({at, b});
    }
  }

  // A closed arc keeps a point in either half besides its start and its farthest point, so it
  // never shrinks below a quadrilateral.
  static std::vector<PolyPoint> Reduced(const std::vector<PolyPoint>& pts, double tol) {
    if (tol <= 0 || pts.size() <= 2) return pts;
    std::vector<bool> keep(pts.size(), false);
    keep.front() = keep.back() = true;
    if (pts.front() == pts.back()) {
      size_t far = 0;
      double most = -1;
      for (size_t i = 1; i + 1 < pts.size(); ++i) {
        const double d = std::hypot(pts[i].x - pts[0].x, pts[i].y - pts[0].y);
        if (d > most) most = d, far = i;
      }
      keep[far] = true;
      for (auto [lo, hi] : {std::pair{size_t{0}, far}, std::pair{far, pts.size() - 1}}) {
        DouglasPeucker(pts, lo, hi, tol, keep);
        if (hi > lo + 1 && std::find(keep.begin() + lo + 1, keep.begin() + hi, true) == keep.begin() + hi)
          keep[Farthest(pts, lo, hi).first] = true;
      }
    } else {
      DouglasPeucker(pts, 0, pts.size() - 1, tol, keep);
    }
    std::vector<PolyPoint> out;
    for (size_t i = 0; i < pts.size(); ++i)
      if (keep[i]) out.push_back(pts[i]);
    return out;
  }

  struct Segment {
    PolyPoint a, b;
    int32_t arc;
  };

  static int64_t Cross(const PolyPoint& o, const PolyPoint& a, const PolyPoint& b) {
    return int64_t{a.x - o.x} * (b.y - o.y) - int64_t{a.y - o.y} * (b.x - o.x);
  }
  static int Sign(int64_t v) { return (v > 0) - (v < 0); }
  static bool OnSegment(const PolyPoint& p, const PolyPoint& a, const PolyPoint& b) {
    return Cross(a, b, p) == 0 && std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) &&
           std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y);
  }

  // Whether two segments meet anywhere but at an end they share.
  static bool Conflict(const Segment& s, const Segment& t) {
    const bool aa = s.a == t.a, ab = s.a == t.b, ba = s.b == t.a, bb = s.b == t.b;
    if ((aa && bb) || (ab && ba)) return true;  // the same segment twice: a collapse
    if (aa || ab || ba || bb) {
      const PolyPoint& shared = aa || ab ? s.a : s.b;
      const PolyPoint& mine = aa || ab ? s.b : s.a;
      const PolyPoint& theirs = aa || ba ? t.b : t.a;
      return Cross(shared, mine, theirs) == 0 &&
             int64_t{mine.x - shared.x} * (theirs.x - shared.x) +
                     int64_t{mine.y - shared.y} * (theirs.y - shared.y) > 0;
    }
    const int d1 = Sign(Cross(t.a, t.b, s.a)), d2 = Sign(Cross(t.a, t.b, s.b));
    const int d3 = Sign(Cross(s.a, s.b, t.a)), d4 = Sign(Cross(s.a, s.b, t.b));
    if (d1 * d2 < 0 && d3 * d4 < 0) return true;
    return OnSegment(s.a, t.a, t.b) || OnSegment(s.b, t.a, t.b) || OnSegment(t.a, s.a, s.b) ||
           OnSegment(t.b, s.a, s.b);
  }

  // The arcs whose simplified form meets another arc (or itself) away from shared ends,
  // found through a grid of buckets.
  // Checked on the final grid, a segment goes into the buckets within a cell of it too: rounding
  // moves points by less than a cell, and segments that meet there must share a bucket.
  std::vector<bool> CrossingArcs() const {
    const int32_t kBucket = 16 * scale_;
    const int32_t bw = w_ * scale_ / kBucket + 1, bh = h_ * scale_ / kBucket + 1;
    const int32_t margin = finalGrid_ ? scale_ : 0;
    const auto bucketOf = [&](int32_t v, int32_t count) { return std::clamp(v / kBucket, 0, count - 1); };
    std::vector<std::vector<Segment>> buckets(static_cast<size_t>(bw) * bh);
    for (size_t i = 0; i < arcs_.size(); ++i) {
      const auto& pts = arcs_[i].simple;
      for (size_t k = 0; k + 1 < pts.size(); ++k) {
        const PolyPoint a = pts[k], b = pts[k + 1];
        const Segment s = finalGrid_ ? Segment{finalGrid_(a, scale_), finalGrid_(b, scale_), static_cast<int32_t>(i)}
                                     : Segment{a, b, static_cast<int32_t>(i)};
        if (s.a == s.b) continue;  // a step shorter than the final grid's: no segment there
        for (int32_t by = bucketOf(std::min(a.y, b.y) - margin, bh); by <= bucketOf(std::max(a.y, b.y) + margin, bh); ++by)
          for (int32_t bx = bucketOf(std::min(a.x, b.x) - margin, bw); bx <= bucketOf(std::max(a.x, b.x) + margin, bw); ++bx)
            buckets[static_cast<size_t>(by) * bw + bx].push_back(s);
      }
    }
    std::vector<bool> crossing(arcs_.size(), false);
    for (const auto& bucket : buckets)
      for (size_t i = 0; i < bucket.size(); ++i)
        for (size_t j = i + 1; j < bucket.size(); ++j) {
          const Segment &s = bucket[i], &t = bucket[j];
          // Borders as traced never meet but at junctions.
          if (AsTraced(arcs_[s.arc]) && AsTraced(arcs_[t.arc])) continue;
          if (Conflict(s, t)) crossing[s.arc] = crossing[t.arc] = true;
        }
    return crossing;
  }

  // ---- Rings ----

  static int64_t Key(const Step& s, int32_t w) {
    return ((int64_t{s.y} * (w + 1) + s.x) << 2) | s.d;
  }

  // Each arc once forward (for the region on its right) and once backward (for the one on its
  // left), chained around every region: at a junction the ring turns right first, which keeps
  // cells that touch only at a corner apart, as 4-connected regions are.
  std::vector<TracedRegion> BuildRegions() {
    std::unordered_map<int64_t, int32_t> useStartingAt;
    useStartingAt.reserve(arcs_.size() * 2);
    for (size_t i = 0; i < arcs_.size(); ++i) {
      const Arc& a = arcs_[i];
      if (a.right >= 0) useStartingAt[Key(a.first, w_)] = static_cast<int32_t>(i * 2);
      if (a.left >= 0) useStartingAt[Key(Reversed(a.last), w_)] = static_cast<int32_t>(i * 2 + 1);
    }
    std::vector<bool> used(arcs_.size() * 2, false);
    std::vector<std::vector<Ring>> rings(regions_.size());
    for (size_t i = 0; i < arcs_.size(); ++i)
      for (int back = 0; back < 2; ++back) {
        const int32_t region = back ? arcs_[i].left : arcs_[i].right;
        const auto use = static_cast<int32_t>(i * 2 + back);
        if (region < 0 || used[use]) continue;
        rings[region].push_back(RingFrom(use, region, useStartingAt, used));
      }
    for (size_t r = 0; r < regions_.size(); ++r) {
      auto& list = rings[r];
      if (list.empty()) continue;
      const auto outer = std::max_element(list.begin(), list.end(), [](const Ring& a, const Ring& b) {
        return std::abs(static_cast<double>(DoubleSignedArea(a))) <
               std::abs(static_cast<double>(DoubleSignedArea(b)));
      });
      regions_[r].outer = std::move(*outer);
      list.erase(outer);
      regions_[r].holes = std::move(list);
    }
    return std::move(regions_);
  }

  Ring RingFrom(int32_t use, int32_t region, const std::unordered_map<int64_t, int32_t>& useStartingAt,
                std::vector<bool>& used) const {
    Ring ring;
    for (int32_t u = use; !used[u];) {
      used[u] = true;
      const Arc& a = arcs_[u / 2];
      const bool back = u & 1;
      const size_t n = a.simple.size();
      for (size_t k = ring.empty() ? 0 : 1; k < n; ++k) ring.push_back(a.simple[back ? n - 1 - k : k]);
      const Step last = back ? Reversed(a.first) : a.last;
      const Step at = End(last);
      for (int d : {RightOf(last.d), last.d, LeftOf(last.d)}) {
        const Step next{at.x, at.y, d};
        if (RightCell(next) != region || LeftCell(next) == region) continue;
        if (auto it = useStartingAt.find(Key(next, w_)); it != useStartingAt.end()) u = it->second;
        break;
      }
    }
    if (ring.front() != ring.back()) ring.push_back(ring.front());
    return ring;
  }

  std::span<const int32_t> cls_;
  int32_t w_, h_;
  std::vector<int32_t> label_;
  std::vector<TracedRegion> regions_;
  std::vector<bool> walked_;
  std::vector<Arc> arcs_;
  int64_t keptFiner_ = 0;
  int64_t keptCorners_ = 0;
  static constexpr int32_t kQuarters = 4;
  int32_t scale_ = 1;  // units of the points per cell
  FinalGrid finalGrid_;
};

}  // namespace

std::vector<TracedRegion> TraceRegions(std::span<const int32_t> classes, int32_t width,
                                       int32_t height, double tolerance, TraceCounts* counts,
                                       bool smooth, const std::function<void()>& stageDone,
                                       const FinalGrid& finalGrid) {
  if (width <= 0 || height <= 0 || classes.size() < static_cast<size_t>(width) * height) return {};
  return Tracer(classes, width, height, finalGrid).Run(tolerance, smooth, counts, stageDone);
}

}  // namespace picmap
