#include "output/geo_area.h"

#include <algorithm>
#include <cmath>

#include "map/clsMap.h"
#include "support/angle.h"

namespace picmap {

namespace {

constexpr int32_t kWidening = 60;

void Widen(int32_t& low, int32_t& high, int32_t limit) {
  if (low != high) return;
  low = std::max(low - kWidening, -limit);
  high = std::min(high + kWidening, limit);
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
  for (const auto& f : map) {
    if (f->FigCode() == 1) continue;
    const clsRect r = f->Poly()->RectBound();
    if (r.mRight < r.mLeft || r.mBottom < r.mTop) continue;
    if (!any) {
      all = r;
      any = true;
      continue;
    }
    all.mLeft = std::min(all.mLeft, r.mLeft);
    all.mRight = std::max(all.mRight, r.mRight);
    all.mTop = std::min(all.mTop, r.mTop);
    all.mBottom = std::max(all.mBottom, r.mBottom);
  }
  if (!any) return std::nullopt;
  GeoArea area{all.mLeft, all.mRight, all.mBottom, all.mTop};
  Widen(area.west, area.east, kHalfTurn);
  Widen(area.south, area.north, kQuarterTurn);
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
  const double h = std::round(static_cast<double>(width) * static_cast<double>(area.LatSpan()) /
                              static_cast<double>(area.LonSpan()));
  return static_cast<int32_t>(std::max(1.0, h));
}

}  // namespace picmap
