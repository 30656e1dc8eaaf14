#include "ogr/bounds_index.h"

#include <cmath>

namespace picmap::ogr {

namespace {

Bounds Merged(const Bounds& a, const Bounds& b) {
  return {std::min(a.minX, b.minX), std::min(a.minY, b.minY), std::max(a.maxX, b.maxX),
          std::max(a.maxY, b.maxY)};
}

// Twice the centre, without overflow.
int64_t CentreX(const Bounds& b) { return int64_t{b.minX} + b.maxX; }
int64_t CentreY(const Bounds& b) { return int64_t{b.minY} + b.maxY; }

// The bounds of each run of kFanOut boxes of the level below.
std::vector<Bounds> NodesOver(const std::vector<Bounds>& below, size_t fanOut) {
  std::vector<Bounds> nodes;
  nodes.reserve((below.size() + fanOut - 1) / fanOut);
  for (size_t i = 0; i < below.size(); i += fanOut) {
    Bounds u = below[i];
    for (size_t j = i + 1; j < std::min(i + fanOut, below.size()); ++j) u = Merged(u, below[j]);
    nodes.push_back(u);
  }
  return nodes;
}

}  // namespace

// Sort-tile-recursive packing: the boxes sorted by the x of their centres are cut into
// vertical strips of about sqrt(nodes) nodes each, and each strip is sorted by y; then every
// run of kFanOut boxes is a node, and every run of kFanOut nodes a node of the next level.
BoundsIndex::BoundsIndex(size_t n, const std::function<Bounds(uint32_t)>& box) {
  std::vector<Bounds> all(n);
  for (uint32_t i = 0; i < n; ++i) {
    all[i] = box(i);
    if (!all[i].Empty()) order_.push_back(i);
  }
  if (order_.empty()) return;
  std::sort(order_.begin(), order_.end(),
            [&](uint32_t a, uint32_t b) { return CentreX(all[a]) < CentreX(all[b]); });
  const size_t nodes = (order_.size() + kFanOut - 1) / kFanOut;
  const auto strips = static_cast<size_t>(std::ceil(std::sqrt(static_cast<double>(nodes))));
  const size_t strip = ((nodes + strips - 1) / strips) * kFanOut;
  for (size_t start = 0; start < order_.size(); start += strip) {
    const auto first = order_.begin() + static_cast<std::ptrdiff_t>(start);
    const auto end = order_.begin() + static_cast<std::ptrdiff_t>(std::min(start + strip, order_.size()));
    std::sort(first, end, [&](uint32_t a, uint32_t b) { return CentreY(all[a]) < CentreY(all[b]); });
  }
  boxes_.reserve(order_.size());
  for (uint32_t i : order_) boxes_.push_back(all[i]);
  levels_.push_back(NodesOver(boxes_, kFanOut));
  while (levels_.back().size() > 1) levels_.push_back(NodesOver(levels_.back(), kFanOut));
}

}  // namespace picmap::ogr
