// Element layouts of every figure kind in every map file version, byte by byte, and reading
// them back.
#include <gtest/gtest.h>

#include "geometry/clsPoly.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map_helpers.h"
#include "support/errors.h"

namespace picmap {
namespace {

using test::Bytes;
using test::ElementBytes;
using test::FieldAt;
using test::ReadElementBytes;

constexpr double kId = 4.5e14;

template <class T>
void SetAttributes(T& f, int32_t color, int32_t mode, int32_t mark) {
  f.FigID(kId);
  f.Admin(12);
  f.Thing(34);
  f.OwnColor(color);
  f.OwnShowMode(mode);
  f.JumpMark(mark);
  f.Reserve(-7);
}

// ---- Remark ----

TEST(RemarkElement, Version106CountsBytes) {
  clsMapRem rem;
  SetAttributes(rem, 0x0000FF, 0, 2);
  rem.Comment(u"# 種別：地形");
  const std::string text = ToCp932(u"# 種別：地形");
  const std::string expected = Bytes()
                                   .I16(1).I32(30 + static_cast<int32_t>(text.size())).F64(kId)
                                   .I16(12).I16(-1).I32(0xFF).U8(1).U8(2).I32(-7)
                                   .I16(static_cast<int32_t>(text.size())).Raw(text).str();
  EXPECT_EQ(ElementBytes(rem, 106), expected);
  EXPECT_FALSE(rem.Modify());
  auto back = std::static_pointer_cast<clsMapRem>(ReadElementBytes(expected, 106));
  EXPECT_EQ(back->Comment(), u"# 種別：地形");
  EXPECT_EQ(back->FigID(), kId);
  EXPECT_EQ(back->Admin(), 12);
  EXPECT_EQ(back->Thing(), -1);
  EXPECT_EQ(back->OwnColor(), 0xFF);
  EXPECT_EQ(back->OwnShowMode(), 0);
  EXPECT_EQ(back->JumpMark(), 2);
  EXPECT_EQ(back->Reserve(), -7);
  EXPECT_FALSE(back->Modify());
}

TEST(RemarkElement, OlderVersionsCountCharacters) {
  clsMapRem rem;
  SetAttributes(rem, -1, 1, 9);
  const std::u16string ten = u"日本語の注釈です。！";  // ten double-byte characters
  rem.Comment(ten);
  const std::string text = ToCp932(ten);
  ASSERT_EQ(text.size(), 20u);
  EXPECT_EQ(FieldAt<int16_t>(ElementBytes(rem, 106), 28), 20);
  EXPECT_EQ(ElementBytes(rem, 105),
            Bytes().I16(1).I16(12).I16(-1).I32(0x4A000000).I16(10).Raw(text).str());
  EXPECT_EQ(ElementBytes(rem, 104), Bytes().I16(1).I16(12).I16(10).Raw(text).I32(0).str());
  EXPECT_EQ(ElementBytes(rem, 103), Bytes().I16(1).I16(12).I16(10).Raw(text).str());
  for (int32_t ver : {99, 100, 103, 104, 105, 106}) {
    int64_t left = -1;
    auto back = std::static_pointer_cast<clsMapRem>(ReadElementBytes(ElementBytes(rem, ver), ver, &left));
    EXPECT_EQ(back->Comment(), ten) << ver;
    EXPECT_EQ(left, 0) << ver;
  }
  auto from105 = ReadElementBytes(ElementBytes(rem, 105), 105);
  EXPECT_EQ(from105->OwnShowMode(), 1);
  EXPECT_EQ(from105->JumpMark(), 9);
  EXPECT_NE(from105->FigID(), kId);  // not stored before 1.06
  auto from104 = ReadElementBytes(Bytes().I16(1).I16(3).I16(0).I32(0x4A0000FF).str(), 104);
  EXPECT_EQ(from104->OwnShowMode(), -1);
  EXPECT_EQ(from104->JumpMark(), 0);
}

TEST(RemarkElement, ReadingEmptiesTheOldComment) {
  auto rem = std::make_shared<clsMapRem>();
  rem->Comment(u"old");
  test::ScratchFolder dir;
  test::WriteFileBytes(dir.Path("e"), Bytes().I16(0).I16(0).str());
  BinaryReader r(dir.File("e"));
  rem->ReadElm(r, 103);
  EXPECT_EQ(rem->Comment(), u"");
}

TEST(RemarkElement, TooLongCommentIsAnOverflow) {
  clsMapRem rem;
  rem.Comment(std::u16string(32738, u'x'));
  try {
    ElementBytes(rem, 106);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kOverflow);
  }
  rem.Comment(std::u16string(32737, u'x'));
  EXPECT_EQ(ElementBytes(rem, 106).size(), 32767u);
}

TEST(RemarkElement, CorruptLengthIsTheShortFileErrorWithoutAHugeAllocation) {
  for (int32_t ver : {103, 106}) {
    Bytes b;
    if (ver == 106) b.I16(1).I32(30).F64(0).I16(0).I16(-1).I32(-1).U8(0).U8(0).I32(0).I16(32000);
    else b.I16(1).I16(0).I16(32000);
    b.Raw("abc");
    try {
      ReadElementBytes(b.str(), ver);
      FAIL() << ver;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), err::kInputPastEnd) << ver;
    }
  }
}

// ---- Polygon and polyline ----

std::shared_ptr<clsPoly> Square() {
  auto p = std::make_shared<clsPoly>();
  p->SetRect(0, 0, 10, 10);
  p->Count(4);
  p->SetXandY(4, 0, 0);
  return p;
}

std::string Points(const clsPoly& p) {
  Bytes b;
  for (int32_t i = 1; i <= p.Count(); ++i) b.I32(p.x(i)).I32(p.y(i));
  return b.str();
}

TEST(LinearElement, EveryVersionOfAPolygon) {
  clsMapPolygon f;
  SetAttributes(f, 0x00FF00, -1, 0);
  f.Poly(Square());
  const std::string pts = Points(*f.Poly());
  const std::string v106 = Bytes().I16(3).I32(64).F64(kId).I16(12).I16(34).I32(0xFF00).U8(0).U8(0)
                               .I32(-7).I32(4).Raw(pts).str();
  EXPECT_EQ(ElementBytes(f, 106), v106);
  EXPECT_EQ(ElementBytes(f, 105), Bytes().I16(3).I16(12).I16(34).I32(0x0400FF00).I16(4).Raw(pts).str());
  EXPECT_EQ(ElementBytes(f, 104), Bytes().I16(3).I16(12).I16(34).I16(4).Raw(pts).I32(0).str());
  EXPECT_EQ(ElementBytes(f, 100), Bytes().I16(3).I16(12).I16(34).I16(4).Raw(pts).str());
  EXPECT_FALSE(f.Modify());

  auto back = ReadElementBytes(v106, 106);
  EXPECT_TRUE(back->Poly()->IsMatch(*f.Poly()));
  EXPECT_EQ(back->FigID(), kId);
  EXPECT_EQ(back->Reserve(), -7);
  EXPECT_EQ(back->OwnColor(), 0xFF00);
  EXPECT_FALSE(back->Modify());
  auto b105 = ReadElementBytes(ElementBytes(f, 105), 105);
  EXPECT_EQ(b105->OwnColor(), 0xFF00);
  EXPECT_EQ(b105->Reserve(), 0);
  auto b104 = ReadElementBytes(Bytes().I16(3).I16(1).I16(2).I16(0).I32(0x4A0000FF).str(), 104);
  EXPECT_EQ(b104->OwnColor(), -1);
  EXPECT_EQ(b104->OwnShowMode(), -1);
  EXPECT_EQ(b104->Thing(), 2);
}

TEST(LinearElement, AttributeWordOfVersion105) {
  clsMapPolyline f;
  SetAttributes(f, -1, 1, 9);
  f.Poly()->SetLine(1, 2, 3, 4);
  const std::string bytes = ElementBytes(f, 105);
  EXPECT_EQ(FieldAt<int16_t>(bytes, 0), 2);
  EXPECT_EQ(FieldAt<int32_t>(bytes, 6), 0x4A000000);
  auto back = ReadElementBytes(bytes, 105);
  EXPECT_EQ(back->OwnColor(), -1);
  EXPECT_EQ(back->OwnShowMode(), 1);
  EXPECT_EQ(back->JumpMark(), 9);
  EXPECT_EQ(ElementBytes(f, 106).size(), 32u + 16u);
}

TEST(LinearElement, ValuesAreReadWithoutRangeChecks) {
  const std::string bytes = Bytes().I16(3).I32(32).F64(1).I16(-5).I16(2000).I32(0x7FFFFFFF).U8(7)
                                .U8(200).I32(0).I32(0).str();
  auto f = ReadElementBytes(bytes, 106);
  EXPECT_EQ(f->Admin(), -5);
  EXPECT_EQ(f->Thing(), 2000);
  EXPECT_EQ(f->OwnShowMode(), 6);
  EXPECT_EQ(f->JumpMark(), 200);
  EXPECT_FALSE(f->IsRight());
}

std::shared_ptr<clsPoly> Zigzag(int32_t n, int32_t spacing) {
  auto p = std::make_shared<clsPoly>();
  for (int32_t i = 0; i < n; ++i) p->AddXandY(i * spacing, (i % 2) * spacing);
  return p;
}

TEST(LinearElement, ShortFormsThinLongListsInPlace) {
  clsMapPolygon f;
  auto list = std::make_shared<clsPoly>();
  for (int32_t i = 0; i < 70000; ++i) list->AddXandY(i, (i / 7) % 2);  // nearly straight steps
  f.Poly(list);
  const std::string bytes = ElementBytes(f, 105);
  EXPECT_LE(f.Poly()->Count(), 65535);
  EXPECT_EQ(FieldAt<uint16_t>(bytes, 10), f.Poly()->Count());
  EXPECT_EQ(bytes.size(), 12u + 8u * f.Poly()->Count());

  clsMapPolygon g;
  g.Poly(Zigzag(70000, 1));
  ElementBytes(g, 106);
  EXPECT_EQ(g.Poly()->Count(), 70000);  // the long form has no limit
}

TEST(LinearElement, ThinningEndsWhenNoToleranceCanHelp) {
  clsMapPolyline f;
  f.Poly(Zigzag(66000, 1000));  // every chord is longer than the thinning allows
  // Cutting to the short form's 65535 points would lose the rest without a word.
  try {
    ElementBytes(f, 104);
    FAIL() << "a list that cannot be thinned was written";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kMapElement);
    EXPECT_NE(e.Description().find(u"Points:66000"), std::u16string::npos);
  }
  EXPECT_EQ(f.Poly()->Count(), 66000);
}

// ---- Symbol ----

TEST(SymbolElement, EveryVersion) {
  clsMapSymbol s;
  SetAttributes(s, -1, 1, 9);
  s.SetSymbolPoint({-100, 200});
  const std::string v106 = Bytes().I16(4).I32(36).F64(kId).I16(12).I16(34).I32(-1).U8(2).U8(9).I32(-7)
                               .I32(-100).I32(200).str();
  EXPECT_EQ(ElementBytes(s, 106), v106);
  EXPECT_EQ(ElementBytes(s, 105), Bytes().I16(4).I16(12).I16(34).I32(0x4A000000).I32(-100).I32(200).str());
  EXPECT_EQ(ElementBytes(s, 104), Bytes().I16(4).I16(12).I16(34).I32(-100).I32(200).I32(0).str());
  EXPECT_EQ(ElementBytes(s, 103), Bytes().I16(4).I16(12).I16(34).I32(-100).I32(200).str());
  for (int32_t ver : {99, 104, 105, 106}) {
    int64_t left = -1;
    auto back = std::static_pointer_cast<clsMapSymbol>(ReadElementBytes(ElementBytes(s, ver), ver, &left));
    EXPECT_EQ(back->GetSymbolPoint(), (PolyPoint{-100, 200})) << ver;
    EXPECT_EQ(back->Thing(), 34) << ver;
    EXPECT_EQ(left, 0) << ver;
    EXPECT_FALSE(back->Modify());
  }
  EXPECT_EQ(ReadElementBytes(ElementBytes(s, 105), 105)->JumpMark(), 9);
  EXPECT_EQ(ReadElementBytes(ElementBytes(s, 104), 104)->JumpMark(), 0);
}

// ---- Text ----

TEST(TextElement, EmptyTextsAndTextLengthsInVersion106) {
  clsMapText t;
  SetAttributes(t, 0x10, 0, 1);
  t.SetTextPoint({5, 6});
  t.TextFix(7);
  t.Angle(-90);
  const std::string empty = Bytes().I16(5).I32(44).F64(kId).I16(12).I16(34).I32(0x10).U8(1).U8(1).I32(-7)
                                .I32(5).I32(6).I16(7).I16(-90).I16(0).I16(0).str();
  EXPECT_EQ(ElementBytes(t, 106), empty);
  t.TextUnicode(1, u"Paris");
  t.TextUnicode(2, u"パリ");
  const std::string full = ElementBytes(t, 106);
  EXPECT_EQ(full.size(), 53u);
  EXPECT_EQ(FieldAt<int32_t>(full, 2), 53);
  auto back = std::static_pointer_cast<clsMapText>(ReadElementBytes(full, 106));
  EXPECT_EQ(back->TextUnicode(1), u"Paris");
  EXPECT_EQ(back->TextUnicode(2), u"パリ");
  EXPECT_EQ(back->Angle(), -90);
  EXPECT_EQ(back->TextFix(), 7);
  EXPECT_EQ(back->GetTextPoint(), (PolyPoint{5, 6}));
  EXPECT_EQ(back->OwnShowMode(), 0);
}

TEST(TextElement, OlderVersionsAndTheCharacterCountOfLanguageTwo) {
  clsMapText t;
  SetAttributes(t, -1, 1, 9);
  t.TextUnicode(1, u"Ab");
  t.TextUnicode(2, u"東京都");
  const std::string jp = ToCp932(u"東京都");
  const std::string tail = Bytes().I32(1).I32(2).I16(10).I16(0).I16(2).Raw("Ab").str();
  t.SetTextPoint({1, 2});
  EXPECT_EQ(ElementBytes(t, 105),
            Bytes().I16(5).I16(12).I16(34).I32(0x4A000000).Raw(tail).I16(6).Raw(jp).str());
  EXPECT_EQ(ElementBytes(t, 104), Bytes().I16(5).I16(12).I16(34).Raw(tail).I16(3).Raw(jp).I32(0).str());
  EXPECT_EQ(ElementBytes(t, 103), Bytes().I16(5).I16(12).I16(34).Raw(tail).I16(3).Raw(jp).str());
  for (int32_t ver : {99, 104, 105, 106}) {
    int64_t left = -1;
    auto back = std::static_pointer_cast<clsMapText>(ReadElementBytes(ElementBytes(t, ver), ver, &left));
    EXPECT_EQ(back->TextUnicode(1), u"Ab") << ver;
    EXPECT_EQ(back->TextUnicode(2), u"東京都") << ver;
    EXPECT_EQ(left, 0) << ver;
  }
}

TEST(TextElement, ReadingBringsTheAngleIntoRangeAndTakesRawBytes) {
  const std::string bytes = Bytes().I16(5).I16(0).I16(0).I32(0).I32(0).I16(30).I16(190)
                                .I16(3).Raw("a^e").I16(-4).str();
  auto t = std::static_pointer_cast<clsMapText>(ReadElementBytes(bytes, 103));
  EXPECT_EQ(t->Angle(), -170);
  EXPECT_EQ(t->TextFix(), 30);
  EXPECT_FALSE(t->IsRight());
  EXPECT_EQ(t->TextUnicode(1), u"a^e");  // no composition on reading
  EXPECT_EQ(t->TextAnsi(2), clsMapText::Bytes{0});
  EXPECT_FALSE(t->Modify());
}

TEST(TextElement, TooLongTextsAreAnOverflow) {
  clsMapText t;
  t.TextAnsi(1, clsMapText::Bytes(32728, 'x'));
  EXPECT_THROW(ElementBytes(t, 106), Error);
  t.TextAnsi(1, clsMapText::Bytes(20000, 'x'));
  t.TextAnsi(2, clsMapText::Bytes(12728, 'y'));
  EXPECT_THROW(ElementBytes(t, 106), Error);
  t.TextAnsi(2, clsMapText::Bytes(12727, 'y'));
  EXPECT_EQ(ElementBytes(t, 106).size(), 44u + 32727u);
}

// ---- Corrupt counts ----

int32_t ReadErrorOf(const std::string& bytes, int32_t ver) {
  try {
    ReadElementBytes(bytes, ver);
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(CorruptElement, CountsBeyondTheFileAreTheShortFileError) {
  const Bytes head106 = Bytes().F64(0).I16(0).I16(0).I32(-1).U8(0).U8(0).I32(0);
  // Point lists: a long-form count of 2^28 - 1 points would ask for 2 GB.
  EXPECT_EQ(ReadErrorOf(Bytes().I16(3).I32(32).Raw(head106.str()).I32(0x0FFFFFFF).I32(1).str(), 106),
            err::kInputPastEnd);
  EXPECT_EQ(ReadErrorOf(Bytes().I16(2).I16(0).I16(0).I16(3).I32(1).I32(1).str(), 104),
            err::kInputPastEnd);
  // Texts: a byte count, and a character count of language 2 before 1.05.
  const std::string textHead = Bytes().I32(0).I32(0).I16(10).I16(0).str();
  EXPECT_EQ(ReadErrorOf(Bytes().I16(5).I32(44).Raw(head106.str()).Raw(textHead).I16(32767).Raw("ab").str(), 106),
            err::kInputPastEnd);
  EXPECT_EQ(ReadErrorOf(Bytes().I16(5).I16(0).I16(0).I32(0).Raw(textHead).I16(0).I16(30000).str(), 105),
            err::kInputPastEnd);
  EXPECT_EQ(ReadErrorOf(Bytes().I16(5).I16(0).I16(0).Raw(textHead).I16(0).I16(2).Cp932(u"東").str(), 103),
            err::kInputPastEnd);  // one character of two bytes, the second missing
  // Fixed parts cut short.
  EXPECT_EQ(ReadErrorOf(Bytes().I16(4).I16(0).I16(0).I32(1).str(), 105), err::kInputPastEnd);
  EXPECT_EQ(ReadErrorOf(Bytes().I16(1).I32(30).F64(0).str(), 106), err::kInputPastEnd);
}

TEST(CorruptElement, NegativeCountsReadAsEmpty) {
  const std::string textHead = Bytes().I32(0).I32(0).I16(10).I16(0).str();
  auto t = std::static_pointer_cast<clsMapText>(
      ReadElementBytes(Bytes().I16(5).I16(0).I16(0).Raw(textHead).I16(-3).I16(-1).str(), 103));
  EXPECT_EQ(t->TextAnsi(1), clsMapText::Bytes{0});
  EXPECT_EQ(t->TextAnsi(2), clsMapText::Bytes{0});
  const Bytes head106 = Bytes().F64(0).I16(0).I16(0).I32(-1).U8(0).U8(0).I32(0);
  auto line = ReadElementBytes(Bytes().I16(2).I32(32).Raw(head106.str()).I32(-5).str(), 106);
  EXPECT_EQ(line->Poly()->Count(), 0);
}

}  // namespace
}  // namespace picmap
