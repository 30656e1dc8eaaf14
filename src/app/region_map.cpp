#include "app/region_map.h"

#include <algorithm>
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

// Cell corners onto the arc-second grid. Every corner lands on one grid point whichever
// region asks, so shared borders stay shared.
class CornerGrid {
 public:
  CornerGrid(const Picture& pic, const RegionPlacement& at, int32_t unitsPerCell) {
    const int32_t u = unitsPerCell;
    lon_.resize(static_cast<size_t>(pic.width) * u + 1);
    for (int32_t x = 0; x < pic.width * u; ++x) lon_[x] = AddL(CLng(x * at.pw / u), at.west);
    lon_[static_cast<size_t>(pic.width) * u] = at.eastWrapped;
    lat_.resize(static_cast<size_t>(pic.height) * u + 1);
    for (int32_t y = 0; y <= pic.height * u; ++y)
      lat_[y] = std::clamp(SubL(at.north, CLng(y * at.ph / u)), -kPoleLimit, kPoleLimit);
  }
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
  TraceCounts traced;
  const std::vector<TracedRegion> regions =
      TraceRegions(PixelValues(picture, at.background, at.toneMask), picture.width,
                   picture.height, at.tolerance, &traced, at.smooth, stageDone);
  counts.arcs = traced.arcs;
  counts.arcsKeptFiner = traced.arcsKeptFiner;
  counts.arcsKeptCorners = traced.arcsKeptCorners;
  const CornerGrid grid(picture, at, traced.unitsPerCell);
  for (const TracedRegion& r : regions) {
    std::vector<Ring> holes;
    for (const Ring& h : r.holes) holes.push_back(grid.Placed(h));
    const std::optional<Ring> ring = JoinHoles(grid.Placed(r.outer), std::move(holes));
    if (!ring || ring->size() < 4) continue;
    if (map.Add(Figure(*ring, r.cls, at.thing))) ++counts.regions;
  }
  return counts;
}

}  // namespace picmap
