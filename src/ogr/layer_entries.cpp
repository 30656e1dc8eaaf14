#include "ogr/layer_entries.h"

namespace picmap::ogr {

size_t LayerEntries::LowerBound(int64_t position) const {
  size_t low = 0, high = size_;
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if ((*this)[mid].position < position) low = mid + 1;
    else high = mid;
  }
  return low;
}

}  // namespace picmap::ogr
