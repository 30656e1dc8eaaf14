// Clean-up of a real picture before generation: its colours reduced to a few representative
// ones (chosen, or read from a palette file) and its speckles merged into their surroundings,
// so that a scan, a photograph or an anti-aliased drawing converts like a flat-colour map.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/picture.h"

namespace picmap {

struct CleanupOptions {
  int colours = 0;              // reduce to this many colours (0: keep the picture's)
  std::vector<int32_t> palette; // snap every pixel to the nearest of these (empty: none)
  std::u16string paletteFile;   // the file the palette was read from, shown when it is changed
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

// Up to `count` colours that represent the picture: the peaks of the histogram of its flat
// areas and of the middles of its thin lines (never of the blends along borders), most pixels
// first, each one taken when it is no shade of a colour taken before (and, for a line, no
// blend of two of them); then refined by k-means in OKLab. `fixed` (the background colour)
// is one of them, unchanged. While they are fewer than `count`, a line's colour that only the
// middles of thin lines drawn on show (a dark border beside dark areas, whose blurred middles
// are tints of them) is added. Fewer when the picture shows fewer; the picture's own colours
// when it holds no more than `count`. Deterministic. `lines`, when given, tells which of them
// were taken from thin lines rather than areas.
std::vector<int32_t> RepresentativeColours(const Picture& picture, int count,
                                           std::optional<int32_t> fixed, std::vector<bool>* lines = nullptr);

constexpr uint8_t kSureOfLine = 1, kSureOfArea = 2;

// One palette index per pixel, rows from the top.
struct IndexGrid {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> index;
  std::vector<int32_t> palette;
  // How sure each pixel is of its colour: kSureOfArea on a flat spot close to it, kSureOfLine
  // on a line's middle close to it, 0 not (empty: every pixel is sure of an area). A region
  // holding no sure pixel is made of blends alone.
  std::vector<uint8_t> sure;
  // Which palette colours are those of thin lines (empty: any may be).
  std::vector<bool> lines;
};

// Every pixel as the index of the palette colour nearest to it in OKLab; the middle of a thin
// line that stands out towards a line's colour (`lines`) takes it; a pixel not sure of its
// colour that is better explained as a blend of two or three colours sure nearby takes the one
// the blend holds most of, so the blends along a border fall to its sides; a line's gaps of a
// pixel or two, and the corners where its pixels meet only diagonally, take the line's colour
// where they hold some of it and the line runs between two colours, or runs on across one
// colour (a gap no longer than the line is thick, not a neck of an area between two shores).
// Without `settle`, every pixel is only the nearest colour (a picture of these very colours).
IndexGrid SnapToPalette(const Picture& picture, std::vector<int32_t> palette, std::vector<bool> lines = {},
                        bool settle = true);

// Merges every 8-connected (or 4-connected) region of one index smaller than `minPixels` into
// the neighbouring region it shares the longest border with (counted in pixel edges), smallest
// regions first; a region smaller than `alikePixels` too, when that neighbour's colour is
// nearly its own; a piece of a thin line of any size into a neighbour of nearly its colour
// (the middle of a blurred line wavers between shades); and a region of any size without a
// pixel sure of its colour whose colours in `picture` (when given) average to a mix of its
// neighbours'; and, with `picture`, a strip smaller than `alikePixels` whose colour is a mix of
// two of its neighbours' (a colour drawn from the blends of one border), and a region smaller
// than `alikePixels`, sure of its colour on few pixels, whose colours average to such a mix,
// into a neighbour of a shade like its own; and a dash of a line (of a line's colour, smaller
// than `alikePixels`, sure of no area and going round nothing) into the neighbour it shares the
// longest border with. Returns the number of regions merged.
int64_t Sieve(IndexGrid& grid, int32_t minPixels, int connectivity = 8, int32_t alikePixels = 0,
              const Picture* picture = nullptr);

// Where a line runs along most of the border between two areas (60% of it or more) and the
// areas still touch, pixel beside pixel, in its gaps, those pixels take the line's colour, so a
// border broken by the blur is one line again; not where the line's colour is the two areas'
// own blend (their blurred edge). Returns the number of pixels drawn.
int64_t BridgeLineGaps(IndexGrid& grid);

// Where a line ends on another (a border on a coast), the blends round its end can let the
// area beyond (the sea) reach it and cut the other line in two. A stretch of that area's pixels
// along the ending line, a few pixels long, with a piece of the other line at each end, takes
// the other line's colour. Returns the number of pixels drawn.
int64_t CloseLinesAtJunctions(IndexGrid& grid);

// The picture the generation reads after the clean-up `options` asks for; `background` (-1:
// none) is kept as one of the reduced colours, so the background rule still finds it. For
// regions of a picture whose colours were reduced the sieve also merges 4-connected regions
// below its size, as regions are traced so; a picture already in the colours asked for (or in
// its own) keeps every region the 8-connected sieve keeps.
// `report`, when given, is told how many colours the cleaned picture holds, and whether the
// picture shows the background colour at all: a colour it holds no area of (typed, not picked)
// is no colour of the clean-up either, or the blends nearest to it would be left unmapped, holes
// in the map. `stageDone`, when
// given, is called after the colours are chosen, after snapping and after the sieve;
// `stepDone` between the steps of the sieve's stage, a second or two apart on a large picture
// (a window answers there, and may stop the work by throwing).
struct CleanupReport {
  int colours = 0;                // how many colours the cleaned picture holds
  bool backgroundUnseen = false;  // the picture shows no area of the background colour
  double grain = 0;               // the grain averaged away first, in levels (0: none)
};

Picture CleanPicture(const Picture& picture, const CleanupOptions& options, int32_t background,
                     CleanupReport* report = nullptr, const std::function<void()>& stageDone = {},
                     const std::function<void()>& stepDone = {});

}  // namespace picmap
