#include <gtest/gtest.h>

#include "support/binfile.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/platform.h"
#include "support/text.h"

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <vector>
#include <cstring>
#include <fstream>

using namespace picmap;

namespace {

int32_t NumberOf(auto&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace

TEST(Errors, LocationsStackOutermostFirstAndKeepTheirNumber) {
  Error seen(0, u"", u"");
  try {
    try {
      try {
        Throw(err::kOverflow);
      } catch (...) {
        RaiseError(err::kClassDefault, u"clsThing", u"ReadThing");
      }
    } catch (...) {
      RaiseError(err::kClassDefault, u"clsThings", u"Load");
    }
  } catch (const Error& e) {
    seen = e;
  }
  EXPECT_EQ(seen.Number(), err::kOverflow);
  EXPECT_EQ(seen.Source(), u"clsThings.Load/clsThing.ReadThing/");
}

TEST(Errors, NumberlessErrorsGetTheDefaultAndCommentsPrefixTheDescription) {
  Error e(0, u"x", u"D");
  AddErrorLocation(e, err::kModuleDefault, u"basLibrary", u"StrToTokens", u"C");
  EXPECT_EQ(e.Number(), static_cast<int32_t>(0x800403EA));
  EXPECT_EQ(e.Description(), u"C/D");
  EXPECT_EQ(e.Source(), u"basLibrary.StrToTokens/x");
  AddErrorLocation(e, err::kClassDefault, u"a", u"b", u"");
  EXPECT_EQ(e.Description(), u"C/D");
  EXPECT_EQ(e.Number(), static_cast<int32_t>(0x800403EA));
}

TEST(Errors, ForeignExceptionsBecomeRuntimeErrors) {
  EXPECT_EQ(NumberOf([] {
              try {
                throw std::bad_alloc();
              } catch (...) {
                RaiseError(err::kClassDefault, u"clsPoly", u"Load");
              }
            }),
            err::kOutOfMemory);
}

TEST(Numeric, CheckedArithmeticRaisesOverflowInsteadOfWrapping) {
  EXPECT_EQ(AddL(2147483646, 1), 2147483647);
  EXPECT_EQ(NumberOf([] { AddL(2147483647, 1); }), err::kOverflow);
  EXPECT_EQ(NumberOf([] { SubL(-2147483647 - 1, 1); }), err::kOverflow);
  EXPECT_EQ(NumberOf([] { MulL(65536, 32768); }), err::kOverflow);
  EXPECT_EQ(NumberOf([] { NegL(-2147483647 - 1); }), err::kOverflow);
  EXPECT_EQ(NumberOf([] { AddI(32767, 1); }), err::kOverflow);
  EXPECT_EQ(NumberOf([] { DivL(1, 0); }), err::kDivisionByZero);
  EXPECT_EQ(DivL(-7, 2), -3);
  EXPECT_EQ(ModL(-7, 2), -1);
}

TEST(Numeric, RealToIntegerRoundsHalfToEven) {
  EXPECT_EQ(CLng(2.5), 2);
  EXPECT_EQ(CLng(3.5), 4);
  EXPECT_EQ(CLng(-2.5), -2);
  EXPECT_EQ(CLng(-0.5), 0);
  EXPECT_EQ(CLng(2147483647.4), 2147483647);
  EXPECT_EQ(NumberOf([] { CLng(2147483647.5); }), err::kOverflow);
  EXPECT_EQ(NumberOf([] { CInt(32767.5); }), err::kOverflow);
  EXPECT_EQ(CInt(-32768.4), -32768);
}

TEST(Numeric, ValReadsTheLeadingNumber) {
  EXPECT_EQ(Val(u""), 0);
  EXPECT_EQ(Val(u"  12 34abc"), 1234);
  EXPECT_EQ(Val(u"-1.5e3x"), -1500);
  EXPECT_EQ(Val(u"1.5RAD"), 1.5);
  EXPECT_EQ(Val(u"3E"), 3);
  EXPECT_EQ(Val(u"&HFF"), 255);
  EXPECT_EQ(Val(u"&HFFFF"), -1);
  EXPECT_EQ(Val(u"&HFFFF&"), 65535);
  EXPECT_EQ(Val(u"&H000000FF&"), 255);
  EXPECT_EQ(Val(u"&HFFFFFFFF"), -1);
  EXPECT_EQ(Val(u"&O17"), 15);
  EXPECT_EQ(Val(u"abc"), 0);
  EXPECT_EQ(Val(u"1000,5"), 1000);
}

TEST(Numeric, ValOfRadixNumbersWiderThan64BitsDoesNotWrap) {
  // 17 hexadecimal or 22 octal digits no longer fit a 64-bit integer.
  EXPECT_DOUBLE_EQ(Val(u"&H" + std::u16string(17, u'F') + u"&"), 295147905179352825856.0);
  EXPECT_DOUBLE_EQ(Val(u"&O" + std::u16string(22, u'7') + u"&"), 73786976294838206464.0);
  EXPECT_DOUBLE_EQ(Val(u"&H100000000"), 4294967296.0);
}

TEST(Text, Cp932RoundTripsJapaneseAndMapsTheWaveDash) {
  std::u16string s = u"画像ポリゴン～ABC";
  std::string b = ToCp932(s);
  EXPECT_EQ(FromCp932(b), s);
  std::string wave = ToCp932(u"～");
  ASSERT_EQ(wave.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(wave[0]), 0x81);
  EXPECT_EQ(static_cast<unsigned char>(wave[1]), 0x60);
  EXPECT_EQ(ToCp932(u"\U0001F600x"), "?x");
  // A lone surrogate is one unmappable character; the one after it is kept.
  EXPECT_EQ(ToCp932(std::u16string(u"\xD800") + u"A漢"), "?A\x8A\xBF");
  EXPECT_EQ(FromCp932("\x81"), u"\uFFFD");
}

// Stored remarks may hold any single byte; a load and a save must give back the same bytes.
TEST(Text, EverySingleByteOfCodePage932RoundTrips) {
  for (int b = 0x01; b <= 0xFF; ++b) {
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (lead) continue;
    const std::string bytes = std::string("A") + static_cast<char>(b) + "\x8A\xBF";
    EXPECT_EQ(ToCp932(FromCp932(bytes)), bytes) << "byte " << b;
  }
  EXPECT_EQ(FromCp932("\x80\xA0\xFD\xFE\xFF"), u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3");
  // 0x80 as the second byte of a pair stays part of its character.
  EXPECT_EQ(FromCp932("\x81\x80"), u"÷");
}

TEST(Text, Utf8RoundTripsIncludingSurrogatePairs) {
  std::u16string s = u"度°\U0001F600a";
  EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
  EXPECT_EQ(ToUtf8(u"度"), "\xE5\xBA\xA6");
}

TEST(Platform, JapaneseDateAndTimeTexts) {
  DateTime t{2026, 12, 7, 4, 52, 1};
  EXPECT_EQ(ShortDateText(t), u"2026/12/07");
  EXPECT_EQ(LongDateText(t), u"2026年12月7日");
  EXPECT_EQ(TimeText(t), u"4:52:01");
  EXPECT_EQ(GeneralDateText(t), u"2026/12/07 4:52:01");
  DateTime back = FromEpochSeconds(ToEpochSeconds(t));
  EXPECT_EQ(back.year, 2026);
  EXPECT_EQ(back.day, 7);
  EXPECT_EQ(back.second, 1);
}

TEST(BinaryFile, ShortReadsAreError62AndConsumeNothing) {
  auto path = std::filesystem::temp_directory_path() / "picmap_binfile_test.bin";
  {
    BinaryWriter w(FromUtf8(path.string()));
    w.Write<int32_t>(0x01020304);
    w.Write<int16_t>(-2);
    w.Close();
  }
  BinaryReader r(FromUtf8(path.string()));
  EXPECT_EQ(r.Size(), 6);
  EXPECT_EQ(r.Read<int32_t>(), 0x01020304);
  EXPECT_EQ(NumberOf([&] { r.Read<int32_t>(); }), err::kInputPastEnd);
  EXPECT_EQ(r.Read<int16_t>(), -2);
  EXPECT_TRUE(r.AtEnd());
  std::filesystem::remove(path);
  EXPECT_EQ(NumberOf([&] { BinaryReader missing(FromUtf8(path.string())); }),
            err::kFileNotFound);
}

// Large files go out a block at a time; pieces of every size must land in order across the
// block edges.
TEST(BinaryFile, PiecesOfAnySizeCrossTheBufferEdgesInOrder) {
  auto path = std::filesystem::temp_directory_path() / "picmap_binfile_blocks.bin";
  std::vector<uint8_t> expected;
  auto next = [&expected](size_t n) {
    std::vector<uint8_t> piece(n);
    for (auto& b : piece) b = static_cast<uint8_t>(expected.size() * 7 + (&b - piece.data()) * 13);
    expected.insert(expected.end(), piece.begin(), piece.end());
    return piece;
  };
  {
    BinaryWriter w(FromUtf8(path.string()));
    for (int i = 0; i < 20000; ++i) w.WriteBytes(next(37).data(), 37);
    const std::vector<uint8_t> big = next((5u << 20) / 2);  // over two blocks at once
    w.WriteBytes(big.data(), big.size());
    for (int i = 0; i < 30000; ++i) {
      const std::vector<uint8_t> piece = next(72);
      std::memcpy(w.Claim(72), piece.data(), 72);
    }
    EXPECT_EQ(w.Position(), static_cast<int64_t>(expected.size()));
    w.Close();
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> back((std::istreambuf_iterator<char>(in)), {});
  EXPECT_TRUE(back == expected);
  std::filesystem::remove(path);
}

TEST(BinaryFile, AFolderIsNoFileToRead) {
  const auto dir = std::filesystem::temp_directory_path();
  EXPECT_EQ(NumberOf([&] { BinaryReader r(FromUtf8(dir.string())); }), err::kPathFileAccess);
}

// Qt sets the C library's locale from the environment; numbers must read the same under a
// locale whose decimal mark is a comma.
TEST(Numeric, ReadingIgnoresTheProcessLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
  std::string old = std::setlocale(LC_NUMERIC, nullptr);
  bool set = false;
  for (const char* n : names)
    if (std::setlocale(LC_NUMERIC, n)) {
      set = true;
      break;
    }
  if (!set) GTEST_SKIP() << "no decimal-comma locale is installed";
  const double v = Val(u"135.5");
  double w = 0;
  const bool ok = TryTextToDouble(u"-1.25e2", w);
  const std::u16string t = DoubleToText(1.5);
  std::setlocale(LC_NUMERIC, old.c_str());
  EXPECT_EQ(v, 135.5);
  EXPECT_TRUE(ok);
  EXPECT_EQ(w, -125.0);
  EXPECT_EQ(t, u"1.5");
}
