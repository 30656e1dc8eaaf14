#include "ogr/large_array.h"

#include <algorithm>
#include <cstdint>

namespace picmap::ogr {

void* AllocateRecords(size_t n, size_t bytes) {
  if (bytes != 0 && n > SIZE_MAX / bytes) throw std::bad_alloc();
  void* p = std::malloc(std::max<size_t>(n * bytes, 1));
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace picmap::ogr
