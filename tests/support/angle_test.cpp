#include <gtest/gtest.h>

#include <cmath>

#include "support/angle.h"
#include "support/errors.h"
#include "support/text.h"

using namespace picmap;

namespace {

const std::u16string DQ = u"\"";

class Angle : public ::testing::Test {
 protected:
  void SetUp() override { ResetAngleSettings(); }
  void TearDown() override { ResetAngleSettings(); }
};

// The error an angle procedure raises for `text`; number 0 when it does not raise.
Error FormalError(const std::u16string& text) {
  try {
    AngleFormalStr(text);
  } catch (const Error& e) {
    return e;
  }
  return Error(0, u"", u"");
}

std::u16string Formal(const char16_t* sign_and_digits) { return std::u16string(sign_and_digits) + DQ; }

}  // namespace

TEST_F(Angle, DefaultsAreSetByTheFirstFormatting) {
  EXPECT_EQ(AngleFormat(), 0);
  EXPECT_EQ(SecToStr(0), u"+000°00′00″");
  EXPECT_EQ(AngleFormat(), 1);
  EXPECT_EQ(AngleUnitStyle(), 2);
  EXPECT_EQ(AngleDirStyle(), 2);
  EXPECT_EQ(SecToStr(487815), u"+135°30′15″");
  EXPECT_EQ(SecToStr(-324000), u"-090°00′00″");
}

TEST_F(Angle, SettingsRefuseValuesOutOfRange) {
  EXPECT_FALSE(SetAngleFormat(0));
  EXPECT_FALSE(SetAngleFormat(6));
  EXPECT_FALSE(SetAngleUnitStyle(7));
  EXPECT_FALSE(SetAngleDirStyle(5));
  EXPECT_EQ(AngleFormat(), 0);
  EXPECT_TRUE(SetAngleFormat(5));
  EXPECT_TRUE(SetAngleUnitStyle(6));
  EXPECT_TRUE(SetAngleDirStyle(4));
  EXPECT_FALSE(SetAngleFormat(-1));
  EXPECT_EQ(AngleFormat(), 5);
}

TEST_F(Angle, NumberFormatsAndUnitStyles) {
  SetAngleUnitStyle(1);
  EXPECT_EQ(SecToStr(487815), u"+135度30分15秒");
  SetAngleFormat(2);
  EXPECT_EQ(SecToStr(487815), u"+135度30分");  // 15″ rounds down
  EXPECT_EQ(SecToStr(487830), u"+135度31分");
  SetAngleUnitStyle(3);
  SetAngleFormat(3);
  EXPECT_EQ(SecToStr(-487815), u"-0487815s");
  SetAngleUnitStyle(4);
  SetAngleFormat(4);
  EXPECT_EQ(SecToStr(487815), u"+135.5041667ﾟ");
  SetAngleFormat(5);
  EXPECT_EQ(SecToStr(648000), u"+3.141592654rad");
  SetAngleUnitStyle(2);
  EXPECT_EQ(SecToStr(-648000), u"-3.141592654ｒａｄ");
  SetAngleFormat(1);
  SetAngleUnitStyle(4);
  EXPECT_EQ(SecToStr(487815), u"+135ﾟ30'15" + DQ);
}

TEST_F(Angle, FillerUnitStylesDropTheLastUnit) {
  SetAngleUnitStyle(5);
  EXPECT_EQ(SecToStr(487815), u"+135_30_15");
  SetAngleFormat(2);
  EXPECT_EQ(SecToStr(487815), u"+135_30");
  SetAngleFormat(4);
  EXPECT_EQ(SecToStr(487800), u"+135.5000000");
  SetAngleUnitStyle(6);
  SetAngleFormat(1);
  EXPECT_EQ(SecToStr(487815), u"+135 30 15");
}

TEST_F(Angle, WideAnglesKeepAllTheirDigits) {
  EXPECT_EQ(SecToStr(3600000), u"+1000°00′00″");
  EXPECT_EQ(SecToStr(-2147483647 - 1), u"-596523°14′08″");
  SetAngleFormat(3);
  EXPECT_EQ(SecToStr(123456789), u"+123456789″");
}

TEST_F(Angle, DirectionStyles) {
  EXPECT_EQ(LonToStr(-648000), u"W180°00′00″");
  EXPECT_EQ(LatToStr(324000), u"N90°00′00″");
  EXPECT_EQ(LatToStr(0), u"N00°00′00″");
  SetAngleDirStyle(1);
  EXPECT_EQ(LonToStr(487815), u"東経135°30′15″");
  EXPECT_EQ(LatToStr(-126000), u"南緯35°00′00″");
  SetAngleDirStyle(3);
  EXPECT_EQ(LonToStr(-487815), u"135°30′15″W");
  SetAngleDirStyle(4);
  EXPECT_EQ(LatToStr(-126000), u"-35°00′00″");
  EXPECT_EQ(AddDirChr(u"+001", 7), u"+001");
  SetAngleDirStyle(2);
  EXPECT_EQ(AddDirChr(u"+001", 7), u"");
  EXPECT_EQ(AddDirChr(u"+1", 1), u"");
  SetAngleFormat(3);
  EXPECT_EQ(LatToStr(126000), u"N0126000″");  // seconds only: nothing to drop
}

TEST_F(Angle, NormalisationAndSpans) {
  EXPECT_EQ(NormalizeLon(648001), -647999);
  EXPECT_EQ(NormalizeLon(-648001), 647999);
  EXPECT_EQ(NormalizeLon(648000), 648000);
  EXPECT_EQ(NormalizeLon(3 * 1296000 + 5), 5);
  EXPECT_EQ(NormalizeLat(330000), 318000);
  EXPECT_EQ(NormalizeLat(-330000), -318000);
  EXPECT_EQ(NormalizeLat(2147483647), NormalizeLat(NormalizeLon(2147483647)));
  EXPECT_EQ(AngleSpanStr(1296000 + 60), u"+000°01′00″");
  EXPECT_EQ(AngleSpanStr(-1296000 - 60), u"-000°01′00″");
}

TEST_F(Angle, FormalTextOfPlainAndDirectedNumbers) {
  EXPECT_EQ(AngleFormalStr(u"135.5"), u" " + Formal(u"+135ﾟ30'00"));
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(u"135.5")), 487800);
  EXPECT_EQ(AngleFormalStr(u"-0.5"), u" " + Formal(u"-000ﾟ30'00"));
  EXPECT_EQ(AngleFormalStr(u"W135.5"), Formal(u"X-135ﾟ30'00"));
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(u"W135.5")), -487800);
  EXPECT_EQ(AngleFormalStr(u"35 N"), Formal(u"Y+035ﾟ00'00"));
  EXPECT_EQ(AngleFormalStr(u"135.30,15"), u" " + Formal(u"+135ﾟ30'15"));
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(u"135.30,15")), 487815);
}

TEST_F(Angle, FormalTextOfUnitWords) {
  EXPECT_EQ(AngleFormalStr(u"東経135度30分"), Formal(u"X+135ﾟ30'00"));
  EXPECT_EQ(AngleFormalStr(u"北緯三十五度四十分"), Formal(u"Y+035ﾟ40'00"));
  EXPECT_EQ(AngleFormalStr(u"南緯35°40′50″"), Formal(u"Y-035ﾟ40'50"));
  EXPECT_EQ(AngleFormalStr(u"南緯35°40′50゛"), Formal(u"Y-035ﾟ40'50"));
  EXPECT_EQ(AngleFormalStr(u"50゛"), u" " + Formal(u"+000ﾟ00'50"));
  EXPECT_EQ(AngleFormalStr(u"35゜40’50”"), u" " + Formal(u"+035ﾟ40'50"));
  EXPECT_EQ(AngleFormalStr(u"Lat:35d40m50s"), Formal(u"Y+035ﾟ40'50"));
  EXPECT_EQ(AngleFormalStr(u"35 40 50"), u" " + Formal(u"+035ﾟ40'50"));
  EXPECT_EQ(AngleFormalStr(u"longitude=135deg"), Formal(u"X+135ﾟ00'00"));
  EXPECT_EQ(AngleFormalStr(u"１３５ｰ３０"), u" " + Formal(u"+135ﾟ30'00"));
  EXPECT_EQ(AngleFormalStr(u"  west10 "), Formal(u"X-010ﾟ00'00"));
  EXPECT_EQ(AngleFormalStr(Formal(u"X+135ﾟ30'15")), Formal(u"X+135ﾟ30'15"));
}

TEST_F(Angle, FormalTextOfRadians) {
  EXPECT_EQ(AngleFormalStr(u"1.5RAD"), u" " + Formal(u"+085ﾟ56'37"));
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(u"1.5RAD")), 309397);
  EXPECT_EQ(AngleFormalStr(u"1.5弧度"), u" " + Formal(u"+085ﾟ56'37"));
  // A radian text the display itself prints for 2"; its digits must not turn into "9.696E-06",
  // whose "E" would read as east (it read as X-555ﾟ32'36").
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(u"-0.000009696radian")), -2);
  SetAngleFormat(5);
  SetAngleUnitStyle(3);
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(SecToStr(-2))), -2);
}

TEST_F(Angle, LargeDegreeValuesAreNotTruncated) {
  EXPECT_EQ(AngleFormalStr(u"1000"), u" " + Formal(u"+1000ﾟ00'00"));
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(u"1000")), 3600000);
  // The comma is not a thousands separator here, but the numeral step joins the digits.
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(u"135,30")), 13530 * 3600);
}

TEST_F(Angle, UnreadableTextsRaiseTheModuleError) {
  for (const char16_t* bad : {u"N 35", u"", u"1.5 RAD", u"RAD", u"35 N 3", u"abc", u"1 2 3 4",
                              u"南緯 35°", u"35° 40′",
                              u"1e400", u"999999999"}) {
    const Error e = FormalError(bad);
    EXPECT_EQ(e.Number(), static_cast<int32_t>(0x800403EA)) << ToUtf8(bad);
    EXPECT_EQ(e.Source().rfind(u"basAngle.AngleFormalStr/", 0), 0u) << ToUtf8(bad);
  }
}

TEST_F(Angle, ReadingFormalTexts) {
  EXPECT_EQ(AngleSecStrToVal(Formal(u"X+135ﾟ30'15")), 487815);
  EXPECT_EQ(AngleSecStrToVal(Formal(u"Y-090ﾟ00'00")), -324000);
  EXPECT_EQ(AngleSecStrToVal(Formal(u"X+596523ﾟ14'07")), 2147483647);
  for (const char16_t* bad : {u"X+0ﾟ0'00\"", u"", u"X+596523ﾟ14'08\"", u"X+99999999999ﾟ00'00\""}) {
    try {
      AngleSecStrToVal(bad);
      ADD_FAILURE() << ToUtf8(bad);
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), static_cast<int32_t>(0x800403EA));
      EXPECT_EQ(e.Source(), u"basAngle.AngleSecStrToVal/");
    }
  }
}

TEST_F(Angle, DirectionOfAVector) {
  const double pi = 3.14159265358979;
  EXPECT_NEAR(AnglePosToRadian(-1, 0), -pi, 1e-15);
  EXPECT_EQ(AnglePosToRadian(0, 0), 0);
  EXPECT_NEAR(AnglePosToRadian(0, 1), pi / 2, 1e-14);
  EXPECT_NEAR(AnglePosToRadian(0, -1), -pi / 2, 1e-14);
  EXPECT_NEAR(AnglePosToRadian(1, 1), pi / 4, 1e-14);
  EXPECT_NEAR(AnglePosToRadian(-1, 1), 3 * pi / 4, 1e-14);
  EXPECT_NEAR(AnglePosToRadian(-1, -1), -3 * pi / 4, 1e-14);
  EXPECT_NEAR(AnglePosToRadian(-2, 1), std::atan2(1, -2), 1e-13);
}

TEST(AngleError, RaisedOutsideAHandlerCarriesTheModuleLocation) {
  try {
    RaiseAngleError(err::kModuleDefault, u"SecToStr", u"note");
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kModuleDefault);
    EXPECT_EQ(e.Source(), u"basAngle.SecToStr/");
    EXPECT_EQ(e.Description().rfind(u"note/", 0), 0u);
  }
  try {
    try {
      Throw(err::kOverflow);
    } catch (...) {
      RaiseAngleError(err::kModuleDefault, u"AngleSecStrToVal", u"");
    }
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kOverflow);
    EXPECT_EQ(e.Source(), u"basAngle.AngleSecStrToVal/");
  }
}

TEST_F(Angle, DisplayedLongitudesAndLatitudesReadBack) {
  const int32_t samples[] = {0, 1, -1, 487815, -487815, 648000, -647999, 126059, -324000};
  for (int16_t units = 1; units <= 6; ++units) {
    for (int16_t dir = 1; dir <= 4; ++dir) {
      // Without a second unit a trailing S right after the digits is read as the seconds
      // mark, so south latitudes in that combination cannot be read back.
      const bool southAmbiguous = dir == 3 && units >= 5;
      ResetAngleSettings();
      SetAngleUnitStyle(units);
      SetAngleDirStyle(dir);
      for (int32_t sec : samples) {
        const int32_t lat = NormalizeLat(sec);
        EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(LonToStr(sec))), sec) << ToUtf8(LonToStr(sec));
        if (southAmbiguous && lat < 0) continue;
        EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(LatToStr(lat))), lat) << ToUtf8(LatToStr(lat));
      }
    }
  }
  ResetAngleSettings();
  SetAngleUnitStyle(6);
  SetAngleDirStyle(3);
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(LatToStr(-1))), 1);
  ResetAngleSettings();
  SetAngleFormat(4);
  EXPECT_EQ(AngleSecStrToVal(AngleFormalStr(LonToStr(-487815))), -487815);
}
