// Header lines: the key and value of a remark, and the document properties read from them.
#include <gtest/gtest.h>

#include <tuple>

#include "map/clsMap.h"
#include "map/clsMapRem.h"
#include "map/clsMapPolygon.h"
#include "support/errors.h"
#include "support/platform.h"

namespace picmap {
namespace {

std::shared_ptr<clsMapRem> Rem(const std::u16string& text) {
  return std::static_pointer_cast<clsMapRem>(NewRemark(text));
}

TEST(RemarkKey, SplitsHeaderLinesAtTheColon) {
  auto r = Rem(u"# 地図バージョン　：1.06");
  EXPECT_EQ(r->Key(), u"地図バージョン");
  EXPECT_EQ(r->Value(), u"1.06");
  r = Rem(u"# abc:def");
  EXPECT_EQ(r->Key(), u"abc");
  EXPECT_EQ(r->Value(), u"def");
  r = Rem(u"#  　key 　： value　 ");
  EXPECT_EQ(r->Key(), u"key");
  EXPECT_EQ(r->Value(), u"value");
}

TEST(RemarkKey, FullWidthColonWinsOverAnEarlierAsciiColon) {
  auto r = Rem(u"# a:b：c");
  EXPECT_EQ(r->Key(), u"a:b");
  EXPECT_EQ(r->Value(), u"c");
}

TEST(RemarkKey, ColonMustLieAtPositionsFiveToTwenty) {
  EXPECT_EQ(Rem(u"# a:b")->Key(), u"");  // position 4
  EXPECT_EQ(Rem(u"# a:b")->Value(), u"");
  EXPECT_EQ(Rem(u"# ab:c")->Key(), u"ab");  // position 5
  const std::u16string seventeen(17, u'k');
  EXPECT_EQ(Rem(u"# " + seventeen + u":v")->Key(), seventeen);  // position 20
  EXPECT_EQ(Rem(u"# " + seventeen + u"k:v")->Key(), u"");       // position 21
}

TEST(RemarkKey, NeedsNumberSignAndSpace) {
  EXPECT_EQ(Rem(u"#key:value")->Key(), u"");
  EXPECT_EQ(Rem(u"key: value")->Key(), u"");
  EXPECT_EQ(Rem(u"# no colon here")->Key(), u"");
  EXPECT_EQ(Rem(u"")->Key(), u"");
}

class HeaderTest : public ::testing::Test {
 protected:
  void Line(const std::u16string& text) { ASSERT_TRUE(map.Add(NewRemark(text))); }
  void Filler(int n) {
    for (int i = 0; i < n; ++i) Line(u"filler");
  }
  clsMap map;
};

TEST_F(HeaderTest, MapCodeOfSixCharactersGivesKindLevelAndCountry) {
  Line(u"# 地図コード：310392");
  Line(u"# 種別：無視される");
  EXPECT_EQ(map.MapCode(), 310392);
  EXPECT_EQ(map.Kind(), u"ベース地図");
  EXPECT_EQ(map.Level(), 0);
  EXPECT_EQ(map.Country(), 392);
}

TEST_F(HeaderTest, WithoutASixCharacterCodeTheirOwnLinesDecide) {
  EXPECT_EQ(map.MapCode(), -1);
  EXPECT_EQ(map.Country(), -1);
  EXPECT_EQ(map.Level(), -1);
  EXPECT_EQ(map.Kind(), u"");
  Line(u"# 地図コード：1");
  Line(u"# 種別：ユーザー地図");
  Line(u"# 国番号：81");
  Line(u"# 縮尺レベル：12");
  EXPECT_EQ(map.MapCode(), 1);
  EXPECT_EQ(map.Kind(), u"ユーザー地図");
  EXPECT_EQ(map.Country(), 81);
  EXPECT_EQ(map.Level(), 12);
}

TEST_F(HeaderTest, KindFailsOnANonDigitWithItsLocationInTheSource) {
  Line(u"# 地図コード：3X0392");
  try {
    map.Kind();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kTypeMismatch);
    EXPECT_EQ(e.Source().rfind(u"clsMap.Kind/", 0), 0u);
  }
}

TEST_F(HeaderTest, OnlyTheFirstFiftyFiguresHoldHeaderLines) {
  Filler(50);
  Line(u"# 地図コード：310392");
  Line(u"# 地図バージョン：1.05");
  Line(u"# 欧文地図名：Far");
  EXPECT_EQ(map.MapCode(), -1);
  EXPECT_EQ(map.Version(), 106);
  EXPECT_EQ(map.MapName(1), u"BLANK.MLL");
  EXPECT_EQ(map.SearchRem(u"地図コード"), u"310392");  // searched everywhere
  EXPECT_EQ(map.SearchRem(u"欧文地図名"), u"Far");
  EXPECT_EQ(map.SearchRem(u"none"), u"");
}

TEST_F(HeaderTest, KeysCompareIgnoringCase) {
  Line(u"# MapKey：x");
  EXPECT_EQ(map.SearchRem(u"mapkey"), u"x");
}

TEST_F(HeaderTest, MapNamesByLanguageWithTheFileNameAsLastResort) {
  map.FileName(u"C:\\maps\\JAPAN.MLL");
  EXPECT_EQ(map.MapName(1), u"JAPAN.MLL");
  EXPECT_EQ(map.MapName(3), u"");
  Line(u"# 地図名：共通");
  EXPECT_EQ(map.MapName(1), u"共通");
  EXPECT_EQ(map.MapName(2), u"共通");
  Line(u"# 欧文国名：Japan");
  Line(u"# 和文大陸名：アジア");
  EXPECT_EQ(map.MapName(1), u"Japan");
  EXPECT_EQ(map.MapName(2), u"アジア");
}

TEST_F(HeaderTest, ProjectionNameInXyMapsOnlyAndCached) {
  Line(u"# 投影法名：メルカトル");
  EXPECT_EQ(map.ProjectionName(), u"");
  clsMap xy;
  xy.MapMode(2);
  ASSERT_TRUE(xy.Add(NewRemark(u"# 投影法名：メルカトル")));
  EXPECT_EQ(xy.ProjectionName(), u"メルカトル");
  xy.Clear();
  EXPECT_EQ(xy.ProjectionName(), u"メルカトル");
}

TEST_F(HeaderTest, VersionSetterWritesOrInsertsTheVersionLine) {
  Line(u"first");
  map.Version(100);
  EXPECT_EQ(map.Count(), 2);
  EXPECT_EQ(std::static_pointer_cast<clsMapRem>(map.Item(1))->Comment(), u"# 地図バージョン　：1");
  EXPECT_EQ(map.Version(), 100);
  map.Version(107);
  map.Version(98);
  EXPECT_EQ(map.Version(), 100);
  map.Version(105);
  EXPECT_EQ(map.Count(), 2);  // rewritten, not inserted again
  EXPECT_EQ(std::static_pointer_cast<clsMapRem>(map.Item(1))->Comment(), u"# 地図バージョン　：1.05");
  EXPECT_EQ(map.Version(), 105);
}

TEST_F(HeaderTest, VersionSetterAlsoRewritesLinesWhoseKeyMentionsVersion) {
  Line(u"# File VERSION：0.9");
  map.Version(99);
  EXPECT_EQ(map.Count(), 1);
  EXPECT_EQ(std::static_pointer_cast<clsMapRem>(map.Item(1))->Comment(), u"# 地図バージョン　：0.99");
}

TEST_F(HeaderTest, VersionLineSayingOneOFiveOrSixDecides) {
  Line(u"# 地図バージョン：1.05");
  EXPECT_EQ(map.Version(), 105);
  std::static_pointer_cast<clsMapRem>(map.Item(1))->Comment(u"# 地図バージョン：1.04");
  EXPECT_EQ(map.Version(), 105);  // other texts change nothing
}

TEST_F(HeaderTest, LastDateLineIsInsertedAtTwoThenRewritten) {
  Line(u"a");
  Line(u"b");
  EXPECT_EQ(map.LastDate().year, 1899);
  map.LastDate(DateTime{2026, 12, 7, 4, 52, 1});
  map.LastDate(DateTime{2027, 1, 2, 13, 5, 9});
  ASSERT_EQ(map.Count(), 3);
  EXPECT_EQ(std::static_pointer_cast<clsMapRem>(map.Item(2))->Comment(),
            u"# 最終更新日時　　：2027/01/02 13:05:09");
  const DateTime d = map.LastDate();
  EXPECT_EQ(std::tuple(d.year, d.month, d.day, d.hour, d.minute, d.second),
            std::tuple(2027, 1, 2, 13, 5, 9));
}

}  // namespace
}  // namespace picmap
