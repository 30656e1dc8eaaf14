#include "map/map_rectangle.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace picmap {

namespace {
constexpr size_t kBlockBytes = RectangleArena::kBlockSize * sizeof(MapRectangle);
static_assert(kBlockBytes == size_t{2} << 20, "a block fills one large page");
}  // namespace

RectangleArena::Block RectangleArena::NewBlock() {
  void* p = std::aligned_alloc(kBlockBytes, kBlockBytes);
  if (!p) throw std::bad_alloc();
  ::madvise(p, kBlockBytes, MADV_HUGEPAGE);  // only advice: without large pages all still works
  return Block(static_cast<MapRectangle*>(p));
}

void RectangleArena::BlockRelease::operator()(MapRectangle* p) const { std::free(p); }

}  // namespace picmap
