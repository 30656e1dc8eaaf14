#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <type_traits>

#include "support/errors.h"
#include "support/library.h"
#include "support/platform.h"
#include "support/text.h"

using namespace picmap;
using Tokens = std::vector<std::u16string>;

TEST(StrToTokens, CommaModeKeepsEmptyTokensBetweenCommas) {
  EXPECT_EQ(StrToTokens(u"a,,b", 2), (Tokens{u"a", u"", u"b"}));
  EXPECT_EQ(StrToTokens(u",a", 2), (Tokens{u"", u"a"}));
  EXPECT_EQ(StrToTokens(u"", 2), (Tokens{u""}));
  EXPECT_EQ(StrToTokens(u"1, 2", 2), (Tokens{u"1", u" 2"}));
  // The comma closes the token before it; the end of the text closes nothing further.
  EXPECT_EQ(StrToTokens(u"a,", 2), (Tokens{u"a"}));
}

TEST(StrToTokens, QuotesGroupTextAndAreDropped) {
  EXPECT_EQ(StrToTokens(u"\"x,y\",z", 2), (Tokens{u"x,y", u"z"}));
  EXPECT_EQ(StrToTokens(u"\"\"", 2), (Tokens{u""}));
  EXPECT_EQ(StrToTokens(u"\"a b\" c", 1), (Tokens{u"a b", u"c"}));
  EXPECT_EQ(StrToTokens(u"na\"m\"e", 1), (Tokens{u"name"}));
  // An unclosed quote runs to the end of the line instead of losing the token.
  EXPECT_EQ(StrToTokens(u"a,\"b c", 2), (Tokens{u"a", u"b c"}));
  EXPECT_EQ(StrToTokens(u"\"", 2), (Tokens{u""}));
}

TEST(StrToTokens, BlankModesSkipRunsOfSeparators) {
  EXPECT_EQ(StrToTokens(u"a  b", 1), (Tokens{u"a", u"b"}));
  EXPECT_EQ(StrToTokens(u"a,b", 1), (Tokens{u"a,b"}));
  EXPECT_EQ(StrToTokens(u"\u3000a\tb ", 1), (Tokens{u"a", u"b"}));
  EXPECT_EQ(StrToTokens(u"a b\tc", 3), (Tokens{u"a b", u"c"}));
  EXPECT_EQ(StrToTokens(u"a b,c,,d", 0), (Tokens{u"a", u"b", u"c", u"", u"d"}));
  EXPECT_EQ(StrToTokens(u"a\r\nb", 2), (Tokens{u"a", u"b"}));
  EXPECT_EQ(StrToTokens(u"   ", 1), (Tokens{u""}));
}

TEST(StrToTokens, ManyTokens) {
  std::u16string line;
  for (int i = 0; i < 450; ++i) line += u"x,";
  EXPECT_EQ(StrToTokens(line, 2).size(), 450u);
}

TEST(KansujiToArabic, KanjiNumeralsWithMultipliers) {
  EXPECT_EQ(KansujiToArabic(u"二十三"), u"23");
  EXPECT_EQ(KansujiToArabic(u"二十"), u"20");
  EXPECT_EQ(KansujiToArabic(u"廿五"), u"25");
  EXPECT_EQ(KansujiToArabic(u"十"), u"10");
  EXPECT_EQ(KansujiToArabic(u"三千二百万"), u"32000000");
  EXPECT_EQ(KansujiToArabic(u"一億二千万円"), u"120000000円");
  EXPECT_EQ(KansujiToArabic(u"壱萬弐阡"), u"12000");
  EXPECT_EQ(KansujiToArabic(u"一京"), u"1E+16");
}

TEST(KansujiToArabic, DigitsPointsAndCommas) {
  EXPECT_EQ(KansujiToArabic(u"１２３"), u"123");
  EXPECT_EQ(KansujiToArabic(u"1,234"), u"1234");
  EXPECT_EQ(KansujiToArabic(u"1.5万"), u"15000");
  EXPECT_EQ(KansujiToArabic(u"0.000009696R"), u"0.000009696R");
  EXPECT_EQ(KansujiToArabic(u"-0.00001"), u"-0.00001");
  EXPECT_EQ(KansujiToArabic(u"3."), u"3.");
  EXPECT_EQ(KansujiToArabic(u"1.2.3"), u"1.23");
  EXPECT_EQ(KansujiToArabic(u"a,1"), u"a,1");
  EXPECT_EQ(KansujiToArabic(u"135.30,15"), u"135.3015");
  EXPECT_EQ(KansujiToArabic(u"一・五"), u"1.5");
}

TEST(KansujiToArabic, FractionWordsAndSigns) {
  EXPECT_EQ(KansujiToArabic(u"五分"), u"0.05");
  EXPECT_EQ(KansujiToArabic(u"三割"), u"0.3");
  EXPECT_EQ(KansujiToArabic(u"分"), u"分");
  EXPECT_EQ(KansujiToArabic(u"万"), u"万");
  EXPECT_EQ(KansujiToArabic(u"－5"), u"-5");
  EXPECT_EQ(KansujiToArabic(u"＋十"), u"+10");
}

TEST(KansujiToArabic, ANumberBeyondTheRealRangeIsTheOverflowError) {
  for (const std::u16string& huge : {std::u16string(400, u'9'), std::u16string(300, u'9') + u"京"}) {
    try {
      KansujiToArabic(huge);
      ADD_FAILURE();
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), err::kOverflow);
      EXPECT_EQ(e.Source(), u"basLibrary.KansujiToArabic/");
    }
  }
}

TEST(KansujiToArabic, TextWithoutNumeralsIsUnchanged) {
  EXPECT_EQ(KansujiToArabic(u""), u"");
  EXPECT_EQ(KansujiToArabic(u"北緯35度"), u"北緯35度");
  EXPECT_EQ(KansujiToArabic(u"東経 E"), u"東経 E");
}

TEST(ScreenMousePointer, PushesAndPopsNest) {
  ScopedScriptedPorts ports;
  ports.pointer.current = pointer::kArrow;
  const int16_t depth = ScreenMousePointerDepth();
  ScreenMousePointer(pointer::kHourglass);
  ScreenMousePointer(pointer::kCross);
  EXPECT_EQ(ports.pointer.current, pointer::kCross);
  EXPECT_EQ(ScreenMousePointerDepth(), depth + 2);
  ScreenMousePointer(-1);
  EXPECT_EQ(ports.pointer.current, pointer::kHourglass);
  ScreenMousePointer(-1);
  EXPECT_EQ(ports.pointer.current, pointer::kArrow);
  EXPECT_EQ(ScreenMousePointerDepth(), depth);
}

TEST(ScreenMousePointer, PopOnEmptyStackDoesNothing) {
  ScopedScriptedPorts ports;
  while (ScreenMousePointerDepth() > 0) ScreenMousePointer(-1);
  ports.pointer.current = pointer::kIBeam;
  ports.pointer.history.clear();
  ScreenMousePointer(-1);
  EXPECT_EQ(ScreenMousePointerDepth(), 0);
  EXPECT_EQ(ports.pointer.current, pointer::kIBeam);
  EXPECT_TRUE(ports.pointer.history.empty());
}

TEST(ShowError, UsesTheErrorIconAndTheProgramTitle) {
  ScopedScriptedPorts ports;
  ProgramInfo info = Program();
  info.title = u"題名";
  SetProgramInfo(info);
  ShowError(u"失敗");
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].text, u"失敗");
  EXPECT_EQ(ports.messages.shown[0].title, u"題名");
  EXPECT_EQ(ports.messages.shown[0].buttons, MsgButtons::Ok);
  EXPECT_EQ(ports.messages.shown[0].icon, MsgIcon::Error);
}

class FileTests : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("picmap_lib_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(dir_, ec))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  std::u16string Make(const std::string& name, mode_t mode) {
    const auto path = dir_ / name;
    std::ofstream(path) << "x";
    ::chmod(path.c_str(), mode);
    return FromUtf8(path.string());
  }
  std::filesystem::path dir_;
};

TEST_F(FileTests, ExistenceOfFilesAndFolders) {
  EXPECT_TRUE(FileExists(Make("a.txt", 0644)));
  EXPECT_TRUE(FileExists(FromUtf8(dir_.string())));
  EXPECT_FALSE(FileExists(FromUtf8((dir_ / "none").string())));
  EXPECT_FALSE(FileExists(u""));
  EXPECT_FALSE(FileExists(FromUtf8((dir_ / "a.txt" / "x").string())));
}

TEST_F(FileTests, ReadOnlyFromTheModeBitsEvenForRoot) {
  ScopedScriptedPorts ports;
  const std::u16string ro = Make("ro.txt", 0444);
  EXPECT_TRUE(IsReadOnlyFile(ro, false));
  EXPECT_TRUE(ports.messages.shown.empty());
  EXPECT_TRUE(IsReadOnlyFile(ro, true));
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].text, ro + u"\r\nは読み取り専用ファイルです.");
  EXPECT_EQ(ports.messages.shown[0].icon, MsgIcon::Error);

  EXPECT_FALSE(IsReadOnlyFile(Make("rw.txt", 0644), true));
  EXPECT_FALSE(IsReadOnlyFile(FromUtf8((dir_ / "missing").string()), true));
  EXPECT_EQ(ports.messages.shown.size(), 1u);
}

TEST(Paths, ChangeExtensionLooksOnlyAtTheFileName) {
  EXPECT_EQ(ChangeExtension(u"x.mll", u".THG"), u"x.THG");
  EXPECT_EQ(ChangeExtension(u"map", u"THG"), u"map.THG");
  EXPECT_EQ(ChangeExtension(u"C:\\a.b\\map", u"THG"), u"C:\\a.b\\map.THG");
  EXPECT_EQ(ChangeExtension(u"/home/a.b/map", u"THG"), u"/home/a.b/map.THG");
  EXPECT_EQ(ChangeExtension(u"/home/a.b/pic.v2.png", u".MLL"), u"/home/a.b/pic.v2.MLL");
  EXPECT_EQ(ChangeExtension(u"a.", u"..x"), u"a..x");
}

TEST(Paths, FileNameOfTakesTheLastComponent) {
  EXPECT_EQ(FileNameOf(u"/a.b/c/map.MLL"), u"map.MLL");
  EXPECT_EQ(FileNameOf(u"C:\\dir\\map.MLL"), u"map.MLL");
  EXPECT_EQ(FileNameOf(u"C:map.MLL"), u"map.MLL");
  EXPECT_EQ(FileNameOf(u"map.MLL"), u"map.MLL");
  EXPECT_EQ(FileNameOf(u"12:30 map.MLL"), u"12:30 map.MLL");  // a colon in a Linux name
  EXPECT_EQ(FileNameOf(u"/dir/"), u"");
}

TEST(SmallHelpers, DateTimeDigitsQuoteAndVarToText) {
  ScopedScriptedPorts ports;
  EXPECT_EQ(DateTimeDigits(u"-"), u"2026-12-07-4-52-01");
  EXPECT_EQ(DateTimeDigits(u""), u"2026120745201");
  EXPECT_EQ(Quote(u"a\"b"), u"\"a\"b\"");
  EXPECT_EQ(VarToText(TextOrBytes{std::u16string(u"漢字")}), u"漢字");
  EXPECT_EQ(VarToText(TextOrBytes{std::vector<uint8_t>{0x41, 0xE9, 0}}), std::u16string(u"A\u00E9\0", 3));
  EXPECT_EQ(VarToText(TextOrBytes{std::vector<uint8_t>{0, 0x41}}), u"");
  EXPECT_EQ(VarToText(TextOrBytes{std::vector<uint8_t>{}}), u"");
  EXPECT_EQ(VarToText(TextOrBytes{}), u"");
}

TEST(SmallHelpers, RangesAndMinMax) {
  EXPECT_TRUE(InRange(5, 5, 5));
  EXPECT_FALSE(InRange(4, 5, 6));
  EXPECT_EQ(ClampInt(-3, 0, 9), 0);
  EXPECT_EQ(ClampInt(12, 0, 9), 9);
  EXPECT_EQ(ClampInt(4, 0, 9), 4);
  EXPECT_EQ(MinOf(2, 3.5), 2.0);
  EXPECT_EQ(MaxOf(2, 3.5), 3.5);
  // Same-type arguments return a value, never a reference to a parameter that is gone.
  static_assert(!std::is_reference_v<decltype(MinOf(1, 2))>);
  static_assert(!std::is_reference_v<decltype(MaxOf(1.0, 2.0))>);
  EXPECT_EQ(MinOf(7, 3), 3);
  EXPECT_EQ(Hypot(3, 4), 5.0);
}

TEST(SmallHelpers, SatToLongSaturatesSymmetrically) {
  EXPECT_EQ(SatToLong(3000000000.0), 2147483647);
  EXPECT_EQ(SatToLong(-3000000000.0), -2147483647);
  EXPECT_EQ(SatToLong(2147483646.0), 2147483646);
  EXPECT_EQ(SatToLong(2147483646.5), 2147483647);
  EXPECT_EQ(SatToLong(-2147483646.0), -2147483646);
  EXPECT_EQ(SatToLong(2.5), 2);
  EXPECT_EQ(SatToLong(-3.5), -4);
}

TEST(TextFunctions, NarrowChars) {
  EXPECT_EQ(NarrowChars(u"ＡＢ１２　（ｘ）"), u"AB12 (x)");
  EXPECT_EQ(NarrowChars(u"ガパヴンー"), u"ｶﾞﾊﾟｳﾞﾝｰ");
  EXPECT_EQ(NarrowChars(u"゛゜。「」、・"), u"ﾞﾟ｡｢｣､･");
  EXPECT_EQ(NarrowChars(u"度分秒ヵヶあ"), u"度分秒ヵヶあ");
}

TEST(TextFunctions, CaseAndTrim) {
  EXPECT_EQ(UpperText(u"abcｘｙz°λ"), u"ABCＸＹZ°λ");
  EXPECT_TRUE(EqualsIgnoringCase(u"Polygon", u"POLYGON"));
  EXPECT_TRUE(EqualsIgnoringCase(u"ｐｏｌ", u"ＰＯＬ"));
  EXPECT_FALSE(EqualsIgnoringCase(u"pol", u"ＰＯＬ"));
  EXPECT_EQ(FindIgnoringCase(u"a thing", u"THING"), 3u);
  EXPECT_EQ(FindIgnoringCase(u"thing thing", u"THING", 2), 7u);
  EXPECT_EQ(FindIgnoringCase(u"thing", u"x"), 0u);
  EXPECT_EQ(FindIgnoringCase(u"ab", u"b", 9), 0u);
  EXPECT_EQ(TrimText(u" \u3000a b\u3000 "), u"a b");
  EXPECT_EQ(TrimText(u"   "), u"");
}

TEST(TextFunctions, TextToDoubleAcceptsOnlyWholeNumbers) {
  double v = 0;
  EXPECT_TRUE(TryTextToDouble(u" 135.5 ", v));
  EXPECT_EQ(v, 135.5);
  EXPECT_TRUE(TryTextToDouble(u"-1.5e2", v));
  EXPECT_EQ(v, -150);
  EXPECT_TRUE(TryTextToDouble(u".5", v));
  EXPECT_EQ(v, 0.5);
  EXPECT_TRUE(TryTextToDouble(u"&H10", v));
  EXPECT_EQ(v, 16);
  EXPECT_TRUE(TryTextToDouble(u"&O17", v));
  EXPECT_EQ(v, 15);
  for (const char16_t* bad : {u"", u" ", u"135,30", u"1,234.5", u"W135.5", u"35 N", u"1.5RAD",
                              u"1e", u".", u"+", u"&H", u"&HG", u"1.2.3", u"1 2", u"inf"}) {
    EXPECT_FALSE(TryTextToDouble(bad, v)) << ToUtf8(bad);
  }
  try {
    TryTextToDouble(u"1e400", v);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kOverflow);
  }
}

TEST(TextFunctions, DoubleToTextGeneralForm) {
  EXPECT_EQ(DoubleToText(0), u"0");
  EXPECT_EQ(DoubleToText(23), u"23");
  EXPECT_EQ(DoubleToText(-5), u"-5");
  EXPECT_EQ(DoubleToText(0.05), u"0.05");
  EXPECT_EQ(DoubleToText(1000000000), u"1000000000");
  EXPECT_EQ(DoubleToText(999999999999999.0), u"999999999999999");
  EXPECT_EQ(DoubleToText(1e16), u"1E+16");
  EXPECT_EQ(DoubleToText(1.5e16), u"1.5E+16");
  EXPECT_EQ(DoubleToText(0.1 + 0.2), u"0.3");
  EXPECT_EQ(DoubleToText(0.0001), u"0.0001");
  EXPECT_EQ(DoubleToText(0.00001), u"1E-05");
  EXPECT_EQ(DoubleToText(1.0 / 3), u"0.333333333333333");
}

TEST(TextFunctions, FormatPatternPadsAndRounds) {
  EXPECT_EQ(FormatPattern(135.5041666666, u"000.0000000"), u"135.5041667");
  EXPECT_EQ(FormatPattern(0, u"000.0000000"), u"000.0000000");
  EXPECT_EQ(FormatPattern(-5.25, u"000.0000000"), u"005.2500000");
  EXPECT_EQ(FormatPattern(0.125, u"0.00"), u"0.13");
  EXPECT_EQ(FormatPattern(9.9999999999, u"0.000000000"), u"10.000000000");
  EXPECT_EQ(FormatPattern(1234.6, u"0"), u"1235");
}
