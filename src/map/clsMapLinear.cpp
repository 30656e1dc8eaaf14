#include "map/clsMapLinear.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <span>

#include "geometry/clsPoly.h"
#include "support/binfile.h"
#include "support/colorlib.h"
#include "support/errors.h"
#include "support/numeric.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {
constexpr int32_t kElementHead106 = 32;  // code, size, common fields, point count
constexpr double kFirstTolerance = 0.1;
constexpr double kToleranceStep = 0.01;
constexpr double kThinChordLimit = 100.0;
// How far thinning may go: a point is dropped only when the detour through it is at most this
// share of the figure's longer side, and never less than one unit (one arc-second in a
// longitude/latitude map). Beyond that, thinning would flatten visible features.
constexpr double kThinningBoundShare = 1e-4;
constexpr double kThinningBoundFloor = 1.0;
// Beyond this many steps the tolerance jumps straight to its target.
constexpr int64_t kMaxToleranceSteps = 100000000;

// The lengths and the detour exactly as the point list's thinning measures them.
double Distance(const PolyPoint& a, const PolyPoint& b) {
  const double dx = SubL(b.x, a.x), dy = SubL(b.y, a.y);
  return std::sqrt(dx * dx + dy * dy);
}

// The smallest detour of a middle point across a chord of at most `limit`; none when every
// chord is longer.
std::optional<double> SmallestDetour(const clsPoly& poly, double limit) {
  const std::span<const PolyPoint> pts = poly.Points();
  std::optional<double> smallest;
  for (size_t j = 0; j + 2 < pts.size(); ++j) {
    const double chord = Distance(pts[j], pts[j + 2]);
    if (chord > limit) continue;
    const double detour = Distance(pts[j + 2], pts[j + 1]) + Distance(pts[j + 1], pts[j]) - chord;
    if (!smallest || detour < *smallest) smallest = detour;
  }
  return smallest;
}

// The first tolerance of the ladder (steps of 0.01 from `tolerance`) that reaches `target`.
double ToleranceReaching(double tolerance, double target) {
  for (int64_t steps = 0; tolerance < target; ++steps) {
    if (steps == kMaxToleranceSteps) return target;
    tolerance += kToleranceStep;
  }
  return tolerance;
}

double ThinningBound(const clsPoly& poly) {
  const clsRect r = poly.RectBound();
  const double side = std::max(static_cast<double>(r.mRight) - r.mLeft,
                               static_cast<double>(r.mBottom) - r.mTop);
  return std::max(kThinningBoundFloor, side * kThinningBoundShare);
}

[[noreturn]] void ThrowTooManyPoints(int32_t count) {
  Throw(err::kMapElement, u"",
        Arg(Tr("clsMap", "点数が多すぎて1.05以前の地図ファイルに保存できません(Points:%1, Max:%2)"),
            {FromUtf8(std::to_string(count)), FromUtf8(std::to_string(clsMapLinear::kShortFormMaxPoints))}));
}

}  // namespace

clsMapLinear::clsMapLinear() : poly_(std::make_shared<clsPoly>()) {}

clsMapLinear::clsMapLinear(double figId)
    : MapFigureCommon(figId), poly_(std::make_shared<clsPoly>()) {}

bool clsMapLinear::Modify() const {
  if (!modified_) modified_ = poly_->Modify();
  return modified_;
}

void clsMapLinear::Modify(bool value) {
  modified_ = value;
  if (!value) poly_->Modify(false);
}

void clsMapLinear::Poly(std::shared_ptr<clsPoly> value) {
  if (!value) return;
  poly_ = std::move(value);
  modified_ = true;
}

std::shared_ptr<clsMapFigure> clsMapLinear::Copy() const {
  std::shared_ptr<clsMapLinear> copy = NewEmpty();
  copy->Poly(poly_->Copy());
  CopyAttributesTo(*copy);
  return copy;
}

bool clsMapLinear::IsRight() const {
  return AttributesRight() && poly_->Count() >= MinPointCount();
}

bool clsMapLinear::IsInner(const clsRect& oRect) const { return poly_->IsOverlapArea(oRect); }

void clsMapLinear::ReadElm(BinaryReader& iFile, int32_t ver) {
  FieldBlock b;
  if (ver >= 106) {
    b.ReadFrom(iFile, 4 + kCommon106Size);
    b.Take<int32_t>();  // element size
    TakeCommon106(b);
  } else {
    b.ReadFrom(iFile, ver == 105 ? 8 : 4);
    admin_ = b.Take<int16_t>();
    thing_ = b.Take<int16_t>();
    if (ver == 105) SetFromAttributeWord(b.Take<int32_t>());
  }
  poly_->Load(iFile, ver >= 106);
  if (ver == 104) iFile.Read<int32_t>();  // attribute word, not used
  modified_ = false;
}

void clsMapLinear::WriteElm(BinaryWriter& iFile, int32_t ver) {
  thinnedByLastWrite_ = ver <= 105 ? ThinForShortForm() : 0;
  FieldBlock head;
  head.Put<int16_t>(static_cast<int16_t>(FigCode()));
  if (ver >= 106) {
    head.Put<int32_t>(ToLong(kElementHead106 + int64_t{8} * poly_->Count()));
    PutCommon106(head, thing_);
  } else {
    head.Put<int16_t>(admin_);
    head.Put<int16_t>(thing_);
    if (ver == 105) head.Put<int32_t>(AttributeWord());
  }
  head.WriteTo(iFile);
  poly_->Save(iFile, ver >= 106);
  if (ver == 104) iFile.Write<int32_t>(WriteOldFigAttr(ownShowMode_, ownColor_));
  modified_ = false;
}

// Tolerances 0.1, 0.11, 0.12, ... one pass each, until the list fits. A pass that removes
// nothing leaves the list as it was, so the passes after it remove nothing either until the
// tolerance reaches the smallest detour across a chord short enough: those are skipped.
// When no chord is short enough, or the tolerance would have to pass the thinning bound, the
// figure cannot be stored in the short form whole: cutting it would lose points silently (and
// open a closed outline), thinning further would flatten its shape. The work is done on a
// copy, so a refused figure keeps every point.
int32_t clsMapLinear::ThinForShortForm() {
  if (poly_->Count() <= kShortFormMaxPoints) return 0;
  clsPoly work(*poly_);
  const double bound = ThinningBound(work) + kToleranceStep / 2;  // the ladder's own rounding
  double tolerance = kFirstTolerance;
  while (work.Count() > kShortFormMaxPoints) {
    if (tolerance > bound) ThrowTooManyPoints(poly_->Count());
    const int32_t before = work.Count();
    work.CompressB(tolerance, kThinChordLimit);
    tolerance += kToleranceStep;
    if (work.Count() < before) continue;
    const std::optional<double> detour = SmallestDetour(work, kThinChordLimit);
    if (!detour || *detour > bound) ThrowTooManyPoints(poly_->Count());
    tolerance = ToleranceReaching(tolerance, *detour);
  }
  const int32_t removed = poly_->Count() - work.Count();
  *poly_ = std::move(work);
  return removed;
}

}  // namespace picmap
