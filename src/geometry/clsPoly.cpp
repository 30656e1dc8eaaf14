// Storage, point access, bounds cache, measures, copies and the file forms of clsPoly.
#include "geometry/clsPoly.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

#include "support/binfile.h"
#include "support/errors.h"
#include "support/numeric.h"

namespace picmap {

// The file forms are written and read as one block of the in-memory points.
static_assert(std::endian::native == std::endian::little);

namespace {
constexpr int32_t kShortFormMax = 65535;
// The first growth makes room for a closed rectangle (five points): the converter builds
// millions of those point by point, and a larger first block would double their memory.
constexpr int32_t kMinGrowth = 5;

PolyPoint* AllocateZeroed(int32_t slots) {
  void* p = std::calloc(static_cast<size_t>(slots), sizeof(PolyPoint));
  if (!p) throw std::bad_alloc();
  return static_cast<PolyPoint*>(p);
}
}  // namespace

clsPoly::clsPoly() : pts_(AllocateZeroed(1)), capacity_(1) {}

clsPoly::~clsPoly() { std::free(pts_); }

clsPoly::clsPoly(const clsPoly& other)
    : pts_(AllocateZeroed(std::max(other.count_, 1))),
      capacity_(std::max(other.count_, 1)),
      count_(other.count_),
      flags_(other.flags_),
      bounds_(other.bounds_) {
  if (count_ > 0) std::memcpy(pts_, other.pts_, static_cast<size_t>(count_) * sizeof(PolyPoint));
}

clsPoly& clsPoly::operator=(const clsPoly& other) {
  if (this != &other) {
    clsPoly copy(other);
    *this = std::move(copy);
  }
  return *this;
}

clsPoly::clsPoly(clsPoly&& other) noexcept
    : pts_(std::exchange(other.pts_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      count_(std::exchange(other.count_, 0)),
      flags_(std::exchange(other.flags_, 0)),
      bounds_(std::exchange(other.bounds_, Bounds{})) {}

clsPoly& clsPoly::operator=(clsPoly&& other) noexcept {
  if (this != &other) {
    std::swap(pts_, other.pts_);
    std::swap(capacity_, other.capacity_);
    std::swap(count_, other.count_);
    std::swap(flags_, other.flags_);
    std::swap(bounds_, other.bounds_);
  }
  return *this;
}

// ---- Storage ----

void clsPoly::Reserve(int32_t capacity) {
  capacity = std::max(capacity, 1);
  void* p = std::realloc(pts_, static_cast<size_t>(capacity) * sizeof(PolyPoint));
  if (!p) throw std::bad_alloc();
  pts_ = static_cast<PolyPoint*>(p);
  capacity_ = capacity;
}

// Grows the count, the new points being (0, 0). A fresh zeroed block avoids touching the
// memory of a large list that is sized up front and filled later.
void clsPoly::GrowTo(int32_t newCount) {
  if (newCount > capacity_) {
    PolyPoint* fresh = AllocateZeroed(newCount);
    if (count_ > 0) std::memcpy(fresh, pts_, static_cast<size_t>(count_) * sizeof(PolyPoint));
    std::free(pts_);
    pts_ = fresh;
    capacity_ = newCount;
  } else {
    std::memset(pts_ + count_, 0, static_cast<size_t>(newCount - count_) * sizeof(PolyPoint));
  }
  count_ = newCount;
}

void clsPoly::Count(int32_t nPoint) {
  if (nPoint <= 0) {
    PolyPoint* fresh = AllocateZeroed(1);
    std::free(pts_);
    pts_ = fresh;
    capacity_ = 1;
    count_ = 0;
    bounds_ = Bounds{};  // an empty list never reports the bounds of points it no longer has
  } else {
    nPoint = std::min(nPoint, kMaxCount);
    if (nPoint > count_) {
      GrowTo(nPoint);
    } else {
      count_ = nPoint;
      if (nPoint < capacity_ / 2) Reserve(nPoint);
    }
  }
  flags_ = kModified;
}

bool clsPoly::AddXandY(int32_t px, int32_t py) {
  if (count_ >= kMaxCount) return false;
  if (count_ >= capacity_) {
    const int64_t doubled = std::max<int64_t>(int64_t{capacity_} * 2, kMinGrowth);
    Reserve(static_cast<int32_t>(std::min<int64_t>(doubled, kMaxCount)));
  }
  pts_[count_++] = {px, py};
  flags_ = kModified;
  return true;
}

// ---- Point access ----

PolyPoint& clsPoly::At(int32_t index) {
  if (!InBoundIndex(index)) Throw(err::kSubscript);
  return pts_[index - 1];
}

const PolyPoint& clsPoly::At(int32_t index) const {
  if (!InBoundIndex(index)) Throw(err::kSubscript);
  return pts_[index - 1];
}

const PolyPoint& clsPoly::Last() const { return At(count_); }

int32_t clsPoly::x(int32_t index) const { return At(index).x; }
int32_t clsPoly::y(int32_t index) const { return At(index).y; }

void clsPoly::x(int32_t index, int32_t value) {
  At(index).x = value;
  flags_ = kModified;
}

void clsPoly::y(int32_t index, int32_t value) {
  At(index).y = value;
  flags_ = kModified;
}

int32_t clsPoly::LastX() const { return Last().x; }
int32_t clsPoly::LastY() const { return Last().y; }
void clsPoly::LastX(int32_t value) { x(count_, value); }
void clsPoly::LastY(int32_t value) { y(count_, value); }

void clsPoly::GetXandY(int32_t index, int32_t& px, int32_t& py) const {
  const PolyPoint& p = At(index);
  px = p.x;
  py = p.y;
}

void clsPoly::SetXandY(int32_t index, int32_t px, int32_t py) { SetPoint(index, {px, py}); }
void clsPoly::SetLastXandY(int32_t px, int32_t py) { SetPoint(count_, {px, py}); }
void clsPoly::GetLastXandY(int32_t& px, int32_t& py) const { GetXandY(count_, px, py); }

PolyPoint clsPoly::GetPoint(int32_t index) const { return At(index); }

void clsPoly::SetPoint(int32_t index, const PolyPoint& pt) {
  At(index) = pt;
  flags_ = kModified;
}

int32_t clsPoly::LineWidth(int32_t index) const {
  const PolyPoint& from = At(index);
  return SubL(At(index + 1).x, from.x);
}

int32_t clsPoly::LineHeight(int32_t index) const {
  const PolyPoint& from = At(index);
  return SubL(At(index + 1).y, from.y);
}

// ---- Tests and measures ----

bool clsPoly::IsLoop() const { return count_ >= 4 && pts_[count_ - 1] == pts_[0]; }

bool clsPoly::IsMatch(const clsPoly& second) const {
  return count_ == second.count_ && std::equal(pts_, pts_ + count_, second.pts_);
}

bool clsPoly::ComputeBounds() const {
  if (count_ == 0) return false;
  if (flags_ & kBoundValid) return true;
  Bounds b{pts_[0].x, pts_[0].x, pts_[0].y, pts_[0].y};
  for (int32_t i = 1; i < count_; ++i) {
    const PolyPoint& p = pts_[i];
    if (p.x < b.minX)
      b.minX = p.x;
    else if (p.x > b.maxX)
      b.maxX = p.x;
    if (p.y < b.minY)
      b.minY = p.y;
    else if (p.y > b.maxY)
      b.maxY = p.y;
  }
  bounds_ = b;
  flags_ |= kBoundValid;
  return true;
}

void clsPoly::SetBound4(int32_t sx, int32_t sy, int32_t ex, int32_t ey) {
  bounds_ = Bounds{sx, ex, sy, ey};
  flags_ |= kBoundValid;
}

void clsPoly::GetBound4(int32_t& sx, int32_t& sy, int32_t& ex, int32_t& ey) const {
  ComputeBounds();
  sx = bounds_.minX;
  sy = bounds_.minY;
  ex = bounds_.maxX;
  ey = bounds_.maxY;
}

bool clsPoly::IsOverlapArea(const clsRect& oRect) const {
  // An empty list has no extent and overlaps nothing.
  if (!ComputeBounds()) return false;
  return bounds_.maxX >= oRect.mLeft && oRect.mRight >= bounds_.minX &&
         bounds_.maxY >= oRect.mTop && oRect.mBottom >= bounds_.minY;
}

clsRect clsPoly::RectBound() const {
  clsRect r;
  if (ComputeBounds()) r.SetAll(bounds_.minX, bounds_.minY, bounds_.maxX, bounds_.maxY);
  return r;
}

// The first 20 points give a quick negative answer before the whole list is scanned.
bool clsPoly::IsFlatAlong(bool alongY) const {
  constexpr int32_t kQuickLook = 20;
  if (count_ < 2) return false;
  const auto coord = [alongY](const PolyPoint& p) { return alongY ? p.y : p.x; };
  const auto flat = [&] { return alongY ? bounds_.minY == bounds_.maxY : bounds_.minX == bounds_.maxX; };
  if (flags_ & kBoundValid) return flat();
  const int32_t first = coord(pts_[0]);
  const int32_t quick = std::min(count_, kQuickLook);
  for (int32_t i = 1; i < quick; ++i)
    if (coord(pts_[i]) != first) return false;
  ComputeBounds();
  return flat();
}

bool clsPoly::IsHorizontal() const { return IsFlatAlong(true); }
bool clsPoly::IsVertical() const { return IsFlatAlong(false); }

// Twice the signed area of the fan of triangles from point 1, so the orientation does not
// matter and a closing point adds nothing.
double clsPoly::Area() const {
  if (count_ < 3) return 0.0;
  const PolyPoint o = pts_[0];
  double sum = 0.0;
  for (int32_t i = 2; i < count_; ++i) {
    const double ax = SubL(pts_[i - 1].x, o.x), ay = SubL(pts_[i - 1].y, o.y);
    const double bx = SubL(pts_[i].x, o.x), by = SubL(pts_[i].y, o.y);
    sum += by * ax - ay * bx;
  }
  return std::abs(sum) / 2.0;
}

// ---- Copies ----

std::shared_ptr<clsPoly> clsPoly::Copy() const {
  try {
    auto copy = std::make_shared<clsPoly>();
    copy->Count(count_);
    if (count_ > 0) copy->FromArray(Points(), 1, 1, count_);
    if (flags_ & kBoundValid) copy->SetBound4(bounds_.minX, bounds_.minY, bounds_.maxX, bounds_.maxY);
    return copy;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Copy");
  }
}

bool clsPoly::FromArray(std::span<const PolyPoint> src, int32_t srcIndex, int32_t dstIndex,
                        int32_t n) {
  try {
    if (srcIndex < 1 || dstIndex < 1) return false;
    n = static_cast<int32_t>(std::min<int64_t>(n, int64_t(src.size()) - srcIndex + 1));
    if (n < 1) return false;
    const int64_t last = int64_t{dstIndex} + n - 1;
    if (last > kMaxCount) Throw(err::kSubscript);
    const PolyPoint* from = src.data() + (srcIndex - 1);
    // The source may be this list's own storage, which growing can move.
    const std::less<const PolyPoint*> before;
    const bool own = !before(from, pts_) && before(from, pts_ + capacity_);
    const ptrdiff_t offset = own ? from - pts_ : 0;
    if (count_ < last) Count(static_cast<int32_t>(last));
    if (own) from = pts_ + offset;
    std::memmove(pts_ + (dstIndex - 1), from, static_cast<size_t>(n) * sizeof(PolyPoint));
    flags_ = kModified;
    return true;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"FromArray");
  }
}

bool clsPoly::ToArray(std::span<PolyPoint> dst, int32_t srcIndex, int32_t dstIndex,
                      int32_t n) const {
  if (dstIndex < 1 || srcIndex < 1) return false;
  int64_t m = std::min<int64_t>(n, int64_t{count_} - srcIndex + 1);
  m = std::min<int64_t>(m, int64_t(dst.size()) - dstIndex + 1);
  if (m < 1) return false;
  std::memmove(dst.data() + (dstIndex - 1), pts_ + (srcIndex - 1),
               static_cast<size_t>(m) * sizeof(PolyPoint));
  return true;
}

// ---- File forms ----

void clsPoly::Save(BinaryWriter& iFile, bool bLong) {
  try {
    if (!bLong && count_ > kShortFormMax) Count(kShortFormMax);
    if (bLong)
      iFile.Write<int32_t>(count_);
    else
      iFile.Write<uint16_t>(static_cast<uint16_t>(count_ & 0xFFFF));
    if (count_ > 0) iFile.WriteBytes(pts_, static_cast<size_t>(count_) * sizeof(PolyPoint));
    flags_ &= ~kModified;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Save");
  }
}

void clsPoly::Load(BinaryReader& iFile, bool bLong) {
  try {
    int64_t n = bLong ? int64_t{iFile.Read<int32_t>()} : int64_t{iFile.Read<uint16_t>()};
    n = std::min<int64_t>(n, kMaxCount);
    // A count the rest of the file cannot hold is a short file: fail before sizing the list.
    if (n > 0) iFile.Require(n * int64_t{sizeof(PolyPoint)});
    Count(static_cast<int32_t>(n));
    if (n > 0) iFile.ReadBytes(pts_, static_cast<size_t>(n) * sizeof(PolyPoint));
    flags_ = 0;
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsPoly", u"Load");
  }
}

}  // namespace picmap
