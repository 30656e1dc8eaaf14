#include "output/geo_area.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "map/clsMap.h"
#include "support/angle.h"

namespace picmap {

namespace {

constexpr int32_t kWidening = 60;

// A span of nothing (a point, figures on one meridian or one parallel) is widened by half the
// other span each way, at least a minute, so the picture is about square, not a sliver.
void Widen(int32_t& low, int32_t& high, int32_t limit, int64_t otherSpan) {
  if (low != high) return;
  const int32_t by = static_cast<int32_t>(std::clamp<int64_t>(otherSpan / 2, kWidening, limit));
  low = std::max(low - by, -limit);
  high = std::min(high + by, limit);
}

// The narrowest longitudes holding every figure's [west, east]: from the westmost to the
// eastmost, or, for a map across the 180° meridian (Fiji, the Bering Strait), from the east
// side of its widest empty stretch of longitudes round to the west side of it, when that is
// under half as wide (a world map keeps its own edges).
void NarrowestLongitudes(std::vector<std::pair<int32_t, int32_t>> spans, int32_t& west, int32_t& east) {
  std::sort(spans.begin(), spans.end());
  west = spans.front().first;
  int32_t reach = spans.front().second, gapWest = 0, gapEast = 0;
  for (const auto& [from, to] : spans) {
    if (from > reach && int64_t{from} - reach > int64_t{gapEast} - gapWest) gapWest = reach, gapEast = from;
    reach = std::max(reach, to);
  }
  east = reach;
  const int64_t around = int64_t{gapWest} + kFullTurn - gapEast;
  if (gapEast > gapWest && 2 * around < int64_t{east} - west) west = gapEast, east = gapWest;
}

}  // namespace

int64_t GeoArea::UnwrappedEast() const {
  return east > west ? static_cast<int64_t>(east) : static_cast<int64_t>(east) + kFullTurn;
}

bool GeoArea::IsValid() const {
  const auto inLon = [](int32_t v) { return v >= -kHalfTurn && v <= kHalfTurn; };
  const auto inLat = [](int32_t v) { return v >= -kQuarterTurn && v <= kQuarterTurn; };
  return inLon(west) && inLon(east) && inLat(north) && inLat(south) && north > south;
}

std::optional<GeoArea> MapBounds(const clsMap& map) {
  bool any = false;
  clsRect all{};
  std::vector<std::pair<int32_t, int32_t>> spans;
  for (const auto& f : map) {
    if (f->FigCode() == 1) continue;
    const clsRect r = f->Poly()->RectBound();
    if (r.mRight < r.mLeft || r.mBottom < r.mTop) continue;
    spans.emplace_back(r.mLeft, r.mRight);
    if (!any) {
      all = r;
      any = true;
      continue;
    }
    all.mTop = std::min(all.mTop, r.mTop);
    all.mBottom = std::max(all.mBottom, r.mBottom);
  }
  if (!any) return std::nullopt;
  GeoArea area{0, 0, all.mBottom, all.mTop};
  NarrowestLongitudes(std::move(spans), area.west, area.east);
  if (area.LonSpan() == 0) area.west = area.east = -kHalfTurn;  // 180° E and W: one meridian
  Widen(area.west, area.east, kHalfTurn, area.LatSpan());
  Widen(area.south, area.north, kQuarterTurn, area.LonSpan());
  return area;
}

QTransform GeoToPixel(const GeoArea& area, const QRectF& target) {
  const double sx = target.width() / static_cast<double>(area.LonSpan());
  const double sy = target.height() / static_cast<double>(area.LatSpan());
  // x' = (x − west) × sx + left, y' = (north − y) × sy + top
  return QTransform(sx, 0.0, 0.0, -sy, target.left() - area.west * sx,
                    target.top() + area.north * sy);
}

int32_t HeightForWidth(const GeoArea& area, int32_t width) {
  if (area.LonSpan() <= 0) return width;
  const double h = std::round(static_cast<double>(width) * static_cast<double>(area.LatSpan()) /
                              static_cast<double>(area.LonSpan()));
  return static_cast<int32_t>(std::max(1.0, h));
}

}  // namespace picmap
