// clsPoly: the 1-based list of integer points behind every figure with geometry (polygon
// outlines, polyline courses, the one-point position of symbols and texts), with a cached
// bounding box, editing, clipping, node compression, the binary long and short file forms and
// drawing. A closed outline stores its closing point explicitly.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

#include "geometry/clsRect.h"

namespace picmap {

class BinaryReader;
class BinaryWriter;
class DrawingSurface;

// One point; the layout of the drawing interfaces' point record (two 32-bit fields).
struct PolyPoint {
  int32_t x;
  int32_t y;
  bool operator==(const PolyPoint&) const = default;
};
static_assert(sizeof(PolyPoint) == 8 && std::is_standard_layout_v<PolyPoint> &&
              std::is_trivially_copyable_v<PolyPoint>);

class clsPoly {
 public:
  static constexpr int32_t kMaxCount = 0x0FFFFFFF;
  // Bits of the flag word.
  static constexpr int16_t kModified = 1;
  static constexpr int16_t kBoundValid = 2;

  clsPoly();
  ~clsPoly();
  clsPoly(const clsPoly& other);
  clsPoly& operator=(const clsPoly& other);
  clsPoly(clsPoly&& other) noexcept;
  clsPoly& operator=(clsPoly&& other) noexcept;

  // ---- Public interface ----

  bool Modify() const { return (flags_ & kModified) != 0; }
  // Stores 1 or 0 into the whole flag word, so the bounds go stale either way.
  void Modify(bool value) { flags_ = value ? kModified : 0; }
  static constexpr int32_t MaxCount() { return kMaxCount; }
  int32_t Count() const { return count_; }
  // <= 0 empties the list; above MaxCount is cut; new points are (0, 0).
  void Count(int32_t nPoint);
  bool InBoundIndex(int32_t index) const { return index >= 1 && index <= count_; }
  bool IsLoop() const;
  // The bounding box meets the rectangle (touching counts).
  bool IsOverlapArea(const clsRect& oRect) const;
  bool IsMatch(const clsPoly& second) const;

  // Point access; an index outside 1..Count (or an empty list for Last*) is error 9.
  int32_t x(int32_t index) const;
  void x(int32_t index, int32_t value);
  int32_t y(int32_t index) const;
  void y(int32_t index, int32_t value);
  int32_t LastX() const;
  void LastX(int32_t value);
  int32_t LastY() const;
  void LastY(int32_t value);
  int32_t LineWidth(int32_t index) const;   // x(index + 1) - x(index)
  int32_t LineHeight(int32_t index) const;  // y(index + 1) - y(index)
  double Area() const;                      // never negative
  clsRect RectBound() const;                // empty for an empty list
  bool IsHorizontal() const;                // at least 2 points, all with one y
  bool IsVertical() const;                  // at least 2 points, all with one x
  std::shared_ptr<clsPoly> Copy() const;    // independent; keeps valid bounds; reads modified
  void GetXandY(int32_t index, int32_t& px, int32_t& py) const;
  void SetXandY(int32_t index, int32_t px, int32_t py);
  void SetLastXandY(int32_t px, int32_t py);
  void GetLastXandY(int32_t& px, int32_t& py) const;

  // Editing.
  bool Del(int32_t index);
  void SetLine(int32_t sx, int32_t sy, int32_t ex, int32_t ey);
  void SetRect(int32_t sx, int32_t sy, int32_t ex, int32_t ey);  // closed, 5 points
  void MakeLoop();  // appends point 1 to an open list of more than 2 points
  void Move(int32_t dx, int32_t dy);
  // Appends oPoly's points, storing a shared joint point once; False for a null or empty
  // oPoly or when the total would exceed MaxCount.
  bool Connect(const clsPoly* oPoly);
  bool Connect(const std::shared_ptr<clsPoly>& oPoly) { return Connect(oPoly.get()); }
  // Splits at point `index`, which ends this list and starts the returned one.
  std::shared_ptr<clsPoly> Divide(int32_t index);
  // Inserts points so no segment measures more than `pitch` (st 1 |dx|, 2 |dy|, 3 the larger).
  bool Chop(int32_t pitch, int16_t st);
  // Clips the chain of segments to the rectangle; False when nothing remains (list emptied).
  bool Clip(const clsRect& oRect);

  // Node compression.
  // Drops middle points whose detour is at most `dif` across a chord of at most `limit`.
  void CompressB(double dif, double limit);
  void CompressHalf();  // roughly halves the list with averaged points
  void GetBound4(int32_t& sx, int32_t& sy, int32_t& ex, int32_t& ey) const;

  // File forms at the current position: count (32-bit long, 16-bit short) then x, y pairs.
  void Load(BinaryReader& iFile, bool bLong);
  void Save(BinaryWriter& iFile, bool bLong);  // the short form first cuts the list to 65535

  // Polyline / Polygon with the address of point 1 and Count.
  bool DrawPolyline(DrawingSurface& handle) const;
  bool DrawPolygon(DrawingSurface& handle) const;

  // ---- Project-internal ----

  bool AddXandY(int32_t px, int32_t py);  // False at MaxCount
  bool AddPoint(const PolyPoint& pt) { return AddXandY(pt.x, pt.y); }
  bool InsXandY(int32_t index, int32_t px, int32_t py);  // before point index (1..Count)
  bool InsPoint(int32_t index, const PolyPoint& pt) { return InsXandY(index, pt.x, pt.y); }
  PolyPoint GetPoint(int32_t index) const;
  void SetPoint(int32_t index, const PolyPoint& pt);
  // Block copies between the list and a point array. Array indexes count from 1 as well:
  // element 1 is src[0]. n is cut to what the array (and for ToArray the list) holds.
  bool FromArray(std::span<const PolyPoint> src, int32_t srcIndex, int32_t dstIndex, int32_t n);
  bool ToArray(std::span<PolyPoint> dst, int32_t srcIndex, int32_t dstIndex, int32_t n) const;
  // Stores the bounds (smallest x, smallest y, largest x, largest y) and marks them valid.
  void SetBound4(int32_t sx, int32_t sy, int32_t ex, int32_t ey);

  // The flag word (bit 1 modified, bit 2 bounds valid) and the points 1..Count in place.
  int16_t Flags() const { return flags_; }
  bool IsBoundValid() const { return (flags_ & kBoundValid) != 0; }
  std::span<const PolyPoint> Points() const { return {pts_, static_cast<size_t>(count_)}; }
  std::span<PolyPoint> MutablePoints() { return {pts_, static_cast<size_t>(count_)}; }
  const PolyPoint* Data() const { return pts_; }  // point 1 (a spare slot when empty)

 private:
  struct Bounds {
    int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
  };

  bool ComputeBounds() const;
  PolyPoint& At(int32_t index);
  const PolyPoint& At(int32_t index) const;
  const PolyPoint& Last() const;
  void Reserve(int32_t capacity);
  void GrowTo(int32_t newCount);
  bool IsFlatAlong(bool alongY) const;
  bool ChopInto(int32_t pitch, int16_t st);
  bool ClipSide(const clsRect& oRect, int16_t side, std::vector<PolyPoint>& work);
  void CollapseToLine();
  void ThinInPasses(double dif, double limit);
  clsPoly HalfOfLoop() const;
  clsPoly HalfOfOpen() const;

  PolyPoint* pts_ = nullptr;  // capacity_ >= max(count_, 1) slots
  int32_t capacity_ = 0;
  int32_t count_ = 0;
  mutable int16_t flags_ = 0;
  mutable Bounds bounds_;
};

}  // namespace picmap
