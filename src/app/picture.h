// A decoded raster picture as the conversion reads it: one 0x00BBGGRR value per pixel, rows
// from the top, so generation reads pixels directly instead of asking a picture box.
#pragma once

#include <cstdint>
#include <vector>

namespace picmap {

struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<int32_t> pixels;  // width * height values, row by row from the top

  Picture() = default;
  Picture(int32_t w, int32_t h, int32_t fill = 0)
      : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

  bool Empty() const { return width <= 0 || height <= 0; }
  bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // Unchecked: callers stay inside 0..width-1, 0..height-1.
  int32_t At(int32_t x, int32_t y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  void Set(int32_t x, int32_t y, int32_t colour) {
    pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = colour;
  }
};

}  // namespace picmap
