// A packed R-tree over the bounds of a layer's figures, built once the layer is filtered a
// second time: each filter over a small area then visits the figures there instead of the
// bounds of every figure.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ogr/large_array.h"

namespace picmap::ogr {

// Inclusive bounds in the map's own units; min above max for a figure without any.
struct Bounds {
  int32_t minX, minY, maxX, maxY;
  bool Empty() const { return minX > maxX; }
};

class BoundsIndex {
 public:
  // Over the boxes box(0) .. box(n - 1), which all lie within `extent`; empty boxes are never
  // found.
  template <class BoxOf>
  BoundsIndex(size_t n, const Bounds& extent, const BoxOf& box);

  // The numbers, ascending, of the boxes for which `meets` is true, visiting only the parts
  // of the tree whose node bounds `meets` too (it must hold for a node whenever it holds for
  // a box inside it).
  template <class Meets>
  std::vector<uint32_t> Search(const Meets& meets) const;

 private:
  static constexpr size_t kFanOut = 16;
  struct Leaf {
    Bounds box;
    uint32_t number;  // the box's number
  };

  // The key of the box's place on the curve the leaves follow.
  static uint64_t CurveKey(const Bounds& box, const Bounds& extent);
  // Sorts the (key << 32 | number) values by key.
  static void SortByKey(LargeArray<uint64_t>& keyed);
  void BuildLevels();

  LargeArray<Leaf> leaves_;                  // near boxes next to each other
  std::vector<std::vector<Bounds>> levels_;  // node bounds; levels_[0] over leaves_, the last is the root
};

// The boxes are visited twice in their own order, once for their keys and once, in the order
// of the keys, for the leaves.
template <class BoxOf>
BoundsIndex::BoundsIndex(size_t n, const Bounds& extent, const BoxOf& box) {
  LargeArray<uint64_t> keyed(n);
  size_t kept = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const Bounds b = box(i);
    if (!b.Empty()) keyed[kept++] = CurveKey(b, extent) | i;
  }
  keyed.resize_down(kept);
  SortByKey(keyed);
  leaves_ = LargeArray<Leaf>(kept);
  for (size_t i = 0; i < kept; ++i) {
    const auto number = static_cast<uint32_t>(keyed[i]);
    leaves_[i] = {box(number), number};
  }
  BuildLevels();
}

template <class Meets>
std::vector<uint32_t> BoundsIndex::Search(const Meets& meets) const {
  std::vector<uint32_t> found;
  if (levels_.empty()) return found;
  struct Node {
    size_t level, index;
  };
  std::vector<Node> pending{{levels_.size() - 1, 0}};
  while (!pending.empty()) {
    const Node node = pending.back();
    pending.pop_back();
    if (!meets(levels_[node.level][node.index])) continue;
    const size_t first = node.index * kFanOut;
    if (node.level == 0) {
      const size_t end = std::min(first + kFanOut, leaves_.size());
      for (size_t i = first; i < end; ++i)
        if (meets(leaves_[i].box)) found.push_back(leaves_[i].number);
      continue;
    }
    const size_t end = std::min(first + kFanOut, levels_[node.level - 1].size());
    for (size_t i = first; i < end; ++i) pending.push_back({node.level - 1, i});
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace picmap::ogr
