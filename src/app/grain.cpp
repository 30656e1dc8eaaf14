#include "app/grain.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace picmap {

namespace {

int Channel(int32_t colour, int i) { return (colour >> (8 * i)) & 0xFF; }

// Median of the values a histogram counts.
int MedianOf(const std::vector<int64_t>& histogram, int64_t total) {
  int64_t seen = 0;
  for (size_t v = 0; v < histogram.size(); ++v)
    if ((seen += histogram[v]) * 2 >= total) return static_cast<int>(v);
  return 0;
}

}  // namespace

double GrainOf(const Picture& picture) {
  const int32_t w = picture.width, h = picture.height;
  if (w < 3 || h < 3) return 0;
  // The mask [1 -2 1; -2 4 -2; 1 -2 1] leaves nothing of a flat or sloping area, and 6 sigma
  // of noise; its |values| reach 16 x 255.
  std::array<std::vector<int64_t>, 3> histogram;
  for (auto& bins : histogram) bins.assign(16 * 255 + 1, 0);
  std::array<std::vector<int32_t>, 3> rows;
  for (auto& row : rows) row.resize(static_cast<size_t>(w));
  picture.ReadRow(0, rows[0].data());
  picture.ReadRow(1, rows[1].data());
  for (int32_t y = 1; y + 1 < h; ++y) {
    picture.ReadRow(y + 1, rows[(y + 1) % 3].data());
    const std::vector<int32_t>& up = rows[(y - 1) % 3];
    const std::vector<int32_t>& mid = rows[y % 3];
    const std::vector<int32_t>& down = rows[(y + 1) % 3];
    for (int32_t x = 1; x + 1 < w; ++x)
      for (int c = 0; c < 3; ++c) {
        const auto at = [&](const std::vector<int32_t>& row, int32_t dx) { return Channel(row[static_cast<size_t>(x + dx)], c); };
        const int r = at(up, -1) - 2 * at(up, 0) + at(up, 1) - 2 * at(mid, -1) + 4 * at(mid, 0) - 2 * at(mid, 1) +
                      at(down, -1) - 2 * at(down, 0) + at(down, 1);
        ++histogram[static_cast<size_t>(c)][static_cast<size_t>(std::abs(r))];
      }
  }
  const int64_t total = int64_t{w - 2} * (h - 2);
  double grain = 0;
  // The median of |N(0, 6 sigma)| is 0.6745 x 6 sigma.
  for (const auto& bins : histogram) grain = std::max(grain, MedianOf(bins, total) / (0.6745 * 6));
  return grain;
}

Picture WithoutGrain(const Picture& picture, double grain) {
  const int32_t w = picture.width, h = picture.height;
  Picture out(w, h);
  const double limit = 3 * (2.5 * grain) * (2.5 * grain);  // squared, over three channels
  std::array<std::vector<int32_t>, 3> rows;
  for (auto& row : rows) row.resize(static_cast<size_t>(w));
  const auto read = [&](int32_t y) {
    picture.ReadRow(std::clamp(y, 0, h - 1), rows[static_cast<size_t>((y + 3) % 3)].data());
  };
  read(-1);
  read(0);
  for (int32_t y = 0; y < h; ++y) {
    read(y + 1);
    const std::vector<int32_t>& mid = rows[static_cast<size_t>(y % 3)];
    for (int32_t x = 0; x < w; ++x) {
      const int32_t own = mid[static_cast<size_t>(x)];
      int sum[3] = {0, 0, 0}, n = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int32_t c = rows[static_cast<size_t>((y + dy + 3) % 3)][static_cast<size_t>(std::clamp(x + dx, 0, w - 1))];
          double d2 = 0;
          for (int i = 0; i < 3; ++i) d2 += (Channel(c, i) - Channel(own, i)) * (Channel(c, i) - Channel(own, i));
          if (d2 > limit) continue;
          for (int i = 0; i < 3; ++i) sum[i] += Channel(c, i);
          ++n;
        }
      int32_t mean = 0;
      for (int i = 0; i < 3; ++i) mean |= static_cast<int32_t>(std::lround(static_cast<double>(sum[i]) / n)) << (8 * i);
      out.Set(x, y, mean);
    }
  }
  out.footprint = false;
  return out;
}

}  // namespace picmap
