// clsMapText: the text figure (code 5, "TEXT"), a label at one position with a rotation
// angle, a fix code and two texts: language 1 in Latin script (one byte per character, codes
// 0 to 255, with "^" after a vowel composing the circumflexed letter) and language 2 in
// Japanese (code page 932 bytes). A text is a byte array; an array starting with a zero byte
// is the empty text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "map/point_figure.h"

namespace picmap {

class clsMapText : public MapPointFigure {
 public:
  using Bytes = std::vector<uint8_t>;

  clsMapText() = default;
  int32_t FigCode() const override { return 5; }
  std::shared_ptr<clsMapFigure> Copy() const override;
  bool IsRight() const override;
  void ReadElm(BinaryReader& iFile, int32_t ver) override;
  void WriteElm(BinaryWriter& iFile, int32_t ver) override;

  int16_t TextFix() const { return fix_; }
  void TextFix(int32_t iFix);  // 0 .. 24, other values ignored
  int32_t Angle() const { return angle_; }
  void Angle(int32_t vDeg);    // whole degrees, brought into -180 .. 180
  // A copy of the bytes of language 1 or 2; one zero byte for any other language.
  Bytes TextAnsi(int32_t eLang) const;
  void TextAnsi(int32_t eLang, const Bytes& sSrc);
  std::u16string TextUnicode(int32_t eLang) const;
  void TextUnicode(int32_t eLang, const std::u16string& sSrc);

  // ---- Project-internal ----
  PolyPoint GetTextPoint() const { return position_; }
  void SetTextPoint(const PolyPoint& pt) { SetPosition(pt); }

  // The circumflex composition of language-1 text ("Co^te" -> "Côte").
  static Bytes ComposeAccents(const Bytes& src);

 private:
  static bool IsEmptyText(const Bytes& t) { return t.empty() || t[0] == 0; }
  static int32_t StoredLength(const Bytes& t) { return IsEmptyText(t) ? 0 : static_cast<int32_t>(t.size()); }
  Bytes* TextOf(int32_t eLang);
  void ReadTexts(BinaryReader& r, int32_t ver);
  // Byte counts of the two texts and their length fields in the element.
  struct TextLengths {
    int32_t bytes1, bytes2;
    int16_t field1, field2;
  };
  TextLengths LengthsFor(int32_t ver) const;
  static Bytes ReadBytesText(BinaryReader& r);
  Bytes Text2ToWrite(int32_t ver, int32_t bytes2) const;

  int16_t fix_ = 10;
  int16_t angle_ = 0;
  Bytes text1_{0};
  Bytes text2_{0};
};

}  // namespace picmap
