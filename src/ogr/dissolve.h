// Dissolving a converted map: its rectangles (one per pixel run) merged, per colour and thing,
// into one polygon per connected region, holes kept. Rectangles of neighbouring pixels
// overlap slightly, so pixels that touch only at a corner join one region too.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

namespace picmap::ogr {

// How the rectangles of one colour and thing are merged: traced on their grid (groups made
// of anything but rectangles still go through GEOS), or all through GEOS's union.
enum class UnionMethod { Outline, Geos };

// The connected regions of the parts.
std::vector<std::unique_ptr<OGRPolygon>> Regions(const OGRMultiPolygon& parts, UnionMethod method);

struct DissolveCounts {
  int64_t figures = 0;
  int64_t regions = 0;
};

// Creates the layer "polygons" in `target` with one feature per region of `polygons` (a
// polygons layer of the driver), carrying the thing, colour and style of its figures.
OGRLayer* DissolvePolygons(OGRLayer& polygons, GDALDataset& target, DissolveCounts* counts,
                           UnionMethod method = UnionMethod::Outline);

}  // namespace picmap::ogr
