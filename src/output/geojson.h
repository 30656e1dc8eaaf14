// GeoJSON export (RFC 7946) of a longitude/latitude map: one FeatureCollection in degrees,
// polygons as Polygon (ring closed and counter-clockwise), polylines as LineString, symbols
// and texts as Point, with the figure's thing, thing name, district, colour and identifier
// as properties (texts also their two texts and angle) and the map's header remarks as the
// foreign member "header". Features are written one at a time, so a map of a million
// rectangles never has to exist as one JSON tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QJsonArray>
#include <QJsonObject>

#include "output/thing_lookup.h"

namespace picmap {

class clsMap;
class clsMapFigure;

struct GeoJsonSummary {
  int64_t features = 0;
  int64_t skipped = 0;  // figures too degenerate for their geometry type
};

// Degrees from arc-seconds; the shortest text of the double reads back to the same value.
double SecToDegrees(int32_t sec);
// Whole arc-seconds from degrees (the inverse for whole-second values).
int32_t DegreesToSec(double degrees);

// "#RRGGBB" for a colour 0x00BBGGRR; null for -1.
QJsonValue ColorJson(int32_t bgr);

// The feature of one figure; none for remarks and degenerate figures.
std::optional<QJsonObject> FeatureOf(const clsMapFigure& figure, const ThingLookup& things);

// The leading remark lines of the map, in order.
QJsonArray HeaderOf(const clsMap& map);

// Writes the collection to `file` (replaced only once the whole export is written). Returns
// 0 or the number of the file error (75 when it cannot be created, 61 when a write fails).
int32_t ExportGeoJson(const clsMap& map, const ThingLookup& things, const std::u16string& file,
                      GeoJsonSummary* summary = nullptr);

}  // namespace picmap
