// A decoded raster picture as the conversion reads it: a colour 0x00BBGGRR per pixel, rows
// from the top, so generation reads pixels directly instead of asking a picture box.
//
// The pixels stay in the buffer the decoder filled: four bytes R, G, B, X per pixel, or one
// palette index per pixel for palette and grey pictures. Copies share that buffer; Set gives
// a copy a buffer of its own first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace picmap {

class Picture {
 public:
  using Palette = std::array<int32_t, 256>;

  Picture() = default;
  // A picture of its own, every pixel `fill`.
  Picture(int32_t w, int32_t h, int32_t fill = 0);
  // A picture over a buffer the owner keeps alive: 4-byte R, G, B, X pixels, or (palette
  // given) 1-byte indexes into it.
  static Picture Direct(int32_t w, int32_t h, const uint8_t* bits, ptrdiff_t stride,
                        std::shared_ptr<const void> owner);
  static Picture Indexed(int32_t w, int32_t h, const uint8_t* bits, ptrdiff_t stride,
                         const Palette& palette, std::shared_ptr<const void> owner);

  int32_t width = 0;
  int32_t height = 0;
  // Whether the X byte of a direct picture tells its footprint: pixels whose X byte is 0 lie
  // outside the source picture (beyond a warped picture's edges, transparent or no-data in a
  // GIS raster) and are never mapped. Pictures read by Qt are whole and leave it false.
  bool footprint = false;

  bool Empty() const { return width <= 0 || height <= 0; }
  bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // Unchecked: callers stay inside 0..width-1, 0..height-1.
  int32_t At(int32_t x, int32_t y) const {
    const uint8_t* line = bits_ + y * stride_;
    if (palette_) return (*palette_)[line[x]];
    return reinterpret_cast<const int32_t*>(line)[x] & 0xFFFFFF;
  }
  void Set(int32_t x, int32_t y, int32_t colour);
  // The colours of row y into out[0 .. width-1].
  void ReadRow(int32_t y, int32_t* out) const;
  bool Inside(int32_t x, int32_t y) const {
    return !footprint || palette_ || bits_[y * stride_ + x * 4 + 3] != 0;
  }

  // The buffer as it is, for showing the picture without copying it.
  bool IsIndexed() const { return palette_ != nullptr; }
  const Palette* ColourTable() const { return palette_.get(); }
  const uint8_t* Bits() const { return bits_; }
  ptrdiff_t Stride() const { return stride_; }
  const std::shared_ptr<const void>& Owner() const { return owner_; }

 private:
  void MakeOwnDirectCopy();

  const uint8_t* bits_ = nullptr;
  ptrdiff_t stride_ = 0;
  std::shared_ptr<const Palette> palette_;
  std::shared_ptr<const void> owner_;
  uint32_t* own_ = nullptr;  // the buffer when this picture alone owns it (Set may write)
};

}  // namespace picmap
