// Whole map files in every writable version read back, the progress of a read at its exact
// byte positions, and damaged files that must end in a reported failure, never a crash.
#include <gtest/gtest.h>

#include <vector>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map_helpers.h"
#include "support/errors.h"
#include "support/platform.h"

namespace picmap {
namespace {

using test::Bytes;
using test::ReadFileBytes;
using test::WriteFileBytes;

template <class T>
std::shared_ptr<T> WithAttributes(int32_t thing, int32_t color) {
  auto f = std::make_shared<T>();
  f->Admin(7);
  f->Thing(thing);
  f->OwnColor(color);
  f->OwnShowMode(1);
  f->JumpMark(3);
  f->Reserve(-42);
  return f;
}

// A document holding a header line and one figure of every other kind.
void FillWithEveryKind(clsMap& map) {
  ASSERT_TRUE(map.Add(NewRemark(u"# 欧文地図名：Test")));
  auto line = WithAttributes<clsMapPolyline>(1, 0x123456);
  line->Poly()->AddXandY(-5, 7);
  line->Poly()->AddXandY(1000000, -324000);
  ASSERT_TRUE(map.Add(line));
  auto area = WithAttributes<clsMapPolygon>(2, 0xFFFFFF);
  area->Poly()->SetRect(-648000, -324000, 648000, 324000);
  ASSERT_TRUE(map.Add(area));
  auto symbol = WithAttributes<clsMapSymbol>(3, 0);
  symbol->SetSymbolPoint({11, -22});
  ASSERT_TRUE(map.Add(symbol));
  auto text = WithAttributes<clsMapText>(4, 0x00FF00);
  text->SetTextPoint({33, 44});
  text->Angle(-90);
  text->TextFix(5);
  text->TextUnicode(1, u"Ha^noi");
  text->TextUnicode(2, u"ハノイ");
  ASSERT_TRUE(map.Add(text));
}

void ExpectSameFigure(const clsMapFigure& a, const clsMapFigure& b, int32_t ver) {
  ASSERT_EQ(a.FigCode(), b.FigCode());
  EXPECT_EQ(a.Admin(), b.Admin());
  EXPECT_EQ(a.Thing(), b.Thing());
  const auto polyA = a.Poly(), polyB = b.Poly();  // the point views live as long as their lists
  const auto pa = polyA->Points(), pb = polyB->Points();
  EXPECT_EQ(std::vector<PolyPoint>(pa.begin(), pa.end()), std::vector<PolyPoint>(pb.begin(), pb.end()));
  if (ver >= 105) {
    EXPECT_EQ(a.OwnColor(), b.OwnColor());
    EXPECT_EQ(a.OwnShowMode(), b.OwnShowMode());
    EXPECT_EQ(a.JumpMark(), b.JumpMark());
  }
  if (ver >= 106) {
    EXPECT_EQ(a.FigID(), b.FigID());
    EXPECT_EQ(a.Reserve(), b.Reserve());
  }
}

class MapFileVersionsTest : public ::testing::Test {
 protected:
  // Each call writes a new file: rewriting one file in place makes the file system flush it
  // on every close, which slows the loops over damaged files a hundredfold.
  int32_t LoadBytes(clsMap& map, const std::string& bytes) {
    const std::string name = "in" + std::to_string(++files) + ".MLL";
    WriteFileBytes(dir.Path(name), bytes);
    map.FileName(dir.File(name));
    return map.Load();
  }
  int files = 0;
  ScopedScriptedPorts ports;
  test::ScratchFolder dir;
};

TEST_F(MapFileVersionsTest, EveryWritableVersionReadsBackAndWritesTheSameBytesAgain) {
  for (int16_t ver : {104, 105, 106}) {
    SCOPED_TRACE(ver);
    const std::string name = "v" + std::to_string(ver);
    clsMap map;
    map.FileName(dir.File(name + ".MLL"));
    FillWithEveryKind(map);
    map.Version(ver);
    ASSERT_EQ(map.Save(), 0);
    const std::string first = ReadFileBytes(dir.Path(name + ".MLL"));
    EXPECT_EQ(first.substr(0, 31), Bytes().Header("1.0" + std::to_string(ver - 100)).str());

    clsMap back;
    back.FileName(map.FileName());
    ASSERT_EQ(back.Load(), 0);
    EXPECT_EQ(back.Version(), ver);
    ASSERT_EQ(back.Count(), map.Count());
    for (int32_t i = 1; i <= map.Count(); ++i) ExpectSameFigure(*map.Item(i), *back.Item(i), ver);
    auto text = std::static_pointer_cast<clsMapText>(back.Item(back.Count()));
    EXPECT_EQ(text->TextUnicode(1), u"Hânoi");
    EXPECT_EQ(text->TextUnicode(2), u"ハノイ");
    EXPECT_EQ(text->Angle(), -90);
    EXPECT_EQ(text->TextFix(), 5);

    back.FileName(dir.File(name + "b.MLL"));
    ASSERT_EQ(back.Save(), 0);
    EXPECT_EQ(ReadFileBytes(dir.Path(name + "b.MLL")), first);
  }
}

TEST_F(MapFileVersionsTest, VersionZeroNinetyNineIsSavedAsOneOSixWithItsProjectionRemarkFirst) {
  Bytes b;
  b.OldRemark(u"[投影条件]").OldRemark(u"# 種別：古い", 2);
  clsMap map;
  ASSERT_EQ(LoadBytes(map, b.str()), 0);
  ASSERT_EQ(map.Version(), 99);
  map.Modify(true);
  ASSERT_EQ(map.Save(), 0);
  EXPECT_EQ(ReadFileBytes(dir.Path("in1.MLL")).substr(0, 31), Bytes().Header("1.06").str());
  clsMap back;
  back.FileName(map.FileName());
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(back.Version(), 106);
  ASSERT_EQ(back.Count(), 3);  // the projection remark, the last-update line, the kind line
  EXPECT_EQ(std::static_pointer_cast<clsMapRem>(back.Item(1))->Comment(), u"[投影条件]");
  EXPECT_EQ(back.Kind(), u"古い");
}

// Header 31 bytes, then 40 remarks of 19 bytes: 791 bytes. Element n starts at the 1-based
// byte 32 + 19 (n - 1); every 8th element reports ((that byte) * 25 \ 791) * 4.
TEST_F(MapFileVersionsTest, ReadProgressUsesTheOneBasedPositionOfTheNextElement) {
  Bytes b;
  b.Header("1.04");
  for (int i = 0; i < 40; ++i) b.OldRemark(u"123456789").I32(0);
  ASSERT_EQ(b.size(), 791u);
  clsMap map;
  std::vector<int16_t> seen;
  map.Progress = [&](int16_t p) { seen.push_back(p); };
  ASSERT_EQ(LoadBytes(map, b.str()), 0);
  EXPECT_EQ(seen, (std::vector<int16_t>{20, 40, 56, 76, 96, 100}));
  EXPECT_EQ(map.Count(), 40);
}

// Two figures: before the first (0 * 25 \ 2) * 4 = 0, before the second (1 * 25 \ 2) * 4 = 48.
TEST_F(MapFileVersionsTest, SaveReportsTheShareWrittenBeforeEachFigureThenAHundred) {
  clsMap map;
  map.FileName(dir.File("two.MLL"));
  auto area = WithAttributes<clsMapPolygon>(2, -1);
  area->Poly()->SetRect(0, 0, 1, 1);
  ASSERT_TRUE(map.Add(area));
  map.LastDate(Now());  // Save then rewrites this line instead of adding one
  ASSERT_EQ(map.Count(), 2);
  std::vector<int16_t> seen;
  map.Progress = [&](int16_t p) { seen.push_back(p); };
  ASSERT_EQ(map.Save(), 0);
  EXPECT_EQ(seen, (std::vector<int16_t>{0, 48, 100}));
  EXPECT_EQ(map.Count(), 2);
}

TEST_F(MapFileVersionsTest, LoadUnlocksALockedDocumentAndReplacesItsFigures) {
  clsMap source;
  source.FileName(dir.File("src.MLL"));
  FillWithEveryKind(source);
  ASSERT_EQ(source.Save(), 0);

  clsMap map;
  ASSERT_TRUE(map.Add(NewRemark(u"old")));
  map.FileName(dir.File("src.MLL"));
  map.LockMode(true);
  ASSERT_EQ(map.Load(), 0);
  EXPECT_FALSE(map.LockMode());
  EXPECT_EQ(map.Count(), source.Count());
  EXPECT_FALSE(map.Modify());
  EXPECT_TRUE(ports.messages.shown.empty());
}

// Every cut of a good file ends either normally (at an element boundary, or with one byte of
// a figure code left) or in a reported failure that leaves the document empty.
TEST_F(MapFileVersionsTest, TruncatedFilesFailCleanlyAtEveryLength) {
  clsMap source;
  source.FileName(dir.File("good.MLL"));
  FillWithEveryKind(source);
  ASSERT_EQ(source.Save(), 0);
  const std::string good = ReadFileBytes(dir.Path("good.MLL"));
  for (size_t cut = 0; cut < good.size(); ++cut) {
    SCOPED_TRACE(cut);
    clsMap map;
    int32_t result = -1;
    try {
      result = LoadBytes(map, good.substr(0, cut));
    } catch (const Error& e) {
      EXPECT_TRUE(e.Number() == err::kMapVersion || e.Number() == err::kMapElement) << e.Number();
      EXPECT_EQ(map.Count(), 0);
      continue;
    }
    if (result == 0) {
      EXPECT_LT(map.Count(), source.Count());
    } else {
      EXPECT_EQ(result, err::kInputPastEnd);
      EXPECT_EQ(map.Count(), 0);
    }
    EXPECT_TRUE(map.EiUndo());
  }
}

// A damaged byte anywhere (a count turned huge or negative, a code turned unknown) must give a
// result or a passed-up error, not a crash or an allocation the file cannot back.
TEST_F(MapFileVersionsTest, DamagedBytesNeverCrashTheReader) {
  for (int16_t ver : {104, 105, 106}) {
    clsMap source;
    source.FileName(dir.File("good.MLL"));
    FillWithEveryKind(source);
    source.Version(ver);
    std::filesystem::remove(dir.Path("good.MLL"));
    ASSERT_EQ(source.Save(), 0);
    const std::string good = ReadFileBytes(dir.Path("good.MLL"));
    for (size_t at = 0; at < good.size(); ++at) {
      for (char damage : {'\xFF', '\x7F', '\x80'}) {
        std::string bad = good;
        bad[at] = damage;
        clsMap map;
        try {
          const int32_t result = LoadBytes(map, bad);
          EXPECT_TRUE(result == 0 || result == err::kInputPastEnd) << result;
        } catch (const Error& e) {
          EXPECT_NE(e.Number(), 0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace picmap
