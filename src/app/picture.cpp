#include "app/picture.h"

#include <algorithm>
#include <vector>

namespace picmap {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;  // the X byte of an R, G, B, X pixel

// 0x00BBGGRR laid out as R, G, B, X in memory.
uint32_t Pixel(int32_t colour) { return (static_cast<uint32_t>(colour) & 0xFFFFFFu) | kOpaque; }

}  // namespace

Picture::Picture(int32_t w, int32_t h, int32_t fill) : width(w), height(h) {
  const size_t n = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0));
  auto buffer = std::make_shared<std::vector<uint32_t>>(std::max<size_t>(n, 1), Pixel(fill));
  own_ = buffer->data();
  bits_ = reinterpret_cast<const uint8_t*>(own_);
  stride_ = static_cast<ptrdiff_t>(std::max(w, 0)) * 4;
  owner_ = std::move(buffer);
}

Picture Picture::Direct(int32_t w, int32_t h, const uint8_t* bits, ptrdiff_t stride,
                        std::shared_ptr<const void> owner) {
  Picture p;
  p.width = w;
  p.height = h;
  p.bits_ = bits;
  p.stride_ = stride;
  p.owner_ = std::move(owner);
  return p;
}

Picture Picture::Indexed(int32_t w, int32_t h, const uint8_t* bits, ptrdiff_t stride,
                         const Palette& palette, std::shared_ptr<const void> owner) {
  Picture p = Direct(w, h, bits, stride, std::move(owner));
  p.palette_ = std::make_shared<const Palette>(palette);
  return p;
}

void Picture::Set(int32_t x, int32_t y, int32_t colour) {
  if (!own_ || owner_.use_count() > 1) MakeOwnDirectCopy();
  own_[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
      Pixel(colour);
}

void Picture::ReadRow(int32_t y, int32_t* out) const {
  const uint8_t* line = bits_ + y * stride_;
  if (palette_) {
    const Palette& pal = *palette_;
    for (int32_t x = 0; x < width; ++x) out[x] = pal[line[x]];
    return;
  }
  const auto* px = reinterpret_cast<const int32_t*>(line);
  for (int32_t x = 0; x < width; ++x) out[x] = px[x] & 0xFFFFFF;
}

void Picture::MakeOwnDirectCopy() {
  Picture copy(width, height);
  for (int32_t y = 0; y < height; ++y) ReadRow(y, reinterpret_cast<int32_t*>(copy.own_) + static_cast<size_t>(y) * width);
  for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) copy.own_[i] |= kOpaque;
  if (footprint && !palette_) {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        if (!Inside(x, y)) copy.own_[static_cast<size_t>(y) * width + x] &= ~kOpaque;
    copy.footprint = true;
  }
  *this = std::move(copy);
}

}  // namespace picmap
