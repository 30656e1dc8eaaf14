#include "map/clsMapSymbol.h"

#include "support/binfile.h"
#include "support/colorlib.h"

namespace picmap {

namespace {
constexpr int32_t kElementSize106 = 36;
}

std::shared_ptr<clsMapFigure> clsMapSymbol::Copy() const {
  auto copy = std::make_shared<clsMapSymbol>();
  copy->SetSymbolPoint(position_);
  CopyAttributesTo(*copy);
  return copy;
}

void clsMapSymbol::ReadElm(BinaryReader& iFile, int32_t ver) {
  FieldBlock b;
  if (ver >= 106) {
    b.ReadFrom(iFile, kElementSize106 - 2);
    b.Take<int32_t>();  // element size
    TakeCommon106(b);
  } else {
    b.ReadFrom(iFile, ver == 104 || ver == 105 ? 16 : 12);
    admin_ = b.Take<int16_t>();
    thing_ = b.Take<int16_t>();
    if (ver == 105) SetFromAttributeWord(b.Take<int32_t>());
  }
  position_.x = b.Take<int32_t>();
  position_.y = b.Take<int32_t>();
  modified_ = false;  // a 1.04 element ends in an attribute word that is not used
}

void clsMapSymbol::WriteElm(BinaryWriter& iFile, int32_t ver) {
  FieldBlock b;
  b.Put<int16_t>(4);
  if (ver >= 106) {
    b.Put<int32_t>(kElementSize106);
    PutCommon106(b, thing_);
  } else {
    b.Put<int16_t>(admin_);
    b.Put<int16_t>(thing_);
    if (ver == 105) b.Put<int32_t>(AttributeWord());
  }
  b.Put<int32_t>(position_.x);
  b.Put<int32_t>(position_.y);
  if (ver == 104) b.Put<int32_t>(WriteOldFigAttr(ownShowMode_, ownColor_));
  b.WriteTo(iFile);
  modified_ = false;
}

}  // namespace picmap
