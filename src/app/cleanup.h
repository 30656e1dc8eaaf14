// Clean-up of a real picture before generation: its colours reduced to a few representative
// ones (chosen, or read from a palette file) and its speckles merged into their surroundings,
// so that a scan, a photograph or an anti-aliased drawing converts like a flat-colour map.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/picture.h"

namespace picmap {

struct CleanupOptions {
  int colours = 0;              // reduce to this many colours (0: keep the picture's)
  std::vector<int32_t> palette; // snap every pixel to the nearest of these (empty: none)
  int sieve = 0;                // merge 8-connected regions below this many pixels
  bool regions = false;         // one polygon per connected region instead of rectangles
  double simplify = 0;          // tolerance of the shared border arcs, in pixels
  bool smooth = false;          // round the corners of the border arcs (Chaikin)
  bool ChangesPicture() const { return colours > 0 || !palette.empty() || sieve > 0; }
  bool Any() const { return ChangesPicture() || regions; }
};

// The most colours a cleaned picture holds (it is a palette picture).
constexpr int kMaxCleanColours = 256;

// The colours of a palette file: one #RRGGBB per line, or a GIMP palette (.gpl, "R G B name"
// lines after its header). Blank lines and # comments are skipped. Throws Error naming the
// file and the line it cannot read.
std::vector<int32_t> ReadPaletteFile(const std::u16string& path);

// `count` colours that represent the picture, chosen by k-means in OKLab over the histogram of
// its steady pixels (not the blends along borders), centres that come out as one colour twice
// seeded again elsewhere; `fixed` (the background colour) is one of them, unchanged. Fewer
// when the picture holds fewer. Deterministic.
std::vector<int32_t> RepresentativeColours(const Picture& picture, int count,
                                           std::optional<int32_t> fixed);

// One palette index per pixel, rows from the top.
struct IndexGrid {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> index;
  std::vector<int32_t> palette;
};

// Every pixel as the index of the palette colour nearest to it in OKLab; a pixel outside the
// patches of its colour that is better explained as a blend of the patches' colours around it
// takes the one of them it is nearer to, so the blends along a border fall to its two sides.
IndexGrid SnapToPalette(const Picture& picture, std::vector<int32_t> palette);

// Merges every 8-connected (or 4-connected) region of one index smaller than `minPixels` into
// the neighbouring region it shares the longest border with (counted in pixel edges), smallest
// regions first. Returns the number of regions merged.
int64_t Sieve(IndexGrid& grid, int32_t minPixels, int connectivity = 8);

// The picture the generation reads after the clean-up `options` asks for; `background` (-1:
// none) is kept as one of the reduced colours, so the background rule still finds it. For
// regions the sieve also merges 4-connected regions below its size, as regions are traced so.
Picture CleanPicture(const Picture& picture, const CleanupOptions& options, int32_t background);

}  // namespace picmap
