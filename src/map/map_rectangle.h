// The compact form in which the map document keeps generated rectangles: a conversion makes
// about a million of them, and as figure objects each costs three heap blocks. A record
// becomes a clsMapPolygon only when a caller asks the document for that figure.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/colorlib.h"
#include "support/figcodes.h"

namespace picmap {

// A polygon figure with Admin 0, JumpMark 0, Reserve 0 and the five-point ring (left, top),
// (right, top), (right, bottom), (left, bottom), (left, top).
struct MapRectangle {
  double figId = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t colour = -1;
  int16_t thing = -1;
  int8_t showMode = -1;
  bool modified = true;
};
static_assert(sizeof(MapRectangle) == 32);

// What IsRight of the polygon a record stands for answers (Admin 0 and JumpMark 0 are right,
// and the ring has five points).
inline bool RectangleRight(const MapRectangle& r) {
  return IsThingNumber(r.thing) && IsColorValue(r.colour) && IsShowMode(r.showMode);
}

// Records in blocks of fixed size: growing never moves (and never copies) the records
// already stored, so the peak memory stays close to what the records need. A block is one
// large page where the system offers them: a million records then cost a few dozen page
// faults instead of several thousand, and compression's jumps between rows miss the address
// cache far less.
class RectangleArena {
  struct BlockRelease {
    void operator()(MapRectangle* p) const;
  };
  using Block = std::unique_ptr<MapRectangle[], BlockRelease>;
  static Block NewBlock();

 public:
  static constexpr size_t kBlockShift = 16;
  static constexpr size_t kBlockSize = size_t{1} << kBlockShift;

  size_t size() const { return size_; }
  MapRectangle& operator[](size_t i) { return blocks_[i >> kBlockShift][i & (kBlockSize - 1)]; }
  const MapRectangle& operator[](size_t i) const {
    return blocks_[i >> kBlockShift][i & (kBlockSize - 1)];
  }
  size_t push_back(const MapRectangle& r) {
    if ((size_ & (kBlockSize - 1)) == 0 && (size_ >> kBlockShift) == blocks_.size())
      blocks_.push_back(NewBlock());
    (*this)[size_] = r;
    return size_++;
  }
  // push_back of each, a block's share at a time.
  void append(const MapRectangle* r, size_t n) {
    while (n > 0) {
      if ((size_ & (kBlockSize - 1)) == 0 && (size_ >> kBlockShift) == blocks_.size())
        blocks_.push_back(NewBlock());
      const size_t part = std::min(n, kBlockSize - (size_ & (kBlockSize - 1)));
      std::copy_n(r, part, &(*this)[size_]);
      size_ += part;
      r += part;
      n -= part;
    }
  }
  // Room in the block table for n records: adding up to that many never moves the table.
  void reserve(size_t n) { blocks_.reserve((n + kBlockSize - 1) >> kBlockShift); }
  // Keeps the first n records and releases the blocks beyond them.
  void resize_down(size_t n) {
    if (n >= size_) return;
    size_ = n;
    blocks_.resize((n + kBlockSize - 1) >> kBlockShift);
  }
  void clear() {
    blocks_.clear();
    size_ = 0;
  }

 private:
  std::vector<Block> blocks_;
  size_t size_ = 0;
};

}  // namespace picmap
