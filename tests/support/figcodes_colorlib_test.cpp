#include <gtest/gtest.h>

#include "support/colorlib.h"
#include "support/errors.h"
#include "support/figcodes.h"

using namespace picmap;

TEST(FigCodes, RangeTestsIncludeTheirBoundsOnly) {
  EXPECT_FALSE(IsThingNumber(-1));
  EXPECT_TRUE(IsThingNumber(0));
  EXPECT_TRUE(IsThingNumber(999));
  EXPECT_FALSE(IsThingNumber(1000));
  EXPECT_FALSE(IsPageNumber(0));
  EXPECT_TRUE(IsPageNumber(8));
  EXPECT_FALSE(IsPageNumber(9));
  EXPECT_FALSE(IsCategoryNumber(0));
  EXPECT_TRUE(IsCategoryNumber(20));
  EXPECT_FALSE(IsCategoryNumber(21));
  EXPECT_FALSE(IsFigureCode(0));
  EXPECT_TRUE(IsFigureCode(5));
  EXPECT_FALSE(IsFigureCode(6));
  EXPECT_TRUE(IsShowMode(-1));
  EXPECT_TRUE(IsShowMode(1));
  EXPECT_FALSE(IsShowMode(2));
  EXPECT_FALSE(IsShowMode(-2));
}

TEST(FigCodes, ScaleBoundsAndClamping) {
  SetScaleBounds(kMinScaleDefault, kMaxScaleDefault);
  EXPECT_TRUE(IsScale(100000));
  EXPECT_TRUE(IsScale(1000000000));
  EXPECT_FALSE(IsScale(99999));
  EXPECT_EQ(ClampScale(0), 100000);
  EXPECT_EQ(ClampScale(2000000000), 1000000000);
  EXPECT_EQ(ClampScale(5000000), 5000000);

  SetScaleBounds(1000, 2000);
  EXPECT_EQ(MinScale(), 1000);
  EXPECT_EQ(MaxScale(), 2000);
  EXPECT_FALSE(IsScale(100000));
  SetScaleBounds(kMinScaleDefault, kMaxScaleDefault);
}

TEST(FigCodes, ScaleLadderWalksDownTheDecades) {
  SetScaleBounds(kMinScaleDefault, kMaxScaleDefault);
  EXPECT_EQ(ScaleOfLevel(1), 1000000000);
  EXPECT_EQ(ScaleOfLevel(2), 800000000);
  EXPECT_EQ(ScaleOfLevel(10), 120000000);
  EXPECT_EQ(ScaleOfLevel(11), 100000000);
  EXPECT_EQ(ScaleOfLevel(12), 80000000);
  EXPECT_EQ(ScaleOfLevel(21), 10000000);
  EXPECT_EQ(ScaleOfLevel(31), 1000000);
  EXPECT_EQ(ScaleOfLevel(41), 100000);
  EXPECT_EQ(ScaleOfLevel(42), 0);
  EXPECT_EQ(ScaleOfLevel(0), 0);
  EXPECT_EQ(ScaleOfLevel(-1), 0);
}

TEST(FigCodes, FigureNamesInBothLanguages) {
  EXPECT_EQ(FigureName(1, 1), u"REM");
  EXPECT_EQ(FigureName(3, 1), u"POLYGON");
  EXPECT_EQ(FigureName(2, 2), u"連続線");
  EXPECT_EQ(FigureName(5, 2), u"文字列");
  EXPECT_EQ(FigureName(6, 1), u"");
  EXPECT_EQ(FigureName(0, 2), u"");
  EXPECT_EQ(FigureName(1, 3), u"");
}

TEST(ColorLib, SixDigitCodes) {
  EXPECT_EQ(ColorCodeStr(0), u"000000");
  EXPECT_EQ(ColorCodeStr(255), u"0000FF");
  EXPECT_EQ(ColorCodeStr(0xABCDEF), u"ABCDEF");
  EXPECT_EQ(ColorCodeStr(0xFFFFFF), u"FFFFFF");
  EXPECT_EQ(ColorCodeStr(-1), u"------");
  EXPECT_EQ(ColorCodeStr(0x1000000), u"------");
}

TEST(ColorLib, ValueRanges) {
  EXPECT_TRUE(IsColorValue(-1));
  EXPECT_TRUE(IsColorValue(0xFFFFFF));
  EXPECT_FALSE(IsColorValue(-2));
  EXPECT_FALSE(IsColorValue(0x1000000));
  EXPECT_TRUE(IsJumpMarkValue(0));
  EXPECT_TRUE(IsJumpMarkValue(9));
  EXPECT_FALSE(IsJumpMarkValue(10));
  EXPECT_FALSE(IsJumpMarkValue(-1));
}

TEST(ColorLib, AttributeWordRoundTrips) {
  EXPECT_EQ(PackFigAttr(9, 1, -1), 0x4A000000);
  EXPECT_EQ(PackFigAttr(0, -1, 0x00FF00), 0x0400FF00);
  EXPECT_EQ(PackFigAttr(0, 0, 0), 0x05000000);

  int16_t mark = -5, mode = -5;
  int32_t color = -5;
  UnpackFigAttr(0x4A000000, mark, mode, color);
  EXPECT_EQ(mark, 9);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(color, -1);

  UnpackFigAttr(PackFigAttr(3, 0, 0x123456), mark, mode, color);
  EXPECT_EQ(mark, 3);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(color, 0x123456);
}

TEST(ColorLib, PackingOverflowsInsteadOfWrapping) {
  EXPECT_THROW(PackFigAttr(16, 0, 0), Error);
  EXPECT_THROW(PackFigAttr(0, 32767, 0), Error);
  try {
    PackFigAttr(16, 0, 0);
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kOverflow);
  }
}

TEST(ColorLib, OldAttributeWordsCarryNothing) {
  int16_t mode = 1;
  int32_t color = 0x123;
  ReadOldFigAttr(0x7FFFFFFF, mode, color);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(color, 0x123);
  EXPECT_EQ(WriteOldFigAttr(1, 0xFFFFFF), 0);
}
