// Two-dimensional compression: merging stacked rectangles, limits, cancel, and the agreement
// of the band-wise scan with the plain rectangle-by-rectangle rule.
#include <random>

#include "app_fixture.h"
#include "map_reading.h"
#include "support/errors.h"
#include "support/library.h"

namespace picmap::test {
namespace {

class CompressTest : public AppTest {
 protected:
  void Generate(const Picture& picture, int32_t west = 0, int32_t east = 1600,
                int32_t north = 16000, int32_t south = 0) {
    if (!logic->State().oMap) {
      ASSERT_TRUE(logic->Form_Load());
    }
    Open(picture);
    SetExtents(west, east, north, south);
    logic->mnuPolygon_Click();
    ASSERT_EQ(win.LastMessage(), frmtext::kPolygonDone);
  }
  clsMap& Map() { return *logic->State().oMap; }
  std::u16string Reported(int32_t n) {
    return u"２次元圧縮を完了しました(削減数=" + FromUtf8(std::to_string(n)) + u"). 保存してください.";
  }
};

// A picture of background with one coloured block.
Picture Block(int32_t w, int32_t h, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
              int32_t colour) {
  Picture p(w, h, 0xFFFFFF);
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x) p.Set(x, y, colour);
  return p;
}

// The merge rule applied literally, rectangle by rectangle, on the rectangles in map order.
std::vector<Rect> LiteralCompress(std::vector<Rect> r) {
  const size_t n = r.size();
  std::vector<int> mark(n, -1);
  for (size_t d = 0; d + 1 < n; ++d) {
    if (mark[d] != -1) continue;
    int32_t w = r[d].bottom;
    int merged = 0;
    for (size_t i = d + 1; i < n; ++i) {
      if (mark[i] != -1) continue;
      if (r[i].top < w) break;
      if (r[i].bottom >= w) continue;
      if (r[i].left != r[d].left) {
        if (r[i].left > r[d].left) break;
        continue;
      }
      if (r[i].right != r[d].right || r[i].colour != r[d].colour) continue;
      r[d].bottom = w = r[i].bottom;
      mark[i] = 0;
      if (++merged == 45) break;
    }
  }
  std::vector<Rect> out;
  for (size_t i = 0; i < n; ++i)
    if (mark[i] != 0) out.push_back(r[i]);
  return out;
}

TEST_F(CompressTest, TwoRowsOfOneRunBecomeOne) {
  logic->Form_Load();
  logic->MutableState().backColor = 0xFFFFFF;
  Generate(Block(45, 16, 0, 45, 0, 2, 0x0000FF));
  const std::vector<Rect> before = RectsOf(Map());
  ASSERT_EQ(before.size(), 2u);
  logic->mnuCompress_Click();
  EXPECT_EQ(win.LastMessage(), Reported(1));
  EXPECT_FALSE(win.messages.back().errorIcon);
  const std::vector<Rect> after = RectsOf(Map());
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].top, before[0].top);
  EXPECT_EQ(after[0].bottom, before[1].bottom);
  EXPECT_EQ(Map().Count(), 22);
  EXPECT_EQ(win.LabelText(Label::lblFigureNum), u"図形総数：22");
}

TEST_F(CompressTest, AtMostFortyFiveAbsorptionsPerRun) {
  logic->Form_Load();
  logic->MutableState().backColor = 0xFFFFFF;
  Generate(Block(16, 100, 0, 10, 0, 100, 0x00FF00), 0, 1600, 100000,
           0);
  const std::vector<Rect> rows = RectsOf(Map());
  ASSERT_EQ(rows.size(), 100u);
  logic->mnuCompress_Click();
  EXPECT_EQ(logic->LastCompressResult(), 97);
  std::vector<Rect> r = RectsOf(Map());
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].top, rows[0].top);
  EXPECT_EQ(r[0].bottom, rows[45].bottom);  // rows 1-46
  EXPECT_EQ(r[1].top, rows[46].top);
  EXPECT_EQ(r[1].bottom, rows[91].bottom);  // rows 47-92
  EXPECT_EQ(r[2].top, rows[92].top);
  EXPECT_EQ(r[2].bottom, rows[99].bottom);  // rows 93-100
  logic->mnuCompress_Click();
  EXPECT_EQ(win.LastMessage(), Reported(2));
  r = RectsOf(Map());
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].bottom, rows[99].bottom);
}

TEST_F(CompressTest, DifferentColoursOrEdgesNeverMerge) {
  Picture p(16, 16);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) p.Set(x, y, y % 2 ? 0x0000FF : 0x00FF00);
  Generate(p);
  logic->mnuCompress_Click();
  EXPECT_EQ(win.LastMessage(), Reported(0));
  EXPECT_EQ(RectsOf(Map()).size(), 16u);
}

TEST_F(CompressTest, MapWithoutPolygonsKeepsEverything) {
  logic->Form_Load();
  logic->MutableState().backColor = 0xFFFFFF;
  Generate(Solid(16, 16, 0xFFFFFF));
  const std::vector<std::u16string> before = RemarksOf(Map());
  logic->mnuCompress_Click();
  EXPECT_EQ(logic->LastCompressResult(), 0);
  EXPECT_EQ(RemarksOf(Map()), before);
}

TEST_F(CompressTest, SingleFigureMapIsRebuiltUnchanged) {
  logic->Form_Load();
  Map().Add(NewRemark(u"# 地図コード：1"));
  EXPECT_EQ(logic->Compress2D(), 0);
  ASSERT_EQ(Map().Count(), 1);
  EXPECT_EQ(CommentAt(Map(), 1), u"# 地図コード：1");
  EXPECT_EQ(Map().Item(1)->OwnShowMode(), -1);
}

TEST_F(CompressTest, RemainingFiguresGetShowModeBack) {
  logic->Form_Load();
  logic->MutableState().backColor = 0xFFFFFF;
  Generate(Block(40, 16, 0, 40, 0, 16, 0x0000FF));
  logic->mnuCompress_Click();
  ASSERT_EQ(Map().Count(), 22);
  for (int32_t i = 1; i <= Map().Count(); ++i) EXPECT_EQ(Map().Item(i)->OwnShowMode(), -1) << i;
}

TEST_F(CompressTest, CancelLeavesTheWorkingMarks) {
  logic->Form_Load();
  logic->MutableState().backColor = 0xFFFFFF;
  Generate(Block(16, 40, 0, 10, 0, 40, 0x0000FF), 0, 1600, 4000, 0);
  const int32_t n = Map().Count();  // 19 + 40 + 2
  win.onDoEvents = [&] {
    if (win.progressValue == 24) logic->mnuCancel_Click();
  };
  logic->mnuCompress_Click();
  EXPECT_EQ(logic->LastCompressResult(), -1);
  EXPECT_EQ(win.LastMessage(), u"２次元圧縮は中断されました.");
  EXPECT_TRUE(win.messages.back().errorIcon);
  EXPECT_EQ(win.progressValue, 0);
  ASSERT_EQ(Map().Count(), n);  // not rebuilt
  EXPECT_EQ(Map().Item(1)->OwnShowMode(), 1);     // a remark
  EXPECT_EQ(Map().Item(20)->OwnShowMode(), -1);   // the first rectangle absorbed the others
  EXPECT_EQ(Map().Item(21)->OwnShowMode(), 0);
  EXPECT_EQ(Map().Item(n)->OwnShowMode(), 1);
  EXPECT_TRUE(win.MenuEnabled(Menu::mnuSave));
}

TEST_F(CompressTest, ErrorInsideTheRunRestoresTheWindowAndPassesOn) {
  Generate(Block(16, 40, 0, 10, 0, 40, 0x0000FF), 0, 1600, 4000, 0);
  const std::u16string caption = win.caption;
  win.onDoEvents = [] { Throw(err::kOverflow); };
  EXPECT_THROW(logic->mnuCompress_Click(), Error);
  EXPECT_EQ(win.caption, caption);
  EXPECT_EQ(ScreenMousePointerDepth(), 0);
  EXPECT_TRUE(win.MenuEnabled(Menu::mnuCompress));
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuCancel));
}

// The band-wise scan against the literal rule, on pictures of few colours with background,
// inside one hemisphere and across the date line (where a row is not ordered by left edge).
TEST_F(CompressTest, AgreesWithTheLiteralRule) {
  logic->Form_Load();
  logic->MutableState().backColor = 0xFFFFFF;
  std::mt19937 rng(7);
  const int32_t colours[] = {0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000};
  for (int round = 0; round < 6; ++round) {
    Picture p(120, 90);
    // Blocks of colour, so columns repeat from row to row and runs line up.
    for (int32_t y = 0; y < p.height; ++y)
      for (int32_t x = 0; x < p.width; ++x)
        p.Set(x, y, colours[((x / (5 + round)) * 3 + (y / (4 + round % 3)) * (round % 2 + 1)) % 4]);
    for (int k = 0; k < 300; ++k)
      p.Set(static_cast<int32_t>(rng() % 120), static_cast<int32_t>(rng() % 90), colours[rng() % 4]);
    if (round % 2)
      Generate(p, 600000, -600000, 90000, 0);  // across 180°
    else
      Generate(p, -100000, 100000, 90000, -90000);
    for (int run = 0; run < 2; ++run) {
      const std::vector<Rect> expected = LiteralCompress(RectsOf(Map()));
      const int32_t before = Map().Count();
      const int32_t removed = logic->Compress2D();
      EXPECT_EQ(removed, before - Map().Count());
      EXPECT_EQ(RectsOf(Map()), expected) << "round " << round << " run " << run;
    }
  }
}

}  // namespace
}  // namespace picmap::test
