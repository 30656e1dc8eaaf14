#include "map/clsMapText.h"

#include "support/binfile.h"
#include "support/colorlib.h"
#include "support/numeric.h"
#include "support/text.h"

namespace picmap {

namespace {

constexpr int32_t kElementHead106 = 44;  // everything but the two texts
constexpr int32_t kMaxText1Length = 32727;
constexpr int32_t kMaxTextsLength = 32767 - 40;
constexpr uint8_t kCircumflex = '^';

// The circumflexed letter of a vowel, or 0 for any other byte.
uint8_t CircumflexedVowel(uint8_t b) {
  switch (b) {
    case 'A': return 194;
    case 'I': return 206;
    case 'U': return 219;
    case 'E': return 202;
    case 'O': return 212;
    case 'a': return 226;
    case 'i': return 238;
    case 'u': return 251;
    case 'e': return 234;
    case 'o': return 244;
    default: return 0;
  }
}

// Language-1 text holds one byte per character, read back as the character of that code: a
// character up to 255 is stored as that byte so that it reads back as written. Any other
// character is given in the code page, as the Japanese system encodes it.
clsMapText::Bytes LanguageOneBytes(const std::u16string& s) {
  clsMapText::Bytes out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (s[i] <= 0xFF) {
      out.push_back(static_cast<uint8_t>(s[i++]));
      continue;
    }
    const size_t start = i;
    while (i < s.size() && s[i] > 0xFF) ++i;
    const std::string cp = ToCp932(std::u16string_view(s).substr(start, i - start));
    out.insert(out.end(), cp.begin(), cp.end());
  }
  return out;
}

clsMapText::Bytes LanguageTwoBytes(const std::u16string& s) {
  const std::string cp = ToCp932(s);
  return clsMapText::Bytes(cp.begin(), cp.end());
}

std::string_view AsChars(const clsMapText::Bytes& b, int32_t n) {
  return std::string_view(reinterpret_cast<const char*>(b.data()), static_cast<size_t>(n));
}

}  // namespace

clsMapText::Bytes clsMapText::ComposeAccents(const Bytes& src) {
  Bytes out;
  if (src.empty()) return out;
  out.reserve(src.size());
  out.push_back(src[0]);
  for (size_t i = 1; i < src.size(); ++i) {
    const uint8_t accented = src[i] == kCircumflex ? CircumflexedVowel(src[i - 1]) : 0;
    if (accented != 0)
      out.back() = accented;
    else
      out.push_back(src[i]);
  }
  return out;
}

std::shared_ptr<clsMapFigure> clsMapText::Copy() const {
  auto copy = std::make_shared<clsMapText>();
  copy->SetTextPoint(position_);
  copy->TextFix(fix_);
  copy->Angle(angle_);
  copy->TextAnsi(1, text1_);
  copy->TextAnsi(2, text2_);
  CopyAttributesTo(*copy);
  return copy;
}

bool clsMapText::IsRight() const {
  return AttributesRight() && fix_ >= 0 && fix_ <= 24 && angle_ >= -180 && angle_ <= 180;
}

void clsMapText::TextFix(int32_t iFix) {
  if (iFix < 0 || iFix > 24) return;
  fix_ = static_cast<int16_t>(iFix);
  modified_ = true;
}

void clsMapText::Angle(int32_t vDeg) {
  // The same result as subtracting 360 while above 180 and adding 360 while below -180.
  int64_t d = vDeg;
  if (d > 180) d -= ((d - 181) / 360 + 1) * 360;
  if (d < -180) d += ((-181 - d) / 360 + 1) * 360;
  angle_ = static_cast<int16_t>(d);
  modified_ = true;
}

clsMapText::Bytes* clsMapText::TextOf(int32_t eLang) {
  if (eLang == 1) return &text1_;
  if (eLang == 2) return &text2_;
  return nullptr;
}

clsMapText::Bytes clsMapText::TextAnsi(int32_t eLang) const {
  if (eLang == 1) return text1_;
  if (eLang == 2) return text2_;
  return Bytes{0};
}

void clsMapText::TextAnsi(int32_t eLang, const Bytes& sSrc) {
  Bytes* target = TextOf(eLang);
  if (!target) return;
  Bytes bytes = eLang == 1 ? ComposeAccents(sSrc) : sSrc;
  if (IsEmptyText(bytes)) bytes.assign(1, 0);
  *target = std::move(bytes);
  modified_ = true;
}

std::u16string clsMapText::TextUnicode(int32_t eLang) const {
  if (eLang == 1) {
    if (IsEmptyText(text1_)) return u"";
    return std::u16string(text1_.begin(), text1_.end());
  }
  if (eLang == 2) {
    if (IsEmptyText(text2_)) return u"";
    return FromCp932(std::string(text2_.begin(), text2_.end()));
  }
  return u"";
}

void clsMapText::TextUnicode(int32_t eLang, const std::u16string& sSrc) {
  if (eLang == 1 || eLang == 2) {
    Bytes bytes = eLang == 1 ? LanguageOneBytes(sSrc) : LanguageTwoBytes(sSrc);
    if (bytes.empty()) bytes.assign(1, 0);
    TextAnsi(eLang, bytes);
  }
  modified_ = true;
}

void clsMapText::ReadElm(BinaryReader& iFile, int32_t ver) {
  FieldBlock b;
  if (ver >= 106) {
    b.ReadFrom(iFile, 4 + kCommon106Size + 12);
    b.Take<int32_t>();  // element size
    TakeCommon106(b);
  } else {
    b.ReadFrom(iFile, (ver == 105 ? 8 : 4) + 12);
    admin_ = b.Take<int16_t>();
    thing_ = b.Take<int16_t>();
    if (ver == 105) SetFromAttributeWord(b.Take<int32_t>());
  }
  position_.x = b.Take<int32_t>();
  position_.y = b.Take<int32_t>();
  fix_ = b.Take<int16_t>();
  Angle(b.Take<int16_t>());
  ReadTexts(iFile, ver);
  if (ver == 104) iFile.Read<int32_t>();  // attribute word, not used
  modified_ = false;
}

clsMapText::Bytes clsMapText::ReadBytesText(BinaryReader& r) {
  const std::string bytes = ReadTextBytes(r, r.Read<int16_t>());
  return bytes.empty() ? Bytes{0} : Bytes(bytes.begin(), bytes.end());
}

void clsMapText::ReadTexts(BinaryReader& r, int32_t ver) {
  text1_ = ReadBytesText(r);
  if (ver >= 105) {
    text2_ = ReadBytesText(r);
    return;
  }
  const std::string bytes = ReadCp932Chars(r, r.Read<int16_t>());
  text2_ = bytes.empty() ? Bytes{0} : Bytes(bytes.begin(), bytes.end());
}

// The length fields of the texts for the version; too long a text is an overflow before
// anything is written.
clsMapText::TextLengths clsMapText::LengthsFor(int32_t ver) const {
  TextLengths n{StoredLength(text1_), StoredLength(text2_), 0, 0};
  if (ver >= 106 && (n.bytes1 > kMaxText1Length || n.bytes1 + n.bytes2 > kMaxTextsLength))
    ThrowOverflow();
  n.field1 = ToInt(n.bytes1);
  n.field2 = ver >= 105 ? ToInt(n.bytes2) : ToInt(Cp932CharCount(AsChars(text2_, n.bytes2)));
  return n;
}

// The 1.04 layout counts the Japanese text in characters, and its reader takes a lead byte
// together with the byte after it: a lone lead byte at the end of a cut-off text would take
// the next field with it and leave the file unreadable. It is written as "?", as any
// character the code page cannot hold.
clsMapText::Bytes clsMapText::Text2ToWrite(int32_t ver, int32_t bytes2) const {
  if (ver != 104 || !EndsInLoneLeadByte(AsChars(text2_, bytes2))) return text2_;
  Bytes whole(text2_.begin(), text2_.begin() + bytes2);
  whole.back() = '?';
  return whole;
}

void clsMapText::WriteElm(BinaryWriter& iFile, int32_t ver) {
  const TextLengths n = LengthsFor(ver);
  FieldBlock head;
  head.Put<int16_t>(5);
  if (ver >= 106) {
    head.Put<int32_t>(kElementHead106 + n.bytes1 + n.bytes2);
    PutCommon106(head, thing_);
  } else {
    head.Put<int16_t>(admin_);
    head.Put<int16_t>(thing_);
    if (ver == 105) head.Put<int32_t>(AttributeWord());
  }
  head.Put<int32_t>(position_.x);
  head.Put<int32_t>(position_.y);
  head.Put<int16_t>(fix_);
  head.Put<int16_t>(angle_);
  head.Put<int16_t>(n.field1);
  head.WriteTo(iFile);
  iFile.WriteBytes(text1_.data(), static_cast<size_t>(n.bytes1));
  iFile.Write<int16_t>(n.field2);
  iFile.WriteBytes(Text2ToWrite(ver, n.bytes2).data(), static_cast<size_t>(n.bytes2));
  if (ver == 104) iFile.Write<int32_t>(WriteOldFigAttr(ownShowMode_, ownColor_));
  modified_ = false;
}

}  // namespace picmap
