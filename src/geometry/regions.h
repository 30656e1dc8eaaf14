// The connected regions of a grid of classes as polygons with holes, their borders made of
// arcs between junctions that both neighbours share. Simplifying an arc once for both sides
// keeps neighbours fitting together: no gap and no overlap can open between them.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "geometry/keyhole.h"

namespace picmap {

struct TracedRegion {
  int32_t cls = -1;         // the class of its cells
  int32_t firstCell = 0;    // its first cell in row order (y * width + x)
  int64_t cells = 0;        // its size in cells
  Ring outer;               // closed rings of cell corners (x right, y down)
  std::vector<Ring> holes;
};

struct TraceCounts {
  int64_t arcs = 0;
  int64_t arcsKeptFiner = 0;  // arcs simplified less than asked, as the full tolerance crossed
  int64_t arcsKeptCorners = 0;  // arcs left unsmoothed, as rounding them crossed
  int32_t unitsPerCell = 1;     // 4 when smoothed: points are then in quarter cells
};

// The 4-connected regions of equal class in a width x height grid (row by row); cells of a
// negative class are not traced (they are the background, like the outside of the grid).
// With tolerance > 0 each border arc is simplified (Douglas-Peucker, junctions fixed) so that
// no arc crosses or touches another, nor a region collapses; an arc where the full tolerance
// would do so is simplified less. Without, rings hold only the corners where they turn.
// With `smooth`, each arc's corners are then rounded once (Chaikin, its ends fixed) under the
// same rule, and points are in quarter cells. Regions come in the order of their first cell.
// `stageDone`, when given, is called after tracing and after simplifying (a window shows its
// progress there, and may stop the work by throwing).
// `finalGrid`, when given, says where a point (in cells times its unitsPerCell) lands on the
// grid the regions are written on at last (a map's arc-seconds): the arcs are checked there, so
// that rounding onto it makes no border cross or touch another.
using FinalGrid = std::function<PolyPoint(PolyPoint point, int32_t unitsPerCell)>;
std::vector<TracedRegion> TraceRegions(std::span<const int32_t> classes, int32_t width,
                                       int32_t height, double tolerance,
                                       TraceCounts* counts = nullptr, bool smooth = false,
                                       const std::function<void()>& stageDone = {},
                                       const FinalGrid& finalGrid = {});

}  // namespace picmap
