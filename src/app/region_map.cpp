#include "app/region_map.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "geometry/keyhole.h"
#include "geometry/regions.h"
#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "support/numeric.h"

namespace picmap {

namespace {

constexpr int32_t kPoleLimit = 323985;  // as the rectangles: 15″ short of the poles

// The value each pixel has for the rectangles: its colour with the tone mask, or -1.
std::vector<int32_t> PixelValues(const Picture& pic, int32_t background, int32_t mask) {
  std::vector<int32_t> values(static_cast<size_t>(pic.width) * pic.height);
  for (int32_t y = 0; y < pic.height; ++y) {
    int32_t* row = values.data() + static_cast<size_t>(y) * pic.width;
    pic.ReadRow(y, row);
    for (int32_t x = 0; x < pic.width; ++x)
      row[x] = row[x] == background || !pic.Inside(x, y) ? -1 : (row[x] | mask);
  }
  return values;
}

constexpr int32_t kMeridian = 648000;    // 180° in arc-seconds
constexpr int32_t kFullTurn = 1296000;
constexpr int32_t kEdgeLimit = 647999;   // as the rectangles: 1″ short of the 180° meridian

// The columns of the picture traced as one part, and where their edges lie: a picture across
// the 180° meridian is traced in two, the column the meridian passes through in both.
struct Columns {
  int32_t first = 0, count = 0;
  int32_t shift = 0;               // taken off every longitude: a turn east of the meridian
  bool cutWest = false, cutEast = false;  // an edge on the meridian
};

// The longitude of the west edge of column x (x = width: the east edge of the picture).
int32_t ColumnEdge(const Picture& pic, const RegionPlacement& at, int64_t x, int32_t unitsPerCell) {
  return x == static_cast<int64_t>(pic.width) * unitsPerCell ? at.eastWrapped
                                                             : AddL(CLng(x * at.pw / unitsPerCell), at.west);
}

// A column belongs to the part on either side where it keeps some width once its edges stop
// 1″ short of the meridian, so no part holds a column of no width.
std::vector<Columns> PartsOf(const Picture& pic, const RegionPlacement& at) {
  if (at.eastWrapped <= kMeridian) return {{0, pic.width, 0, false, false}};
  int32_t westEnd = 0, eastStart = 0;
  while (westEnd < pic.width && ColumnEdge(pic, at, westEnd, 1) < kEdgeLimit) ++westEnd;
  while (eastStart < pic.width && ColumnEdge(pic, at, eastStart + 1, 1) - kFullTurn <= -kEdgeLimit) ++eastStart;
  std::vector<Columns> parts;
  if (westEnd > 0) parts.push_back({0, westEnd, 0, false, true});
  if (eastStart < pic.width) parts.push_back({eastStart, pic.width - eastStart, kFullTurn, true, false});
  return parts;
}

// Cell corners onto the arc-second grid. Every corner lands on one grid point whichever
// region asks, so shared borders stay shared.
class CornerGrid {
 public:
  CornerGrid(const Picture& pic, const RegionPlacement& at, const Columns& part, int32_t unitsPerCell) {
    const int32_t u = unitsPerCell;
    lon_.resize(static_cast<size_t>(part.count) * u + 1);
    for (size_t x = 0; x < lon_.size(); ++x) {
      const int32_t lon = ColumnEdge(pic, at, static_cast<int64_t>(part.first) * u + static_cast<int64_t>(x), u);
      // Points inside the column the meridian passes through stay on their side of it.
      lon_[x] = part.cutEast ? std::min(lon, kEdgeLimit) : lon - part.shift;
      if (part.cutWest) lon_[x] = std::max(lon_[x], -kEdgeLimit);
    }
    lat_.resize(static_cast<size_t>(pic.height) * u + 1);
    for (int32_t y = 0; y <= pic.height * u; ++y)
      lat_[y] = std::clamp(SubL(at.north, CLng(y * at.ph / u)), -kPoleLimit, kPoleLimit);
  }
  PolyPoint Placed(const PolyPoint& p) const { return {lon_[p.x], lat_[p.y]}; }
  Ring Placed(const Ring& ring) const {
    Ring out;
    out.reserve(ring.size());
    for (const PolyPoint& p : ring) {
      const PolyPoint q{lon_[p.x], lat_[p.y]};
      if (out.empty() || !(out.back() == q)) out.push_back(q);
    }
    return out;
  }

 private:
  std::vector<int32_t> lon_, lat_;
};

// The values of the part's columns, row after row.
std::vector<int32_t> ColumnsOf(const std::vector<int32_t>& values, int32_t width, int32_t height,
                               const Columns& part) {
  if (part.first == 0 && part.count == width) return values;
  std::vector<int32_t> out(static_cast<size_t>(part.count) * height);
  for (int32_t y = 0; y < height; ++y)
    std::copy_n(values.begin() + static_cast<ptrdiff_t>(y) * width + part.first, part.count,
                out.begin() + static_cast<ptrdiff_t>(y) * part.count);
  return out;
}

std::shared_ptr<clsMapPolygon> Figure(const Ring& ring, int32_t colour, int16_t thing) {
  auto figure = std::make_shared<clsMapPolygon>();
  figure->Admin(0);
  figure->Thing(thing);
  figure->OwnColor(colour);
  clsPoly& poly = *figure->Poly();
  for (const PolyPoint& p : ring) poly.AddXandY(p.x, p.y);
  return figure;
}

}  // namespace

RegionCounts AddRegionFigures(clsMap& map, const Picture& picture, const RegionPlacement& at,
                              const std::function<void()>& stageDone) {
  RegionCounts counts;
  const std::vector<int32_t> values = PixelValues(picture, at.background, at.toneMask);
  const std::vector<Columns> parts = PartsOf(picture, at);
  for (const Columns& part : parts) {
    TraceCounts traced;
    // Borders are checked where they are written: smoothed corners fall on quarters of a
    // pixel, which the arc-second grid rounds (2.5″ of a 10″ pixel to 2″ or 3″), and two
    // borders a hair apart could cross there.
    const CornerGrid cells(picture, at, part, 1), quarters(picture, at, part, 4);
    const FinalGrid onMap = [&](PolyPoint p, int32_t unitsPerCell) {
      return (unitsPerCell == 1 ? cells : quarters).Placed(p);
    };
    const std::vector<TracedRegion> regions =
        TraceRegions(ColumnsOf(values, picture.width, picture.height, part), part.count, picture.height,
                     at.tolerance, &traced, at.smooth, stageDone, onMap);
    counts.arcs += traced.arcs;
    counts.arcsKeptFiner += traced.arcsKeptFiner;
    counts.arcsKeptCorners += traced.arcsKeptCorners;
    const CornerGrid& grid = traced.unitsPerCell == 1 ? cells : quarters;
    for (const TracedRegion& r : regions) {
      std::vector<Ring> holes;
      for (const Ring& h : r.holes) holes.push_back(grid.Placed(h));
      const std::optional<Ring> ring = JoinHoles(grid.Placed(r.outer), std::move(holes));
      if (!ring || ring->size() < 4) continue;
      if (map.Add(Figure(*ring, r.cls, at.thing))) ++counts.regions;
    }
  }
  return counts;
}

}  // namespace picmap
