// Start-up, the labels it leaves, the menu-enabling table and closing.
#include "app_fixture.h"
#include "map/clsMap.h"
#include "map/clsMapRem.h"
#include "support/figcodes.h"
#include "support/library.h"

namespace picmap::test {
namespace {

using StartupTest = AppTest;

TEST_F(StartupTest, MissingTemplateEndsTheProgramWithTheLoadMessage) {
  std::filesystem::remove(folder.Path() / "PICMAP.THG");
  EXPECT_FALSE(logic->Form_Load());
  EXPECT_TRUE(win.ended);
  ASSERT_FALSE(win.messages.empty());
  EXPECT_EQ(win.messages.back().text, folder.File("PICMAP.THG") + u"\r\nの読み込みに失敗しました.");
  EXPECT_TRUE(win.messages.back().errorIcon);
  EXPECT_EQ(logic->State().oMap, nullptr);
}

TEST_F(StartupTest, TemplateWithoutImagePolygonEndsTheProgram) {
  folder.Write("PICMAP.THG", TemplateThings(false));
  EXPECT_FALSE(logic->Form_Load());
  EXPECT_TRUE(win.ended);
  ASSERT_FALSE(win.messages.empty());
  EXPECT_EQ(win.messages.back().text,
            folder.File("PICMAP.THG") + u"\r\nに、事象 [画像ポリゴン] がありません.");
  EXPECT_TRUE(win.messages.back().errorIcon);
}

TEST_F(StartupTest, StateCaptionPlacementAndLabelsAfterStartUp) {
  ASSERT_TRUE(logic->Form_Load());
  EXPECT_FALSE(win.ended);
  EXPECT_TRUE(win.messages.empty());
  EXPECT_EQ(win.caption, u"画像地図化ツール - ver.1.0.12");
  EXPECT_EQ(win.left, (1920 - 760) / 2);
  EXPECT_EQ(win.top, (1080 - 560) / 4);
  const ConversionState& s = logic->State();
  EXPECT_EQ(s.imagePolygonThing, 7);
  EXPECT_EQ(s.backColor, -1);
  EXPECT_EQ(s.toneIndex, 0);
  EXPECT_FALSE(s.pictureLoaded);
  ASSERT_NE(s.oMap, nullptr);
  EXPECT_EQ(s.oMap->FileName(), folder.File("PICMAP.MLL"));
  EXPECT_EQ(s.oMap->Count(), 0);
  EXPECT_EQ(MinScale(), 100000.0);
  EXPECT_EQ(MaxScale(), 1000000000.0);

  EXPECT_EQ(win.LabelText(Label::lblWest), u"西端経度：W180°00′00″");
  EXPECT_EQ(win.LabelText(Label::lblEast), u"東端経度：E180°00′00″");
  EXPECT_EQ(win.LabelText(Label::lblNorth), u"北端緯度：N90°00′00″");
  EXPECT_EQ(win.LabelText(Label::lblSouth), u"南端緯度：S90°00′00″");
  EXPECT_EQ(win.LabelText(Label::lblMapSize), u"地図化領域サイズ：\r\n360°00′00″x180°00′00″");
  EXPECT_EQ(win.LabelText(Label::lblBackColor1), u"色コード：(未設定)");
  EXPECT_EQ(win.swatch, kSwatchButtonFace);
  EXPECT_EQ(win.LabelText(Label::lblFigureNum), u"図形総数：0");
  EXPECT_TRUE(win.LabelText(Label::lblImgSize).empty());  // no picture yet
  // The preview shows the world only.
  ASSERT_EQ(win.draws.size(), 1u);
  EXPECT_EQ(win.draws[0].box, PictureBox::picBack);
}

// The menu-enabling table, step by step on one conversion.
TEST_F(StartupTest, MenusFollowTheConversionState) {
  auto enabled = [this](Menu m) { return win.MenuEnabled(m); };
  ASSERT_TRUE(logic->Form_Load());
  for (Menu m : {Menu::mnuPolygon, Menu::mnuCompress, Menu::mnuSave, Menu::mnuCancel})
    EXPECT_FALSE(enabled(m));
  for (Menu m : {Menu::mnuOpen, Menu::mnuQuit, Menu::mnuWorld, Menu::mnuWest, Menu::mnuBackColor,
                 Menu::mnuTone})
    EXPECT_TRUE(enabled(m));

  Open(Solid(20, 20, 0x0000FF));
  EXPECT_TRUE(enabled(Menu::mnuPolygon));
  EXPECT_FALSE(enabled(Menu::mnuCompress));
  EXPECT_FALSE(enabled(Menu::mnuSave));

  // While the generation runs: generation off, cancel on.
  bool checked = false;
  win.onDoEvents = [&] {
    if (checked) return;
    checked = true;
    EXPECT_FALSE(enabled(Menu::mnuPolygon));
    EXPECT_TRUE(enabled(Menu::mnuCancel));
    EXPECT_EQ(win.caption, u"画像地図化ツール - ver.1.0.12 - " + folder.File("japan.png") +
                               u"   [ポリゴン生成中...]");
    EXPECT_EQ(ports.pointer.current, pointer::kHourglass);
  };
  logic->mnuPolygon_Click();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(enabled(Menu::mnuPolygon));
  EXPECT_TRUE(enabled(Menu::mnuCompress));
  EXPECT_TRUE(enabled(Menu::mnuSave));
  EXPECT_FALSE(enabled(Menu::mnuCancel));
  EXPECT_EQ(ports.pointer.current, pointer::kDefault);
  EXPECT_EQ(ScreenMousePointerDepth(), 0);

  // A cancelled generation leaves compression and save enabled once they were.
  win.onDoEvents = [&] { logic->mnuCancel_Click(); };
  logic->mnuPolygon_Click();
  EXPECT_EQ(win.LastMessage(), u"ポリゴン生成は中断されました.");
  EXPECT_TRUE(enabled(Menu::mnuPolygon));
  EXPECT_TRUE(enabled(Menu::mnuCompress));
  EXPECT_TRUE(enabled(Menu::mnuSave));
  EXPECT_FALSE(enabled(Menu::mnuCancel));

  // Compression: off while it runs, on afterwards, whatever the outcome.
  win.onDoEvents = [&] {
    EXPECT_FALSE(enabled(Menu::mnuCompress));
    EXPECT_TRUE(enabled(Menu::mnuCancel));
    logic->mnuCancel_Click();
    EXPECT_FALSE(enabled(Menu::mnuCancel));
  };
  logic->mnuCompress_Click();
  EXPECT_EQ(win.LastMessage(), u"２次元圧縮は中断されました.");
  EXPECT_TRUE(enabled(Menu::mnuCompress));
  EXPECT_TRUE(enabled(Menu::mnuSave));
  EXPECT_FALSE(enabled(Menu::mnuCancel));
}

TEST_F(StartupTest, FailedGenerationKeepsCompressAndSaveDisabled) {
  StartWith(Solid(16, 16, 0x00FF00));
  SetExtents(0, 159, 160, 0);  // 9.9″ per pixel across
  logic->mnuPolygon_Click();
  EXPECT_EQ(win.LastMessage(), u"ポリゴン生成に失敗しました.");
  EXPECT_TRUE(win.messages.back().errorIcon);
  EXPECT_TRUE(win.MenuEnabled(Menu::mnuPolygon));
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuCompress));
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuSave));
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuCancel));
}

TEST_F(StartupTest, ClosingTakesTheImmediateExitFromTenThousandFigures) {
  ASSERT_TRUE(logic->Form_Load());
  clsMap& map = *logic->State().oMap;
  for (int i = 0; i < 9999; ++i) map.Add(NewRemark(u""));
  logic->Form_Unload();
  EXPECT_FALSE(win.exitCode.has_value());
  map.Add(NewRemark(u""));
  logic->Form_Unload();
  ASSERT_TRUE(win.exitCode.has_value());
  EXPECT_EQ(*win.exitCode, 0);
}

TEST_F(StartupTest, QuitClosesTheWindow) {
  ASSERT_TRUE(logic->Form_Load());
  logic->mnuQuit_Click();
  EXPECT_TRUE(win.closed);
}

TEST_F(StartupTest, ProgressEventsReachTheProgressBar) {
  ASSERT_TRUE(logic->Form_Load());
  logic->oMap_Progress(40);
  EXPECT_EQ(win.progressValue, 40);
}

}  // namespace
}  // namespace picmap::test
