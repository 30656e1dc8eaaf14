// The map of a cleaned picture as regions: one polygon figure per connected region of one
// colour, its holes joined by keyholes, its border arcs shared with its neighbours.
#pragma once

#include <cstdint>
#include <functional>

#include "app/picture.h"

namespace picmap {

class clsMap;

// Where the picture lies and what its figures carry.
struct RegionPlacement {
  int32_t west = 0, eastWrapped = 0, north = 0;
  double pw = 0, ph = 0;  // arc-seconds per pixel
  int32_t background = -1, toneMask = 0;
  int16_t thing = 0;
  double tolerance = 0;  // pixels
  bool smooth = false;   // round the borders' corners
};

struct RegionCounts {
  int64_t regions = 0;
  int64_t arcs = 0;
  int64_t arcsKeptFiner = 0;
  int64_t arcsKeptCorners = 0;
};

// Adds the regions' figures to `map` in the order of their first pixel. A region's colour is
// the one its rectangles would have had (tone mask applied); background pixels are none.
// `stageDone`, when given, is called after tracing and after simplifying, for each side of the
// 180° meridian the picture lies on.
RegionCounts AddRegionFigures(clsMap& map, const Picture& picture, const RegionPlacement& at,
                              const std::function<void()>& stageDone = {});

}  // namespace picmap
