#include "ogr/large_array.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

namespace picmap::ogr {

namespace {
constexpr size_t kLargePage = size_t{2} << 20;
}  // namespace

void* AllocateLarge(size_t n, size_t bytes) {
  if (n > SIZE_MAX / bytes) throw std::bad_alloc();
  size_t size = std::max<size_t>(n * bytes, 1);
  void* p;
  if (size < kLargePage) {
    p = std::malloc(size);
  } else {
    size = (size + kLargePage - 1) / kLargePage * kLargePage;
    p = std::aligned_alloc(kLargePage, size);
    if (p) ::madvise(p, size, MADV_HUGEPAGE);  // only advice: without large pages all still works
  }
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace picmap::ogr
