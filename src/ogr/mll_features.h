// How the figures of a map become OGR features: one layer per kind of figure, a feature per
// figure with its position in the map as feature ID, its attributes as fields and an OGR
// style string so that GIS programs draw it in its colour. Everything the driver (and with it
// `picmap-cli export`) hands out goes through here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <ogrsf_frmts.h>

#include "things/thing_lookup.h"

namespace picmap {

class clsMapFigure;
class clsPoly;

namespace ogr {

struct LayerKind {
  const char* name;
  int32_t figCode;
  OGRwkbGeometryType geometry;
};

// polygons, polylines, symbols, texts, remarks: the layers of every map, in this order.
constexpr int kLayerKinds = 5;
const LayerKind& LayerKindAt(int i);

// Degrees from arc-seconds: the nearest double to sec / 3600.
inline double SecToDegrees(int32_t sec) { return sec / 3600.0; }

// "#RRGGBB" of a colour 0x00BBGGRR; empty for -1.
std::string ColorHex(int32_t bgr);
// The colour of "#RRGGBB" (or "#RRGGBBAA", alpha ignored); -1 when it is none.
int32_t ColorFromHex(const char* text);

// The dataset metadata item that names the thing file beside a map read (for a translation
// from map to map to keep it).
inline constexpr char kThingFileItem[] = "THING_FILE";

// The fields of the layer (owned by the caller, who Reference()s it).
OGRFeatureDefn* NewLayerDefinition(const LayerKind& kind, OGRSpatialReference* srs);

// What the features of one map share, worked out once: the texts and colour of each thing
// (a converted map has a million figures of one thing), and the date of the second the last
// figure was made in (its figures were made within a few seconds).
class FeatureCache {
 public:
  struct Thing {
    std::string name, categoryName;
    std::optional<int16_t> category;
    int32_t fore = -1;  // the thing's colour, -1 for none
  };
  explicit FeatureCache(const ThingLookup& things) : things_(things) {}
  const Thing& ThingOf(int16_t thing);
  // The creation time of the identifier as fig_date gives it; raises as FigDateOf does.
  const std::string& DateOf(double figId);

 private:
  const ThingLookup& things_;
  std::vector<std::optional<Thing>> known_;  // by thing number
  Thing other_;
  std::optional<double> second_;  // of the date below
  std::string date_;
};

// What every feature of one map needs besides its figure.
struct FeatureContext {
  const ThingLookup* things;
  bool degrees;  // a longitude/latitude map: arc-seconds become degrees
  // Kept by a reader of many features of the map; without it each feature works all out anew.
  FeatureCache* cache = nullptr;
  // Versions before 1.06 store no figure identifier: the one a figure gets at each reading is
  // no identity, and its fields stay null.
  bool storesIds = true;
};

// The feature of the figure at 1-based position `index` (null geometry for a point list too
// short for its type).
// Whether a box of arc-seconds lies within a turn east or west and the poles: beyond them a
// figure's points are bytes of a damaged file, and GEOS would spend gigabytes on its ring.
inline bool OnTheGlobe(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY) {
  return minX >= -1296000 && maxX <= 1296000 && minY >= -324000 && maxY <= 324000;
}

OGRFeature* FeatureOf(const clsMapFigure& figure, int32_t index, OGRFeatureDefn* defn,
                      const FeatureContext& context);

// The figure's bounds in the layer's units; false for a figure without geometry.
bool FigureEnvelope(const clsMapFigure& figure, bool degrees, OGREnvelope& out);

}  // namespace ogr
}  // namespace picmap
