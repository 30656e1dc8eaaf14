// The union of axis-parallel rectangles as polygons, traced on the grid their edges make:
// one polygon per connected region (rectangles that overlap or share an edge), outer ring
// counter-clockwise, holes clockwise. A converted map is one rectangle per pixel run, and
// this is several times faster on them than a general polygon union.
#pragma once

#include <memory>
#include <vector>

#include <ogr_geometry.h>

namespace picmap::ogr {

struct Box {
  double x0, y0, x1, y1;  // x0 < x1, y0 < y1
};

// The box of a polygon that is exactly an axis-parallel rectangle (a closed ring of four
// corners, no holes); false for any other shape or a rectangle without area.
bool AsBox(const OGRPolygon& polygon, Box& box);

std::vector<std::unique_ptr<OGRPolygon>> TraceUnion(const std::vector<Box>& boxes);

}  // namespace picmap::ogr
