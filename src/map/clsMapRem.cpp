#include "map/clsMapRem.h"

#include "geometry/clsPoly.h"
#include "support/binfile.h"
#include "support/colorlib.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/text.h"

namespace picmap {

namespace {
constexpr size_t kMinColonPosition = 5;  // 1-based character positions
constexpr size_t kMaxColonPosition = 20;
constexpr int32_t kElementHead106 = 30;  // code, size, common fields, text length
}  // namespace

std::shared_ptr<clsPoly> clsMapRem::Poly() const { return std::make_shared<clsPoly>(); }

std::shared_ptr<clsMapFigure> clsMapRem::Copy() const {
  auto copy = std::make_shared<clsMapRem>();
  copy->Comment(comment_);
  copy->Admin(Admin());
  copy->OwnColor(OwnColor());
  copy->OwnShowMode(OwnShowMode());
  copy->JumpMark(JumpMark());
  copy->Reserve(Reserve());
  return copy;
}

bool clsMapRem::IsRight() const {
  return IsThingNumber(Admin()) && IsColorValue(OwnColor()) &&
         IsShowMode(static_cast<int16_t>(OwnShowMode())) && IsJumpMarkValue(JumpMark());
}

void clsMapRem::Comment(const std::u16string& sSrc) {
  comment_ = sSrc;
  modified_ = true;
}

size_t clsMapRem::HeaderColon() const {
  if (comment_.size() < 2 || comment_[0] != u'#' || comment_[1] != u' ') return std::u16string::npos;
  size_t a = comment_.find(u'：');
  if (a == std::u16string::npos) a = comment_.find(u':');
  if (a == std::u16string::npos || a + 1 < kMinColonPosition || a + 1 > kMaxColonPosition)
    return std::u16string::npos;
  return a;
}

std::u16string clsMapRem::Key() const {
  const size_t a = HeaderColon();
  return a == std::u16string::npos ? u"" : TrimText(comment_.substr(2, a - 2));
}

std::u16string clsMapRem::Value() const {
  const size_t a = HeaderColon();
  return a == std::u16string::npos ? u"" : TrimText(comment_.substr(a + 1));
}

void clsMapRem::ReadElm(BinaryReader& iFile, int32_t ver) {
  comment_.clear();
  FieldBlock b;
  if (ver >= 106) {
    b.ReadFrom(iFile, 4 + kCommon106Size);
    b.Take<int32_t>();  // element size
    TakeCommon106(b);
    thing_ = -1;
    ReadText106(iFile);
  } else if (ver == 105) {
    b.ReadFrom(iFile, 8);
    admin_ = b.Take<int16_t>();
    b.Take<int16_t>();  // thing, always -1
    SetFromAttributeWord(b.Take<int32_t>());
    ReadCharCounted(iFile);
  } else {
    admin_ = iFile.Read<int16_t>();
    ReadCharCounted(iFile);
    if (ver == 104) iFile.Read<int32_t>();  // attribute word, not used
  }
  modified_ = false;
}

void clsMapRem::ReadText106(BinaryReader& r) {
  const int16_t length = r.Read<int16_t>();
  comment_ = FromCp932(ReadTextBytes(r, length));
}

void clsMapRem::ReadCharCounted(BinaryReader& r) {
  const int16_t chars = r.Read<int16_t>();
  comment_ = FromCp932(ReadCp932Chars(r, chars));
}

void clsMapRem::WriteElm(BinaryWriter& iFile, int32_t ver) {
  FieldBlock head;
  head.Put<int16_t>(1);
  if (ver >= 106) {
    const std::string text = ToCp932(comment_);
    const int16_t elementSize = ToInt(kElementHead106 + static_cast<int64_t>(text.size()));
    head.Put<int32_t>(elementSize);
    PutCommon106(head, -1);
    head.Put<int16_t>(static_cast<int16_t>(text.size()));
    head.WriteTo(iFile);
    iFile.WriteBytes(text.data(), text.size());
  } else {
    head.Put<int16_t>(admin_);
    if (ver == 105) {
      head.Put<int16_t>(-1);
      head.Put<int32_t>(AttributeWord());
    }
    WriteCharCounted(iFile, head);
    if (ver == 104) iFile.Write<int32_t>(WriteOldFigAttr(ownShowMode_, ownColor_));
  }
  modified_ = false;
}

void clsMapRem::WriteCharCounted(BinaryWriter& w, FieldBlock& head) const {
  const std::string text = ToCp932(comment_);
  head.Put<int16_t>(ToInt(Cp932CharCount(text)));
  head.WriteTo(w);
  w.WriteBytes(text.data(), text.size());
}

}  // namespace picmap
