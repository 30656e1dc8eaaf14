#include "ogr/bounds_index.h"

namespace picmap::ogr {

namespace {

// The curve runs through a grid of 2^kGridBits by 2^kGridBits cells over the layer's extent:
// millions of cells, more than the nodes of any map, and keys that two radix passes sort.
constexpr int kGridBits = 11;

Bounds Merged(const Bounds& a, const Bounds& b) {
  return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX),
          std::max(a.maxY, b.maxY)};
}

// The cell of the centre of lo .. hi (a box's edges) among the grid's from `from` to `to`.
uint32_t Cell(int32_t lo, int32_t hi, int32_t from, int32_t to) {
  if (to <= from) return 0;
  const int64_t twiceCentre = int64_t{lo} + hi;
  return static_cast<uint32_t>((twiceCentre - 2 * int64_t{from}) * ((1 << kGridBits) - 1) /
                               (2 * (int64_t{to} - from)));
}

// The bits of a number below 2^16 spread to the even places of 32.
uint32_t Spread(uint32_t v) {
  v = (v | (v << 8)) & 0x00FF00FFu;
  v = (v | (v << 4)) & 0x0F0F0F0Fu;
  v = (v | (v << 2)) & 0x33333333u;
  v = (v | (v << 1)) & 0x55555555u;
  return v;
}

// The bounds of each run of `fanOut` of the level below.
template <class Level, class BoxOf>
std::vector<Bounds> NodesOver(const Level& below, size_t fanOut, const BoxOf& boxOf) {
  std::vector<Bounds> nodes;
  nodes.reserve((below.size() + fanOut - 1) / fanOut);
  for (size_t i = 0; i < below.size(); i += fanOut) {
    Bounds u = boxOf(below[i]);
    for (size_t j = i + 1; j < std::min(i + fanOut, below.size()); ++j) u = Merged(u, boxOf(below[j]));
    nodes.push_back(u);
  }
  return nodes;
}

}  // namespace

// The leaves follow the Z-order curve through the centres of the boxes (the bits of the two
// cell numbers interleaved), so that consecutive leaves lie near each other.
uint64_t BoundsIndex::CurveKey(const Bounds& box, const Bounds& extent) {
  const uint32_t x = Cell(box.minX, box.maxX, extent.minX, extent.maxX);
  const uint32_t y = Cell(box.minY, box.maxY, extent.minY, extent.maxY);
  return uint64_t{Spread(x) | Spread(y) << 1} << 32;
}

// kGridBits bits of the key at a time, lowest first: a pass keeps the order of equal digits,
// so after both the values are sorted (and the boxes of one key stay in their order).
void BoundsIndex::SortByKey(LargeArray<uint64_t>& keyed) {
  constexpr uint32_t kMask = (1u << kGridBits) - 1;
  LargeArray<uint64_t> spare(keyed.size());
  for (int shift = 32; shift < 32 + 2 * kGridBits; shift += kGridBits) {
    size_t start[kMask + 2] = {};
    for (const uint64_t v : keyed) ++start[((v >> shift) & kMask) + 1];
    for (size_t d = 1; d <= kMask + 1; ++d) start[d] += start[d - 1];
    for (const uint64_t v : keyed) spare[start[(v >> shift) & kMask]++] = v;
    keyed.swap(spare);
  }
}

// Every run of kFanOut leaves is a node, every run of kFanOut nodes a node of the next level.
void BoundsIndex::BuildLevels() {
  if (leaves_.size() == 0) return;
  levels_.push_back(NodesOver(leaves_, kFanOut, [](const Leaf& leaf) { return leaf.box; }));
  while (levels_.back().size() > 1)
    levels_.push_back(NodesOver(levels_.back(), kFanOut, [](const Bounds& b) { return b; }));
}

}  // namespace picmap::ogr
