// The text figure's own members: fix code, angle, the two texts and the accent composition.
#include <gtest/gtest.h>

#include "map/clsMapText.h"
#include "map_helpers.h"
#include "support/binfile.h"
#include "support/errors.h"
#include "support/text.h"

namespace picmap {
namespace {

using B = clsMapText::Bytes;

B Of(const std::string& s) { return B(s.begin(), s.end()); }

TEST(TextFigure, StartsEmptyWithFixTenAndAngleZero) {
  clsMapText t;
  EXPECT_EQ(t.FigCode(), 5);
  EXPECT_EQ(t.TextFix(), 10);
  EXPECT_EQ(t.Angle(), 0);
  EXPECT_EQ(t.TextUnicode(1), u"");
  EXPECT_EQ(t.TextUnicode(2), u"");  // the empty text, not a zero character
  EXPECT_EQ(t.TextAnsi(1), B{0});
  EXPECT_EQ(t.TextAnsi(2), B{0});
}

TEST(TextFigure, AngleIsBroughtIntoPlusMinus180) {
  clsMapText t;
  for (auto [in, out] : {std::pair{190, -170}, {540, 180}, {-180, -180}, {-190, 170}, {180, 180},
                         {181, -179}, {-540, -180}, {-541, 179}, {720, 0},
                         {2147483647, 127}, {-2147483647 - 1, -128}}) {
    t.Modify(false);
    t.Angle(in);
    EXPECT_EQ(t.Angle(), out) << in;
    EXPECT_TRUE(t.Modify());
  }
}

TEST(TextFigure, FixCodeOutsideZeroTo24IsIgnored) {
  clsMapText t;
  t.TextFix(25);
  t.TextFix(-1);
  EXPECT_EQ(t.TextFix(), 10);
  EXPECT_FALSE(t.Modify());
  t.TextFix(0);
  EXPECT_EQ(t.TextFix(), 0);
  t.TextFix(24);
  EXPECT_EQ(t.TextFix(), 24);
  EXPECT_TRUE(t.Modify());
}

TEST(TextFigure, CircumflexAfterAVowelComposesTheAccentedLetter) {
  EXPECT_EQ(clsMapText::ComposeAccents(Of("Co^te")), Of("C\xF4te"));
  EXPECT_EQ(clsMapText::ComposeAccents(Of("E^")), B{202});
  EXPECT_EQ(clsMapText::ComposeAccents(Of("A^I^U^E^O^a^i^u^e^o^")),
            (B{194, 206, 219, 202, 212, 226, 238, 251, 234, 244}));
  // The test looks at the input byte before the circumflex.
  EXPECT_EQ(clsMapText::ComposeAccents(Of("a^^")), Of("\xE2^"));
  EXPECT_EQ(clsMapText::ComposeAccents(Of("^a")), Of("^a"));
  // After any other byte the circumflex stays; no zero byte appears.
  EXPECT_EQ(clsMapText::ComposeAccents(Of("x^")), Of("x^"));
  EXPECT_EQ(clsMapText::ComposeAccents(Of("1^2")), Of("1^2"));
  EXPECT_EQ(clsMapText::ComposeAccents(B{}), B{});
}

TEST(TextFigure, LanguageOneReadsBackTheComposedText) {
  clsMapText t;
  t.TextUnicode(1, u"Co^te d'Ivoire");
  EXPECT_EQ(t.TextUnicode(1), u"Côte d'Ivoire");
  EXPECT_EQ(t.TextAnsi(1).size(), 13u);  // one byte shorter than written
  t.TextUnicode(1, u"Côte");  // characters up to 255 keep their code
  EXPECT_EQ(t.TextUnicode(1), u"Côte");
  t.TextUnicode(1, u"");
  EXPECT_EQ(t.TextAnsi(1), B{0});
}

TEST(TextFigure, LanguageTwoIsCodePage932) {
  clsMapText t;
  t.TextUnicode(2, u"日本列島");
  EXPECT_EQ(t.TextUnicode(2), u"日本列島");
  EXPECT_EQ(t.TextAnsi(2).size(), 8u);
  t.TextAnsi(2, Of("a^"));  // taken as it is
  EXPECT_EQ(t.TextUnicode(2), u"a^");
}

TEST(TextFigure, TextStartingWithZeroIsEmpty) {
  clsMapText t;
  t.TextAnsi(1, B{0, 'a', 'b'});
  EXPECT_EQ(t.TextAnsi(1), B{0});
  t.TextAnsi(2, B{});
  EXPECT_EQ(t.TextAnsi(2), B{0});
  EXPECT_EQ(t.TextUnicode(2), u"");
}

TEST(TextFigure, OtherLanguagesChangeNoTextButTheUnicodeSetterMarksModified) {
  clsMapText t;
  t.TextUnicode(1, u"x");
  t.Modify(false);
  t.TextAnsi(3, Of("abc"));
  EXPECT_FALSE(t.Modify());
  EXPECT_EQ(t.TextAnsi(3), B{0});
  EXPECT_EQ(t.TextUnicode(3), u"");
  t.TextUnicode(3, u"abc");
  EXPECT_TRUE(t.Modify());
  EXPECT_EQ(t.TextUnicode(1), u"x");
  EXPECT_EQ(t.TextUnicode(2), u"");
}

TEST(TextFigure, LanguageOneKeepsLatinLettersAndCodesOtherCharactersInTheCodePage) {
  clsMapText t;
  t.TextUnicode(1, u"Señor Ñandú");
  EXPECT_EQ(t.TextAnsi(1), Of("Se\xF1or \xD1" "and\xFA"));
  EXPECT_EQ(t.TextUnicode(1), u"Señor Ñandú");
  t.TextUnicode(1, u"Osaka 大阪");
  EXPECT_EQ(t.TextAnsi(1), Of("Osaka " + ToCp932(u"大阪")));
  t.TextUnicode(1, u"\U0001F600");  // no place in the code page
  EXPECT_EQ(t.TextAnsi(1), Of("?"));
}

// A length that does not fit its field fails before the first byte of the element is written.
TEST(TextFigure, TooLongTextWritesNothing) {
  for (int32_t ver : {104, 105, 106}) {
    clsMapText t;
    t.TextAnsi(2, B(40000, 'y'));
    test::ScratchFolder dir;
    BinaryWriter w(dir.File("elm.bin"));
    try {
      t.WriteElm(w, ver);
      ADD_FAILURE() << ver;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), err::kOverflow) << ver;
    }
    w.Close();
    EXPECT_EQ(test::ReadFileBytes(dir.Path("elm.bin")), "") << ver;
  }
}

// Version 1.04 counts the Japanese text in characters; a cut-off text ending in a lead byte
// made its reader take the attribute word's first byte as the second half and lose its place
// in the file. The lone byte is written as "?", and the element reads back whole.
TEST(TextFigure, CutOffJapaneseTextReadsBackFromVersion104) {
  clsMapText t;
  t.Admin(1);
  t.Thing(2);
  t.TextAnsi(2, Of("A\x81"));
  int64_t leftOver = -1;
  auto back = std::static_pointer_cast<clsMapText>(
      test::ReadElementBytes(test::ElementBytes(t, 104), 104, &leftOver));
  EXPECT_EQ(back->TextAnsi(2), Of("A?"));
  EXPECT_EQ(leftOver, 0);
  EXPECT_EQ(t.TextAnsi(2), Of("A\x81"));  // the document keeps its own bytes
}

}  // namespace
}  // namespace picmap
