// Two-dimensional compression: a rectangle absorbs the rectangles directly below it that have
// exactly its left and right edges and its colour, by moving its bottom edge down.
//
// The scan relies on the generation order (rows from the top, each row from left to right).
// The figures are copied once into flat arrays, and consecutive rectangles of one row (equal
// top and bottom) form a band: every test of the scan that depends only on top and bottom
// gives the same answer for a whole band, and inside a band ordered by left edge the first
// candidate is found by binary search. The result is the same as testing every rectangle in
// turn, only without walking the rest of each row again for every rectangle.
#include <algorithm>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "geometry/clsPoly.h"
#include "map/clsMap.h"
#include "map/clsMapFigure.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap {

namespace {

constexpr int16_t kOpen = -1;      // polygon still open for merging
constexpr int16_t kAbsorbed = 0;   // merged into the rectangle above it
constexpr int16_t kNotPolygon = 1;  // left unchanged
constexpr int32_t kMergeLimit = 45;

// The figures of the map as the scan reads them, indexed 1..n like the map.
struct Rects {
  std::vector<std::shared_ptr<clsMapFigure>> fig;
  std::vector<int16_t> mark;
  std::vector<int32_t> left, right, top, bottom, colour;
  std::vector<int32_t> bandEnd;    // index after the last member of the figure's band
  std::vector<uint8_t> bandSorted;  // the band's left edges never decrease

  explicit Rects(int32_t n)
      : fig(n + 1), mark(n + 1, kNotPolygon), left(n + 1), right(n + 1), top(n + 1),
        bottom(n + 1), colour(n + 1), bandEnd(n + 2), bandSorted(n + 2, 1) {}

  bool SameBand(int32_t a, int32_t b) const {
    return mark[a] == kOpen && mark[b] == kOpen && top[a] == top[b] && bottom[a] == bottom[b];
  }
};

Rects ReadFigures(clsMap& map) {
  const int32_t n = map.Count();
  Rects r(n);
  for (int32_t i = 1; i <= n; ++i) {
    std::shared_ptr<clsMapFigure> f = map.Item(i);
    r.fig[i] = f;
    if (f->FigCode() != figcode::kPolygon) {
      f->OwnShowMode(kNotPolygon);
      continue;
    }
    f->OwnShowMode(kOpen);
    r.mark[i] = kOpen;
    const clsPoly& q = *f->Poly();
    r.left[i] = q.x(1);
    r.right[i] = q.x(2);
    r.top[i] = q.y(1);
    r.bottom[i] = q.y(3);
    r.colour[i] = f->OwnColor();
  }
  // Bands, from the back: a figure joins the band of its successor when both are open
  // polygons with the same top and bottom.
  r.bandEnd[n] = n + 1;
  for (int32_t i = n - 1; i >= 1; --i) {
    if (r.SameBand(i, i + 1)) {
      r.bandEnd[i] = r.bandEnd[i + 1];
      r.bandSorted[i] = r.bandSorted[i + 1] && r.left[i] <= r.left[i + 1];
    } else {
      r.bandEnd[i] = i + 1;
    }
  }
  return r;
}

// The first index from i within [i, end) whose left edge is not below x (bands ordered by
// left edge only); every member skipped would have been passed over by the scan.
int32_t FirstCandidate(const Rects& r, int32_t i, int32_t end, int32_t x) {
  if (!r.bandSorted[i]) return i;
  auto first = r.left.begin() + i, last = r.left.begin() + end;
  return static_cast<int32_t>(std::lower_bound(first, last, x) - r.left.begin());
}

// Extends rectangle d downwards over the rectangles below it and marks the absorbed ones.
void AbsorbBelow(Rects& r, int32_t d, int32_t n) {
  const int32_t k = r.colour[d], x1 = r.left[d], x2 = r.right[d];
  int32_t w = r.bottom[d];
  int32_t merged = 0;
  clsPoly& p = *r.fig[d]->Poly();
  int32_t i = d + 1;
  while (i <= n) {
    if (r.mark[i] == kNotPolygon) {
      ++i;
      continue;
    }
    const int32_t end = r.bandEnd[i];
    if (r.top[i] < w) {  // the band lies lower: the first open member ends the scan
      for (int32_t j = i; j < end; ++j)
        if (r.mark[j] == kOpen) return;
      i = end;
      continue;
    }
    if (r.bottom[i] >= w) {  // the band shares the current bottom row or lies above it
      i = end;
      continue;
    }
    for (int32_t j = FirstCandidate(r, i, end, x1); j < end; ++j) {
      if (r.mark[j] != kOpen) continue;
      if (r.left[j] != x1) {
        if (r.left[j] > x1) return;
        continue;
      }
      if (r.right[j] != x2 || r.colour[j] != k) continue;
      w = r.bottom[j];
      p.y(3, w);
      p.y(4, w);
      r.mark[j] = kAbsorbed;
      r.fig[j]->OwnShowMode(kAbsorbed);
      if (++merged == kMergeLimit) return;
      break;  // the rest of this band now shares the new bottom row
    }
    i = end;
  }
}

std::u16string Dec(int64_t n) { return FromUtf8(std::to_string(n)); }

}  // namespace

int32_t frmMainLogic::Compress2D() {
  clsMap& map = *state_.oMap;
  const int32_t n = map.Count();
  Rects r = ReadFigures(map);
  for (int32_t d = 1; d <= n - 1; ++d) {
    if (d % 8 == 0) {
      window_.SetProgressMax(n);
      window_.SetProgressValue(d);
      RunPendingEvents();
      if (state_.cancelRequest) {
        window_.SetProgressValue(0);
        return -1;
      }
    }
    if (r.mark[d] == kOpen) AbsorbBelow(r, d, n);
  }
  map.Clear();
  for (int32_t i = 1; i <= n; ++i) {
    if (r.mark[i] == kAbsorbed) continue;
    r.fig[i]->OwnShowMode(kOpen);
    map.Add(r.fig[i]);  // a figure the map refuses is lost and counted as removed
  }
  window_.SetProgressValue(0);
  return n - map.Count();
}

void frmMainLogic::mnuCompress_Click() {
  window_.SetMenuEnabled(Menu::mnuCompress, false);
  window_.SetMenuEnabled(Menu::mnuCancel, true);
  state_.cancelRequest = false;
  ScreenMousePointer(pointer::kHourglass);
  const std::u16string caption = window_.Caption();
  window_.SetCaption(caption + u"   [圧縮中...]");
  int32_t r = -1;
  try {
    r = Compress2D();
  } catch (...) {
    window_.SetCaption(caption);
    ScreenMousePointer(-1);
    window_.SetMenuEnabled(Menu::mnuCancel, false);
    window_.SetMenuEnabled(Menu::mnuCompress, true);
    throw;
  }
  window_.SetCaption(caption);
  ScreenMousePointer(-1);
  lastCompress_ = r;
  if (r < 0)
    window_.Message(frmtext::kCompressCancelled, true);
  else
    window_.Message(u"２次元圧縮を完了しました(削減数=" + Dec(r) + u"). 保存してください.", false);
  window_.SetMenuEnabled(Menu::mnuCancel, false);
  window_.SetMenuEnabled(Menu::mnuCompress, true);
  ShowStatus();
}

void frmMainLogic::mnuCancel_Click() {
  state_.cancelRequest = true;
  window_.SetMenuEnabled(Menu::mnuCancel, false);
}

}  // namespace picmap
