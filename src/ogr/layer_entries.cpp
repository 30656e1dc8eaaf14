#include "ogr/layer_entries.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace picmap::ogr {

namespace {
constexpr size_t kBlockBytes = LayerEntries::kBlockSize * sizeof(LayerEntry);
static_assert(kBlockBytes == size_t{2} << 20, "a block fills one large page");
}  // namespace

LayerEntries::Block LayerEntries::NewBlock() {
  void* p = std::aligned_alloc(kBlockBytes, kBlockBytes);
  if (!p) throw std::bad_alloc();
  ::madvise(p, kBlockBytes, MADV_HUGEPAGE);  // only advice: without large pages all still works
  return Block(static_cast<LayerEntry*>(p));
}

void LayerEntries::BlockRelease::operator()(LayerEntry* p) const { std::free(p); }

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
