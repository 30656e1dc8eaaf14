// Where a layer's figures lie in the map file: one entry per figure, in map order, kept in
// blocks of 65536. A converted map has about a million figures: growing the table never
// copies what it holds, and it never holds much more room than entries.
#pragma once

#include <cstdint>
#include <vector>

#include "ogr/bounds_index.h"
#include "ogr/large_array.h"

namespace picmap::ogr {

struct LayerEntry {
  int64_t offset;   // where the element's figure code starts
  Bounds bounds;    // empty for a figure without geometry
  int32_t position; // the 1-based place of the figure in the map: its feature ID
};
static_assert(sizeof(LayerEntry) == 32);

class LayerEntries {
 public:
  static constexpr size_t kBlockShift = 16;
  static constexpr size_t kBlockSize = size_t{1} << kBlockShift;

  size_t size() const { return size_; }
  const LayerEntry& operator[](size_t i) const {
    return blocks_[i >> kBlockShift][i & (kBlockSize - 1)];
  }
  void push_back(const LayerEntry& e) {
    if ((size_ & (kBlockSize - 1)) == 0) blocks_.emplace_back(kBlockSize);
    blocks_.back()[size_ & (kBlockSize - 1)] = e;
    ++size_;
  }
  // The first entry whose position is not below `position` (size() when there is none).
  size_t LowerBound(int64_t position) const;

 private:
  std::vector<LargeArray<LayerEntry>> blocks_;
  size_t size_ = 0;
};

}  // namespace picmap::ogr
