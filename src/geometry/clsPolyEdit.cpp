// Editing members of clsPoly: inserting and deleting, lines and rectangle outlines, closing,
// moving, joining, splitting, subdividing and clipping to a rectangle.
#include <algorithm>
#include <cstring>
#include <vector>

#include "geometry/clsPoly.h"
#include "support/errors.h"
#include "support/numeric.h"

namespace picmap {

bool clsPoly::InsXandY(int32_t index, int32_t px, int32_t py) {
  if (!InBoundIndex(index) || count_ >= kMaxCount) return false;
  if (count_ >= capacity_) Reserve(static_cast<int32_t>(std::min<int64_t>(int64_t{capacity_} * 2, kMaxCount)));
  std::memmove(pts_ + index, pts_ + (index - 1), static_cast<size_t>(count_ - index + 1) * sizeof(PolyPoint));
  pts_[index - 1] = {px, py};
  ++count_;
  flags_ = kModified;
  return true;
}

bool clsPoly::Del(int32_t index) {
  try {
    if (!InBoundIndex(index)) return false;
    if (count_ == 1) {
      Count(0);
      return true;
    }
    std::memmove(pts_ + (index - 1), pts_ + index, static_cast<size_t>(count_ - index) * sizeof(PolyPoint));
    --count_;
    flags_ = kModified;
    return true;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Del");
  }
}

void clsPoly::SetLine(int32_t sx, int32_t sy, int32_t ex, int32_t ey) {
  Count(2);
  pts_[0] = {sx, sy};
  pts_[1] = {ex, ey};
  flags_ = kModified;
}

void clsPoly::SetRect(int32_t sx, int32_t sy, int32_t ex, int32_t ey) {
  Count(5);
  pts_[0] = {sx, sy};
  pts_[1] = {ex, sy};
  pts_[2] = {ex, ey};
  pts_[3] = {sx, ey};
  pts_[4] = {sx, sy};
  flags_ = kModified;
}

void clsPoly::MakeLoop() {
  if (!IsLoop() && count_ > 2) AddPoint(pts_[0]);
}

void clsPoly::Move(int32_t dx, int32_t dy) {
  // Marked first: an overflow part-way leaves moved points behind, and the cached bounds
  // must not outlive them.
  flags_ = kModified;
  for (int32_t i = 0; i < count_; ++i) {
    pts_[i].x = AddL(pts_[i].x, dx);
    pts_[i].y = AddL(pts_[i].y, dy);
  }
}

bool clsPoly::Connect(const clsPoly* oPoly) {
  try {
    if (!oPoly || oPoly->count_ == 0 || int64_t{count_} + oPoly->count_ > kMaxCount) return false;
    if (oPoly == this) {
      const clsPoly same(*this);
      return Connect(&same);
    }
    if (count_ > 0 && Last() == oPoly->pts_[0]) Del(count_);
    const int32_t k = count_;
    Count(k + oPoly->count_);
    return oPoly->ToArray(MutablePoints(), 1, k + 1, oPoly->count_);
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Connect");
  }
}

std::shared_ptr<clsPoly> clsPoly::Divide(int32_t index) {
  try {
    auto second = std::make_shared<clsPoly>();
    if (count_ > 2 && InBoundIndex(index)) {
      second->FromArray(Points(), index, 1, count_ - index + 1);
      Count(index);
    }
    return second;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Divide");
  }
}

// ---- Chop ----

namespace {
int32_t SegmentMeasure(int16_t st, int32_t dx, int32_t dy) {
  switch (st) {
    case 1: return AbsL(dx);
    case 2: return AbsL(dy);
    default: return std::max(AbsL(dx), AbsL(dy));
  }
}

// Appends the k - 1 evenly spaced points strictly between p and q.
void AppendBetween(std::vector<PolyPoint>& out, PolyPoint p, int32_t dx, int32_t dy, int64_t k) {
  const double stepX = dx / static_cast<double>(k), stepY = dy / static_cast<double>(k);
  double ax = p.x, ay = p.y;
  for (int64_t t = 1; t < k; ++t) {
    ax += stepX;
    ay += stepY;
    out.push_back({CLng(ax), CLng(ay)});
  }
}
}  // namespace

bool clsPoly::Chop(int32_t pitch, int16_t st) {
  try {
    if (st < 1 || st > 3 || pitch < 2) return false;
    const int16_t remembered = flags_;
    const bool complete = ChopInto(pitch, st);
    // The new points lie on existing segments, so the bounds stay what they were.
    flags_ = static_cast<int16_t>(remembered | kModified);
    return complete;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Chop");
  }
}

// Rebuilds the list with the subdivided segments. Subdividing stops before the list would
// reach MaxCount; the remaining segments are then kept as they are and the result is False.
bool clsPoly::ChopInto(int32_t pitch, int16_t st) {
  if (count_ < 2) return true;
  std::vector<PolyPoint> out;
  out.reserve(static_cast<size_t>(count_) + 1000);
  out.push_back(pts_[0]);
  bool complete = true;
  for (int32_t i = 1; i < count_; ++i) {
    const PolyPoint p = pts_[i - 1], q = pts_[i];
    const int32_t dx = SubL(q.x, p.x), dy = SubL(q.y, p.y);
    const int32_t m = SegmentMeasure(st, dx, dy);
    if (complete && m > pitch) {
      const int64_t k = (int64_t{m} + pitch - 1) / pitch;
      const int64_t total = int64_t(out.size()) + (k - 1) + (count_ - i);
      if (total >= kMaxCount)
        complete = false;
      else
        AppendBetween(out, p, dx, dy, k);
    }
    out.push_back(q);
  }
  if (int64_t(out.size()) != count_) {
    Count(static_cast<int32_t>(out.size()));
    std::memcpy(pts_, out.data(), out.size() * sizeof(PolyPoint));
  }
  return complete;
}

// ---- Clip ----

namespace {
struct ClipSideRule {
  int16_t side;
  int32_t boundary;

  bool Inside(const PolyPoint& p) const {
    switch (side) {
      case outcode::kLeft: return p.x >= boundary;
      case outcode::kRight: return p.x <= boundary;
      case outcode::kAbove: return p.y >= boundary;
      default: return p.y <= boundary;
    }
  }

  PolyPoint Crossing(const PolyPoint& p, const PolyPoint& q) const {
    if (side == outcode::kLeft || side == outcode::kRight) {
      const double r = double(SubL(boundary, p.x)) / double(SubL(q.x, p.x));
      return {boundary, AddL(p.y, CLng(SubL(q.y, p.y) * r))};
    }
    const double r = double(SubL(boundary, p.y)) / double(SubL(q.y, p.y));
    return {AddL(p.x, CLng(SubL(q.x, p.x) * r)), boundary};
  }
};

int32_t BoundaryOf(const clsRect& r, int16_t side) {
  switch (side) {
    case outcode::kLeft: return r.mLeft;
    case outcode::kRight: return r.mRight;
    case outcode::kAbove: return r.mTop;
    default: return r.mBottom;
  }
}
}  // namespace

bool clsPoly::Clip(const clsRect& oRect) {
  try {
    // An empty list has nothing inside any rectangle.
    if (!ComputeBounds()) {
      Count(0);
      return false;
    }
    const int16_t a = oRect.OutCode(bounds_.minX, bounds_.minY);
    const int16_t b = oRect.OutCode(bounds_.maxX, bounds_.maxY);
    if ((a & b) != 0) {
      Count(0);
      return false;
    }
    if ((a | b) == 0) return true;
    std::vector<PolyPoint> work;
    work.reserve(static_cast<size_t>(count_) + 1000);
    for (int16_t side : {outcode::kLeft, outcode::kRight, outcode::kAbove, outcode::kBelow}) {
      if (((a | b) & side) != 0 && !ClipSide(oRect, side, work)) {
        Count(0);
        return false;
      }
    }
    flags_ = kModified;
    return true;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Clip");
  }
}

// Keeps the part of the chain on the inner side of one rectangle side, with the crossings;
// a loop is closed again afterwards.
bool clsPoly::ClipSide(const clsRect& oRect, int16_t side, std::vector<PolyPoint>& work) {
  const bool wasLoop = IsLoop();
  const ClipSideRule rule{side, BoundaryOf(oRect, side)};
  work.clear();
  bool previousInside = false;
  for (int32_t j = 0; j < count_; ++j) {
    const PolyPoint& q = pts_[j];
    const bool inside = rule.Inside(q);
    if (j > 0 && inside != previousInside) work.push_back(rule.Crossing(pts_[j - 1], q));
    if (inside) work.push_back(q);
    previousInside = inside;
  }
  if (work.size() < 2) return false;
  if (work.size() > size_t{kMaxCount}) Throw(err::kSubscript);
  Count(static_cast<int32_t>(work.size()));
  std::memcpy(pts_, work.data(), work.size() * sizeof(PolyPoint));
  if (wasLoop) MakeLoop();
  return true;
}

}  // namespace picmap
