// Polygon generation: runs, rectangles, header and closing remarks, preconditions, cancel.
#include "app_fixture.h"
#include "map_reading.h"
#include "support/errors.h"
#include "support/library.h"

namespace picmap::test {
namespace {

class GenerateTest : public AppTest {
 protected:
  // Generation on `picture` with the given extents; true when it succeeded.
  bool Generate(const Picture& picture, int32_t west, int32_t east, int32_t north,
                int32_t south) {
    if (!logic->State().oMap) {
      EXPECT_TRUE(logic->Form_Load());
    }
    Open(picture);
    SetExtents(west, east, north, south);
    logic->mnuPolygon_Click();
    return win.LastMessage() == frmtext::kPolygonDone;
  }
  clsMap& Map() { return *logic->State().oMap; }
};

TEST_F(GenerateTest, RowOfHundredEqualPixelsMakesThreeRectangles) {
  // 20″ per pixel: west 0, east 2000, north 320, south 0.
  ASSERT_TRUE(Generate(Solid(100, 16, 0x00AA00), 0, 2000, 320, 0));
  const std::vector<Rect> rects = RectsOf(Map());
  ASSERT_EQ(rects.size(), 48u);
  EXPECT_EQ(Map().Count(), 48 + 21);
  // Row 0: top = 320 - round(0.6) = 319, bottom = 319 - round(21.2) = 298.
  EXPECT_EQ(rects[0], (Rect{-1, 902, 319, 298, 0x00AA00}));    // columns 0-44
  EXPECT_EQ(rects[1], (Rect{899, 1802, 319, 298, 0x00AA00}));  // columns 45-89
  EXPECT_EQ(rects[2], (Rect{1799, 2000, 319, 298, 0x00AA00}));  // 90-99 ends at east′
  // Row 1: top = 320 - round(20.6) = 299.
  EXPECT_EQ(rects[3].top, 299);
  EXPECT_EQ(rects[3].bottom, 278);
  EXPECT_EQ(rects[3].left, rects[0].left);  // the same columns give the same edges
  EXPECT_EQ(rects[3].right, rects[0].right);
  EXPECT_EQ(win.progressMax, 16);
  EXPECT_EQ(win.progressValue, 0);
}

TEST_F(GenerateTest, FiguresCarryThingAdminAndColour) {
  ASSERT_TRUE(Generate(Solid(16, 16, 0x123456), -648000, 648000, 324000, -324000));
  for (int32_t i = 1; i <= Map().Count(); ++i) {
    auto f = Map().Item(i);
    EXPECT_EQ(f->Admin(), 0);
    if (f->FigCode() == figcode::kPolygon) {
      EXPECT_EQ(f->Thing(), 7);
      EXPECT_EQ(f->OwnColor(), 0x123456);
    }
  }
  // The world's edges are kept 1″ from 180° and 15″ from the poles.
  std::vector<Rect> rects = RectsOf(Map());
  EXPECT_EQ(rects.front().left, -647999);
  EXPECT_EQ(rects.front().right, 647999);
  EXPECT_EQ(rects.front().top, 322785);  // 324000 - round(0.03 * 40500)
  EXPECT_EQ(rects.back().bottom, -323985);
  // A thin strip at the pole: the first top, 324000 - round(1.875), is held back too.
  ASSERT_TRUE(Generate(Solid(16, 16, 0x123456), 0, 160, 324000, 323000));
  rects = RectsOf(Map());
  EXPECT_EQ(rects.front().top, 323985);
  EXPECT_EQ(rects.front().bottom, 323998 - 66);  // from the unclamped top
}

TEST_F(GenerateTest, AllBackgroundGivesTheHeaderAndClosingRemarksOnly) {
  logic->Form_Load();
  logic->mnuToneItem_Click(2);
  logic->MutableState().backColor = 0xFFFFFF;
  ASSERT_TRUE(Generate(Solid(16, 16, 0xFFFFFF), 0, 160, 160, 0));
  ASSERT_EQ(Map().Count(), 21);
  const std::vector<std::u16string> lines = RemarksOf(Map());
  const std::vector<std::u16string> expected = {
      u"",
      u"# プロジェクト　　：KARTOVA",
      u"# 地図バージョン　：1.06",
      u"# 種別　　　　　　：その他地図",
      u"# 国番号　　　　　：000",
      u"# 縮尺レベル　　　：8",
      u"# 地図コード　　　：108000",
      u"# 欧文地図名　　　：japan",
      u"# 和文地図名　　　：",
      u"# 地図ファイル名　：japan.MLL",
      u"# 事象ファイル名　：japan.THG",
      u"# 行政区ファイル名：",
      u"# 推奨縮尺　　　　：",
      u"# 対応地図ソフト　：KARTOVA 2.53～ / GRAVELOT 1.53～",
      u"# 著作者　　　　　：",
      u"# 最終更新日　　　：2026年12月7日",
      u"# 収録項目　　　　：画像ポリゴン (64諧調)",
      u"# 参考資料　　　　：",
      u"",
      u"",
      u"/ end of file",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(Map().MapMode(), 1);
}

TEST_F(GenerateTest, ToneReductionMergesNearColours) {
  logic->Form_Load();
  logic->mnuToneItem_Click(4);
  Picture p(16, 16, 0x123456);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 1; x < 16; x += 2) p.Set(x, y, 0x12345F);
  ASSERT_TRUE(Generate(p, 0, 160, 160, 0));
  const std::vector<Rect> rects = RectsOf(Map());
  ASSERT_EQ(rects.size(), 16u);  // one run per row
  EXPECT_EQ(rects[0].colour, 0x1F3F5F);
  EXPECT_EQ(RemarksOf(Map())[16], u"# 収録項目　　　　：画像ポリゴン (16諧調)");
}

TEST_F(GenerateTest, BackgroundIsTestedBeforeToneReduction) {
  logic->Form_Load();
  logic->mnuToneItem_Click(1);
  logic->MutableState().backColor = 0xFFFFFF;
  Picture p(16, 16, 0xFFFFFF);
  p.Set(3, 0, 0xFFFFFE);
  ASSERT_TRUE(Generate(p, 0, 160, 160, 0));
  const std::vector<Rect> rects = RectsOf(Map());
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].colour, 0xFFFFFF);
  EXPECT_EQ(rects[0].left, 30);  // round(2.97 * 10)
  EXPECT_EQ(rects[0].right, 41);  // round(4.03 * 10 + 1)
}

TEST_F(GenerateTest, RunsCrossingTheDateLineSplitInTwo) {
  // 170° E to 170° W: east′ = 684000, 4500″ per pixel.
  ASSERT_TRUE(Generate(Solid(16, 16, 0x0000FF), 612000, -612000, 16000, -16000));
  const std::vector<Rect> rects = RectsOf(Map());
  ASSERT_EQ(rects.size(), 32u);
  EXPECT_EQ(rects[0].left, 611865);  // round(-0.03 * 4500) + 612000
  EXPECT_EQ(rects[0].right, 647999);
  EXPECT_EQ(rects[1].left, -647999);
  EXPECT_EQ(rects[1].right, -612000);
  EXPECT_EQ(rects[1].top, rects[0].top);
}

// A run that starts exactly on 180° lies wholly beyond it; kept as it was it would become a
// rectangle from 180° back westwards round the globe.
TEST_F(GenerateTest, RunStartingOnTheDateLineWrapsWhole) {
  Picture p(16, 16, 0x00FF00);
  for (int32_t y = 0; y < 16; ++y) p.Set(0, y, 0xFFFFFF);
  logic->Form_Load();
  logic->MutableState().backColor = 0xFFFFFF;
  // 1000″ per pixel; column 1 starts at round(0.97 * 1000) + 647030 = 648000.
  ASSERT_TRUE(Generate(p, 647030, 663030 - 1296000, 16000, 0));
  const std::vector<Rect> rects = RectsOf(Map());
  ASSERT_EQ(rects.size(), 16u);
  EXPECT_EQ(rects[0].left, -647999);
  EXPECT_EQ(rects[0].right, 663030 - 1296000);
  for (const Rect& r : rects) EXPECT_LT(r.left, r.right);
}

TEST_F(GenerateTest, NorthBelowSouthIsSwapped) {
  ASSERT_TRUE(Generate(Solid(16, 16, 0x0000FF), 0, 1600, -1600, 1600));
  EXPECT_EQ(logic->State().north, 1600);
  EXPECT_EQ(logic->State().south, -1600);
  EXPECT_EQ(win.LabelText(Label::lblNorth), u"北端緯度：N00°26′40″");
  EXPECT_EQ(win.LabelText(Label::lblSouth), u"南端緯度：S00°26′40″");
  EXPECT_EQ(RectsOf(Map()).front().top, 1600 - 6);  // round(0.03 * 200)
}

TEST_F(GenerateTest, PixelsNoFinerThanTenSeconds) {
  EXPECT_TRUE(Generate(Solid(16, 16, 1), 0, 160, 160, 0));
  EXPECT_EQ(win.LabelText(Label::lblFigureNum), u"図形総数：" + FromUtf8(std::to_string(16 + 21)));
  EXPECT_FALSE(Generate(Solid(16, 16, 1), 0, 159, 160, 0));
  EXPECT_EQ(Map().Count(), 0);  // cleared, nothing added
  EXPECT_FALSE(Generate(Solid(16, 16, 1), 0, 160, 159, 0));
  EXPECT_TRUE(win.messages.back().errorIcon);
  EXPECT_EQ(win.LastMessage(), u"ポリゴン生成に失敗しました.");
  // The detail says which rule refused it, with the numbers found.
  EXPECT_EQ(win.messages.back().detail,
            u"ピクセルサイズが細かすぎます: 10.0″x9.9″ (経度・緯度とも10″以上が必要です).");
  EXPECT_FALSE(Generate(Solid(16, 16, 1), 0, 29, 160, 0));
  EXPECT_EQ(win.messages.back().detail,
            u"地図化領域が狭すぎます: 000°00′29″x000°02′40″ (経度・緯度とも30″以上が必要です).");
}

TEST_F(GenerateTest, CancelInTheFirstRowKeepsWhatWasEmitted) {
  Picture p(16, 16);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) p.Set(x, y, x);  // a new colour at every pixel
  int calls = 0;
  win.onDoEvents = [&] {
    if (++calls == 5) logic->mnuCancel_Click();  // while pixel 4 is read
  };
  EXPECT_FALSE(Generate(p, 0, 160, 160, 0));
  EXPECT_EQ(win.LastMessage(), u"ポリゴン生成は中断されました.");
  EXPECT_EQ(Map().Count(), 19 + 4);  // runs of pixels 0..3, no closing remarks
  EXPECT_EQ(RectsOf(Map()).back().colour, 3);
}

// An error inside the run is a failed run: without that, the caption, the hourglass and the
// menus would stay as they are during the run.
TEST_F(GenerateTest, ErrorInsideTheRunIsAFailure) {
  logic->Form_Load();
  Picture p(16, 16);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) p.Set(x, y, x);
  Open(p);
  const std::u16string caption = win.caption;
  int calls = 0;
  win.onDoEvents = [&] {
    if (++calls == 5) Throw(err::kOverflow);  // while pixel 4 is read
  };
  logic->mnuPolygon_Click();
  EXPECT_EQ(win.LastMessage(), u"ポリゴン生成に失敗しました.");
  EXPECT_EQ(Map().Count(), 19 + 3);  // the runs of pixels 0..2 stay
  EXPECT_EQ(win.caption, caption);
  EXPECT_EQ(ScreenMousePointerDepth(), 0);
  EXPECT_TRUE(win.MenuEnabled(Menu::mnuPolygon));
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuCancel));
}

TEST_F(GenerateTest, SuccessMessageAndCaptionRestored) {
  logic->Form_Load();
  Open(Solid(16, 16, 5));
  const std::u16string caption = win.caption;
  logic->mnuPolygon_Click();
  EXPECT_EQ(win.caption, caption);
  EXPECT_EQ(win.LastMessage(),
            u"ポリゴン生成に成功しました. [２次元圧縮] もしくは [保存] してください.");
  EXPECT_FALSE(win.messages.back().errorIcon);
  // The hourglass was pushed and popped once.
  ASSERT_GE(ports.pointer.history.size(), 2u);
  EXPECT_EQ(ports.pointer.history[ports.pointer.history.size() - 2], pointer::kHourglass);
  EXPECT_EQ(ports.pointer.current, pointer::kDefault);
}

TEST_F(GenerateTest, EventsRunOnlyAboutEveryThirtyMilliseconds) {
  logic->SetEventInterval(std::chrono::milliseconds(30));
  ASSERT_TRUE(Generate(Solid(64, 64, 5), -648000, 648000, 324000, -324000));
  EXPECT_GE(win.doEventsCount, 1);
  EXPECT_LT(win.doEventsCount, 64 * 65 / 16);
}

}  // namespace
}  // namespace picmap::test
