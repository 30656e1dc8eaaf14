// Node compression of clsPoly: thinning by detour and chord length, halving by averages.
#include <cmath>
#include <cstring>

#include "geometry/clsPoly.h"
#include "support/errors.h"
#include "support/numeric.h"

namespace picmap {

namespace {
double Distance(const PolyPoint& a, const PolyPoint& b) {
  const double dx = SubL(b.x, a.x), dy = SubL(b.y, a.y);
  return std::sqrt(dx * dx + dy * dy);
}

// Whether the middle point m between p and q adds too little to be kept: the chord p-q is
// short enough and the detour through m is within the tolerance (on the chord always is).
bool IsRemovable(const PolyPoint& p, const PolyPoint& m, const PolyPoint& q, double dif,
                 double limit) {
  const double chord = Distance(p, q);
  if (chord > limit) return false;
  const double detour = Distance(q, m) + Distance(m, p) - chord;
  return !(detour > 0 && detour > dif);
}

PolyPoint Average3(const PolyPoint& a, const PolyPoint& b, const PolyPoint& c) {
  return {DivL(AddL(AddL(a.x, b.x), c.x), 3), DivL(AddL(AddL(a.y, b.y), c.y), 3)};
}

PolyPoint Average2(const PolyPoint& a, const PolyPoint& b) {
  return {DivL(AddL(a.x, b.x), 2), DivL(AddL(a.y, b.y), 2)};
}

// The list during thinning: points 1..w kept in front, the untested rest from r to n at the
// back. Deleting the point after the front is then r += 1 instead of moving the whole tail;
// the tail is joined up once at the end.
class GapList {
 public:
  GapList(PolyPoint* pts, int32_t n) : pts_(pts), w_(0), r_(0), n_(n) {}

  int32_t Count() const { return w_ + (n_ - r_); }
  const PolyPoint& Front() const { return pts_[w_ - 1]; }
  const PolyPoint& Back(int32_t k) const { return pts_[r_ + k]; }
  void DropNext() { ++r_; }
  bool Advance() {
    if (r_ >= n_) return false;
    pts_[w_++] = pts_[r_++];
    return true;
  }
  // Makes the front hold exactly points 1..w.
  void FrontTo(int32_t w) {
    if (w < w_) {
      const int32_t k = w_ - w;
      std::memmove(pts_ + (r_ - k), pts_ + w, size_t(k) * sizeof(PolyPoint));
      r_ -= k;
    } else if (w > w_) {
      const int32_t k = w - w_;
      std::memmove(pts_ + w_, pts_ + r_, size_t(k) * sizeof(PolyPoint));
      r_ += k;
    }
    w_ = w;
  }
  int32_t Close() {
    FrontTo(Count());
    return w_;
  }

 private:
  PolyPoint* pts_;
  int32_t w_, r_, n_;
};
}  // namespace

void clsPoly::CompressB(double dif, double limit) {
  try {
    if (count_ <= 3) return;
    if (IsHorizontal() || IsVertical()) {
      CollapseToLine();
      return;
    }
    ThinInPasses(dif, limit);
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"CompressB");
  }
}

// A straight list becomes the line between its bounding corners, in its own direction.
void clsPoly::CollapseToLine() {
  ComputeBounds();
  const Bounds b = bounds_;
  const PolyPoint first = pts_[0], last = pts_[count_ - 1];
  if (SubL(last.x, first.x) > 0 || SubL(last.y, first.y) > 0)
    SetLine(b.minX, b.minY, b.maxX, b.maxY);
  else
    SetLine(b.maxX, b.maxY, b.minX, b.minY);
}

// Each pass tests j from the start index to the end index; a pass that deleted points is
// followed by one over the stretch from just before its first to its last deletion.
void clsPoly::ThinInPasses(double dif, double limit) {
  GapList list(pts_, count_);
  bool deleted = false;
  try {
    int32_t start = 1, end = count_ - 2;
    for (;;) {
      int32_t lastHit = 0;
      list.FrontTo(start);
      for (int32_t j = start; j <= end; ++j) {
        if (j <= list.Count() - 2 &&
            IsRemovable(list.Front(), list.Back(0), list.Back(1), dif, limit)) {
          list.DropNext();
          deleted = true;
          --end;
          if (lastHit == 0 && j > 1) start = j - 1;
          lastHit = j;
        }
        if (!list.Advance()) break;
      }
      end = lastHit;
      if (lastHit == 0) break;
    }
  } catch (...) {
    count_ = list.Close();
    if (deleted) flags_ = kModified;
    throw;
  }
  count_ = list.Close();
  if (deleted) flags_ = kModified;
}

void clsPoly::CompressHalf() {
  if (count_ < 2) return;
  const clsPoly half = IsLoop() ? HalfOfLoop() : HalfOfOpen();
  Count(half.count_);
  half.ToArray(MutablePoints(), 1, 1, half.count_);
}

clsPoly clsPoly::HalfOfLoop() const {
  clsPoly half;
  for (int32_t i = 1; i <= count_ - 2; i += 2)
    half.AddPoint(Average3(pts_[i - 1], pts_[i], pts_[i + 1]));
  if (count_ % 2 == 0) half.AddPoint(Average2(pts_[count_ - 2], pts_[count_ - 1]));
  half.MakeLoop();
  return half;
}

clsPoly clsPoly::HalfOfOpen() const {
  clsPoly half;
  half.AddPoint(pts_[0]);
  for (int32_t i = 2; i <= count_ - 3; i += 2)
    half.AddPoint(Average3(pts_[i - 1], pts_[i], pts_[i + 1]));
  half.AddPoint(pts_[count_ - 1]);
  return half;
}

}  // namespace picmap
