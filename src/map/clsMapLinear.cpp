#include "map/clsMapLinear.h"

#include "geometry/clsPoly.h"
#include "support/binfile.h"
#include "support/colorlib.h"
#include "support/numeric.h"

namespace picmap {

namespace {
constexpr int32_t kElementHead106 = 32;  // code, size, common fields, point count
constexpr double kFirstTolerance = 0.1;
constexpr double kToleranceStep = 0.01;
constexpr double kThinChordLimit = 100.0;
// Beyond any detour that 32-bit coordinates can make: no larger tolerance removes more.
constexpr double kLargestUsefulTolerance = 1e10;
}  // namespace

clsMapLinear::clsMapLinear() : poly_(std::make_shared<clsPoly>()) {}

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
  if (ver <= 105) ThinForShortForm();
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

// The tolerance grows by a fixed step after every pass. A list whose points lie farther apart
// than the chord limit cannot be thinned at any tolerance, so passes that remove nothing let
// the step grow, and thinning ends (leaving the cut of the short form) once no tolerance can
// help.
void clsMapLinear::ThinForShortForm() {
  double tolerance = kFirstTolerance;
  double step = kToleranceStep;
  while (poly_->Count() > kShortFormMaxPoints && tolerance <= kLargestUsefulTolerance) {
    const int32_t before = poly_->Count();
    poly_->CompressB(tolerance, kThinChordLimit);
    if (poly_->Count() < before) {
      step = kToleranceStep;
      tolerance += step;
    } else {
      tolerance += step;
      step *= 2;
    }
  }
}

}  // namespace picmap
