// A longitude/latitude area in whole arc-seconds and its equirectangular mapping onto a
// rectangle of pixels. East at or before west means the area crosses the 180° meridian (as
// the converter reads extents), so it reaches one turn further east.
#pragma once

#include <cstdint>
#include <optional>

#include <QRectF>
#include <QTransform>

namespace picmap {

class clsMap;

struct GeoArea {
  int32_t west = 0;
  int32_t east = 0;
  int32_t north = 0;
  int32_t south = 0;

  // East as reached from west, in -648000 .. 1944000.
  int64_t UnwrappedEast() const;
  int64_t LonSpan() const { return UnwrappedEast() - west; }
  int64_t LatSpan() const { return static_cast<int64_t>(north) - south; }
  bool CrossesAntimeridian() const { return UnwrappedEast() > 648000; }
  // Longitudes and latitudes in range and north above south.
  bool IsValid() const;
  bool operator==(const GeoArea&) const = default;
};

// The smallest area holding every figure with geometry; none for a map without any. A map
// across the 180° meridian gets an area crossing it rather than the whole world. A
// figure-less extent (one point, a vertical line) is widened by a minute to keep a shape.
std::optional<GeoArea> MapBounds(const clsMap& map);

// Longitude x and latitude y in arc-seconds to pixels of `target`: the west edge at the
// target's left, the north edge at its top. The pixel centre of column j therefore stands
// for west + (j + 0.5) × the width of a pixel.
QTransform GeoToPixel(const GeoArea& area, const QRectF& target);

// The pixel height that keeps the area's aspect at the given width (at least 1).
int32_t HeightForWidth(const GeoArea& area, int32_t width);

}  // namespace picmap
