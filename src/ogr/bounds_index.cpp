#include "ogr/bounds_index.h"

#include <limits>

namespace picmap::ogr {

namespace {

Bounds Merged(const Bounds& a, const Bounds& b) {
  return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX),
          std::max(a.maxY, b.maxY)};
}

// The centre, halved sums without overflow.
int32_t CentreX(const Bounds& b) { return static_cast<int32_t>((int64_t{b.minX} + b.maxX) >> 1); }
int32_t CentreY(const Bounds& b) { return static_cast<int32_t>((int64_t{b.minY} + b.maxY) >> 1); }

// The value's place among 65536 steps from lo to hi.
uint32_t Step(int32_t v, int32_t lo, int32_t hi) {
  if (hi <= lo) return 0;
  return static_cast<uint32_t>((int64_t{v} - lo) * 65535 / (int64_t{hi} - lo));
}

// The bits of a 16-bit number spread to the even places of 32.
uint32_t Spread(uint32_t v) {
  v = (v | (v << 8)) & 0x00FF00FFu;
  v = (v | (v << 4)) & 0x0F0F0F0Fu;
  v = (v | (v << 2)) & 0x33333333u;
  v = (v | (v << 1)) & 0x55555555u;
  return v;
}

// By key, 11 bits at a time, lowest first: a pass keeps the order of equal digits, so after
// the three the leaves are sorted.
void SortByKey(LargeArray<BoundsIndex::Leaf>& leaves) {
  constexpr int kDigit = 11;
  constexpr uint32_t kMask = (1u << kDigit) - 1;
  LargeArray<BoundsIndex::Leaf> spare(leaves.size());
  for (int shift = 0; shift < 32; shift += kDigit) {
    size_t start[kMask + 2] = {};
    for (const auto& leaf : leaves) ++start[((leaf.key >> shift) & kMask) + 1];
    for (size_t d = 1; d <= kMask + 1; ++d) start[d] += start[d - 1];
    for (const auto& leaf : leaves) spare[start[(leaf.key >> shift) & kMask]++] = leaf;
    leaves.swap(spare);
  }
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
// coordinates interleaved), so that consecutive boxes lie near each other; every run of
// kFanOut leaves is a node, every run of kFanOut nodes a node of the next level.
void BoundsIndex::Build() {
  if (leaves_.size() == 0) return;
  int32_t loX = std::numeric_limits<int32_t>::max(), hiX = std::numeric_limits<int32_t>::min();
  int32_t loY = loX, hiY = hiX;
  for (const Leaf& leaf : leaves_) {
    loX = std::min(loX, CentreX(leaf.box));
    hiX = std::max(hiX, CentreX(leaf.box));
    loY = std::min(loY, CentreY(leaf.box));
    hiY = std::max(hiY, CentreY(leaf.box));
  }
  for (Leaf& leaf : leaves_)
    leaf.key = Spread(Step(CentreX(leaf.box), loX, hiX)) | Spread(Step(CentreY(leaf.box), loY, hiY)) << 1;
  SortByKey(leaves_);
  levels_.push_back(NodesOver(leaves_, kFanOut, [](const Leaf& leaf) { return leaf.box; }));
  while (levels_.back().size() > 1)
    levels_.push_back(NodesOver(levels_.back(), kFanOut, [](const Bounds& b) { return b; }));
}

}  // namespace picmap::ogr
