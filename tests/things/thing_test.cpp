#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/errors.h"
#include "support/text.h"
#include "things/clsThing.h"
#include "things/textlines.h"
#include "things_helpers.h"

namespace picmap {
namespace {
using testing::Cp932Lines;
using testing::ReadBytes;
using testing::ScratchPath;
using testing::WriteBytes;

class ThingFile : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }

  // Reads one block from the given lines; `rest` receives the lines ReadThing left unread.
  clsThing Read(const std::vector<std::u16string>& lines, std::vector<std::u16string>* rest = nullptr) {
    WriteBytes(path_, Cp932Lines(lines));
    TextLineReader in;
    in.Open(FromUtf8(path_));
    clsThing thing;
    thing.ReadThing(in);
    while (rest && !in.AtEnd()) rest->push_back(in.ReadLine());
    return thing;
  }

  std::string Written(clsThing& thing) {
    TextLineWriter out;
    out.Open(FromUtf8(path_));
    thing.WriteThing(out);
    out.Commit();
    return ReadBytes(path_);
  }

  std::string path_ = ScratchPath(".txt");
};

TEST(Thing, StartsClearedWithDefaultPages) {
  clsThing t;
  EXPECT_EQ(t.Index(), -1);
  EXPECT_EQ(t.Figure(), 0);
  EXPECT_EQ(t.Category(), -1);
  EXPECT_TRUE(t.Name().empty());
  EXPECT_FALSE(t.Modify());
  EXPECT_FALSE(t.Use());
  EXPECT_EQ(t.Page(), 1);
  for (int16_t n : {-8, -1, 1, 8}) {
    EXPECT_EQ(t.PageRecord(n), ThingPage{}) << n;
  }
  EXPECT_EQ(t.ScaleS(), 1000000000.0);
  EXPECT_EQ(t.ScaleL(), 100000.0);
  EXPECT_EQ(t.Europian(), u"(default)");
  EXPECT_TRUE(t.IsSameAllPage());
}

TEST(Thing, SettersIgnoreValuesOutOfRangeAndMarkChanges) {
  clsThing t;
  t.Index(1000);
  t.Index(-1);
  t.Figure(6);
  t.Figure(0);
  t.Category(21);
  t.Category(0);
  t.ScaleS(99999);
  t.ScaleL(1000000001);
  EXPECT_FALSE(t.Modify());
  EXPECT_EQ(t.Index(), -1);
  EXPECT_EQ(t.Figure(), 0);
  EXPECT_EQ(t.Category(), -1);
  EXPECT_EQ(t.ScaleS(), 1000000000.0);

  t.Index(999);
  EXPECT_TRUE(t.Modify());
  t.Modify(false);
  t.Category(20);
  t.Modify(false);
  t.Category(20);  // an unchanged value still marks the thing
  EXPECT_TRUE(t.Modify());
  t.Modify(false);
  t.ShowMode(5);
  EXPECT_EQ(t.ShowMode(), -1);
  EXPECT_TRUE(t.Modify());
  t.ShowMode(0);
  EXPECT_EQ(t.ShowMode(), 0);
  // Page, Use and Modify themselves leave the mark alone.
  t.Modify(false);
  t.Page(3);
  t.Use(true);
  EXPECT_FALSE(t.Modify());
}

TEST(Thing, PageSelectsWorkingAndSavedPages) {
  clsThing t;
  t.Page(0);
  t.Page(9);
  t.Page(-9);
  EXPECT_EQ(t.Page(), 1);
  t.Page(-2);
  t.Fore(0x123456);
  EXPECT_EQ(t.PageRecord(-2).Fore, 0x123456);
  EXPECT_EQ(t.PageRecord(2).Fore, 0);
  t.Page(2);
  EXPECT_EQ(t.Fore(), 0);
  EXPECT_TRUE(t.Recovery(2));
  EXPECT_EQ(t.Fore(), 0x123456);
  EXPECT_FALSE(t.Recovery(9));
  EXPECT_FALSE(t.Recovery(0));
}

TEST(Thing, PageCopiesAndComparison) {
  clsThing t;
  t.Page(1);
  t.Back(255);
  EXPECT_FALSE(t.IsSameAllPage());
  t.Modify(false);
  t.CopyPage(1, 9);
  EXPECT_FALSE(t.Modify());
  t.CopyPage(1, 4);
  EXPECT_TRUE(t.Modify());
  EXPECT_EQ(t.PageRecord(4).Back, 255);
  EXPECT_EQ(t.PageRecord(5).Back, -1);
  t.Modify(false);
  t.SameOne();
  EXPECT_TRUE(t.Modify());
  EXPECT_TRUE(t.IsSameAllPage());
  t.Page(8);
  t.Japanese(u"ＭＳ 明朝");
  EXPECT_FALSE(t.IsSameAllPage());
  t.RecoveryAll();
  EXPECT_FALSE(t.Modify());
  EXPECT_TRUE(t.IsSameAllPage());
  EXPECT_EQ(t.PageRecord(1).Back, -1);
}

TEST(Thing, IsPrintFollowsShowModeAndScaleRange) {
  clsThing t;
  EXPECT_TRUE(t.IsPrint(100000));
  EXPECT_TRUE(t.IsPrint(1000000000));
  EXPECT_FALSE(t.IsPrint(99999));
  EXPECT_FALSE(t.IsPrint(1000000001));
  t.ShowMode(1);
  EXPECT_TRUE(t.IsPrint(1));
  t.ShowMode(0);
  EXPECT_FALSE(t.IsPrint(500000));
  t.Page(2);
  EXPECT_TRUE(t.IsPrint(500000));
}

TEST(Thing, ClearKeepsUse) {
  clsThing t;
  t.Use(true);
  t.Index(4);
  t.Page(-3);
  t.ShowMode(0);
  t.Page(3);
  t.Clear();
  EXPECT_TRUE(t.Use());
  EXPECT_EQ(t.Index(), -1);
  EXPECT_EQ(t.Page(), 1);
  EXPECT_EQ(t.PageRecord(-3), ThingPage{});
  EXPECT_FALSE(t.Modify());
}

TEST(Thing, ColorTextIsEightUpperCaseDigits) {
  EXPECT_EQ(ColorText(255), u"&H000000FF&");
  EXPECT_EQ(ColorText(-1), u"&HFFFFFFFF&");
  EXPECT_EQ(ColorText(0xABCDEF), u"&H00ABCDEF&");
  EXPECT_EQ(ColorText(INT32_MIN), u"&H80000000&");
}

TEST(Thing, ScaleValuesAreLevelsUpTo41) {
  EXPECT_EQ(clsThing::ScaleOfValue(1), 1000000000.0);
  EXPECT_EQ(clsThing::ScaleOfValue(2), 800000000.0);
  EXPECT_EQ(clsThing::ScaleOfValue(41), 100000.0);
  EXPECT_EQ(clsThing::ScaleOfValue(0), 100000.0);
  EXPECT_EQ(clsThing::ScaleOfValue(-1e9), 100000.0);  // no level, and no overflow either
  EXPECT_EQ(clsThing::ScaleOfValue(50), 100000.0);
  EXPECT_EQ(clsThing::ScaleOfValue(2000000000), 1000000000.0);
  EXPECT_EQ(clsThing::ScaleOfValue(5000000), 5000000.0);
  EXPECT_EQ(clsThing::LevelScale(3), 8000000.0);
  EXPECT_EQ(clsThing::LevelScale(0), 100000.0);
  EXPECT_EQ(clsThing::LevelScale(12), 1000000000.0);
  EXPECT_EQ(clsThing::LevelScale(-1), 1000000000.0);
}

TEST_F(ThingFile, ReadsWholeThingKeys) {
  clsThing t = Read({u"NUMBER=7", u"FIGURE=Text", u"NAME=\"川, 運河\"", u"CATEGORY=3", u""});
  EXPECT_EQ(t.Index(), 7);
  EXPECT_EQ(t.Figure(), 5);
  EXPECT_EQ(t.Name(), u"川, 運河");
  EXPECT_EQ(t.Category(), 3);
  EXPECT_FALSE(t.Modify());
  EXPECT_EQ(t.Page(), 1);
}

TEST_F(ThingFile, KeysAreUpperCasedButNotTrimmed) {
  clsThing t = Read({u"number=7", u" CATEGORY=4", u"figure=bogus", u"category=25"});
  EXPECT_EQ(t.Index(), 7);
  EXPECT_EQ(t.Category(), -1);
  EXPECT_EQ(t.Figure(), 0);
}

TEST_F(ThingFile, LaterKeysWin) {
  clsThing t = Read({u"FIGURE=POLYGON", u"NAME=a", u"FIGURE=symbol", u"NAME=b"});
  EXPECT_EQ(t.Figure(), 4);
  EXPECT_EQ(t.Name(), u"b");
}

TEST_F(ThingFile, PageListsRepeatTheirLastValue) {
  clsThing t = Read({u"SMALL=5000000,2000000", u"LARGE=200000", u"SHOW=0,1",
                     u"FORE=&H000000FF&", u"BACK=&HFFFFFFFF&,1,2,3,4,5,6,7,8,9", u"STYLE=2,3",
                     u"WIDTH=4", u"EUROPIAN=Arial,\"Times, New\"", u"JAPANESE=明朝"});
  EXPECT_EQ(t.PageRecord(1).ScaleS, 5000000.0);
  for (int16_t n = 2; n <= 8; ++n) {
    const ThingPage& p = t.PageRecord(n);
    EXPECT_EQ(p.ScaleS, 2000000.0) << n;
    EXPECT_EQ(p.ScaleL, 200000.0) << n;
    EXPECT_EQ(p.ShowMode, 1) << n;
    EXPECT_EQ(p.Fore, 255) << n;
    EXPECT_EQ(p.Back, n - 1) << n;
    EXPECT_EQ(p.Style, 3) << n;
    EXPECT_EQ(p.Size, 4) << n;
    EXPECT_EQ(p.Europian, u"Times, New") << n;
    EXPECT_EQ(p.Japanese, u"明朝") << n;
  }
  EXPECT_EQ(t.PageRecord(1).ShowMode, 0);
  EXPECT_EQ(t.PageRecord(1).Back, -1);
  EXPECT_EQ(t.PageRecord(1).Europian, u"Arial");
  // The values read are also the saved pages.
  EXPECT_EQ(t.PageRecord(-5), t.PageRecord(5));
}

TEST_F(ThingFile, ScaleKeysClampAndTakeLevels) {
  EXPECT_EQ(Read({u"SMALL=50"}).ScaleS(), 100000.0);
  EXPECT_EQ(Read({u"SMALL=2000000000"}).ScaleS(), 1000000000.0);
  EXPECT_EQ(Read({u"SMALL=2"}).ScaleS(), 800000000.0);
  EXPECT_EQ(Read({u"LARGE=41"}).ScaleL(), 100000.0);
  EXPECT_EQ(Read({u"SMALL=1.5E7"}).ScaleS(), 15000000.0);
  clsThing level3 = Read({u"LARGE=500000", u"LEVEL=3"});
  EXPECT_EQ(level3.PageRecord(8).ScaleS, 8000000.0);
  EXPECT_EQ(level3.PageRecord(8).ScaleL, 100000.0);
  EXPECT_EQ(Read({u"LEVEL=12"}).ScaleS(), 1000000000.0);
  EXPECT_EQ(Read({u"SHOW=5"}).ShowMode(), -1);
  EXPECT_EQ(Read({u"HEIGHT=12"}).Size(), 12);
}

TEST_F(ThingFile, BlockEndsAtEmptyLineOrLineWithoutKey) {
  std::vector<std::u16string> rest;
  clsThing t = Read({u"NUMBER=3", u"", u"NUMBER=4"}, &rest);
  EXPECT_EQ(t.Index(), 3);
  EXPECT_EQ(rest, std::vector<std::u16string>{u"NUMBER=4"});
  rest.clear();
  Read({u"NUMBER=3", u"=5", u"NUMBER=4"}, &rest);
  EXPECT_EQ(rest, std::vector<std::u16string>{u"NUMBER=4"});
  rest.clear();
  Read({u"NUMBER=3", u"[THING]", u"NUMBER=4"}, &rest);
  EXPECT_EQ(rest, std::vector<std::u16string>{u"NUMBER=4"});
  EXPECT_EQ(Read({u"NUMBER=3", u"UNKNOWN=1", u"NUMBER=4"}).Index(), 4);
}

TEST_F(ThingFile, EmptyValuesAreSkippedWithoutEndingTheBlock) {
  clsThing t = Read({u"NUMBER=3", u"FIGURE=", u"NAME=\"\"", u"CATEGORY=", u"SHOW=", u"CATEGORY=2",
                     u"SMALL=3000000"});
  EXPECT_EQ(t.Index(), 3);
  EXPECT_EQ(t.Figure(), 0);
  EXPECT_EQ(t.Name(), u"");
  EXPECT_EQ(t.Category(), 2);
  EXPECT_EQ(t.ShowMode(), -1);
  EXPECT_EQ(t.ScaleS(), 3000000.0);
  // An empty text is a value of its own: it replaces an earlier one.
  EXPECT_EQ(Read({u"NAME=x", u"NAME="}).Name(), u"");
}

TEST_F(ThingFile, TooLargeNumbersArePassedUpWithTheLocation) {
  try {
    Read({u"NUMBER=1", u"STYLE=40000"});
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kOverflow);
    EXPECT_EQ(e.Source().rfind(u"clsThing.ReadThing/", 0), 0u);
  }
}

TEST_F(ThingFile, WritesPolygonWithOneValueListsWhenPagesAreEqual) {
  clsThing t;
  t.Index(0);
  t.Figure(3);
  t.Name(u"画像ポリゴン");
  t.Category(1);
  EXPECT_EQ(Written(t), Cp932Lines({u"NUMBER=0", u"FIGURE=POLYGON", u"NAME=\"画像ポリゴン\"",
                                    u"CATEGORY=1", u"SHOW=-1", u"SMALL=1000000000",
                                    u"LARGE=100000", u"FORE=&H00000000&", u"BACK=&HFFFFFFFF&",
                                    u"STYLE=0", u""}));
  EXPECT_FALSE(t.Modify());
}

TEST_F(ThingFile, WritesEightValuesWhenAPageDiffers) {
  clsThing t;
  t.Index(0);
  t.Figure(3);
  t.Name(u"画像ポリゴン");
  t.Category(1);
  t.Fore(255);
  const std::string text = Written(t);
  EXPECT_NE(text.find("\r\nFORE=&H000000FF&,&H00000000&,&H00000000&,&H00000000&,&H00000000&,"
                      "&H00000000&,&H00000000&,&H00000000&\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\nSHOW=-1,-1,-1,-1,-1,-1,-1,-1\r\n"), std::string::npos);
}

TEST_F(ThingFile, LinesPerFigureKind) {
  auto keys = [&](int32_t figure) {
    clsThing t;
    t.Index(1);
    t.Figure(figure);
    std::string text = Written(t), keyList;
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find("\r\n", at);
      const std::string line = text.substr(at, end - at);
      keyList += line.substr(0, line.find('=')) + " ";
      at = end + 2;
    }
    return keyList;
  };
  EXPECT_EQ(keys(1), "NUMBER FIGURE NAME CATEGORY  ");
  EXPECT_EQ(keys(3), "NUMBER FIGURE NAME CATEGORY SHOW SMALL LARGE FORE BACK STYLE  ");
  EXPECT_EQ(keys(4), keys(3));
  EXPECT_EQ(keys(2), "NUMBER FIGURE NAME CATEGORY SHOW SMALL LARGE FORE BACK STYLE WIDTH  ");
  EXPECT_EQ(keys(5),
            "NUMBER FIGURE NAME CATEGORY SHOW SMALL LARGE FORE BACK STYLE HEIGHT EUROPIAN "
            "JAPANESE  ");
}

TEST_F(ThingFile, ThingWithoutNumberWritesNothing) {
  clsThing t;
  t.Figure(3);
  EXPECT_EQ(Written(t), "");
  EXPECT_TRUE(t.Modify());
}

TEST_F(ThingFile, WrittenThingReadsBackTheSame) {
  clsThing t;
  t.Index(12);
  t.Figure(5);
  t.Name(u"地名, 大");
  t.Category(20);
  t.Page(2);
  t.ScaleS(1234567.875);
  t.ScaleL(100000.1);
  t.Fore(-2);
  t.Europian(u"Courier New");
  t.Page(7);
  t.ShowMode(0);
  Written(t);
  TextLineReader in;
  in.Open(FromUtf8(path_));
  clsThing back;
  back.ReadThing(in);
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(back.Index(), 12);
  EXPECT_EQ(back.Figure(), 5);
  EXPECT_EQ(back.Name(), u"地名, 大");
  EXPECT_EQ(back.Category(), 20);
  for (int16_t n = 1; n <= 8; ++n) EXPECT_EQ(back.PageRecord(n), t.PageRecord(n)) << n;
}

TEST_F(ThingFile, ThingWithEmptyNameKeepsItsKeysThroughWriteAndRead) {
  clsThing t;
  t.Index(2);
  t.Figure(2);
  t.Fore(0x00FF00);
  Written(t);
  TextLineReader in;
  in.Open(FromUtf8(path_));
  clsThing back;
  back.ReadThing(in);
  EXPECT_EQ(back.Figure(), 2);
  EXPECT_EQ(back.Fore(), 0x00FF00);
  EXPECT_EQ(back.Category(), -1);
}

}  // namespace
}  // namespace picmap
