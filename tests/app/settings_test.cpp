// Opening pictures, entering the extents, the background colour and the tone setting.
#include "app_fixture.h"
#include "map/clsMap.h"

namespace picmap::test {
namespace {

using SettingsTest = AppTest;

TEST(FilterIndexTest, PicksTheFirstEntryHoldingTheExtension) {
  const std::u16string f = frmtext::kPictureFilter;
  EXPECT_EQ(FilterIndexFor(f, u"/usr/lib/picmap/*.PNG"), 1);  // .PNG first occurs in entry 1
  EXPECT_EQ(FilterIndexFor(u"A|*.BMP|B|*.GIF|", u"x.gif"), 2);
  EXPECT_EQ(FilterIndexFor(f, u"/maps/japan"), 1);
  EXPECT_EQ(FilterIndexFor(f, u"/maps/japan.tiff"), 1);
}

TEST_F(SettingsTest, OpenAsksWithTitleFilterAndProgramFolder) {
  StartWith(Solid(32, 16, 0x112233));
  ASSERT_EQ(win.openRequests.size(), 1u);
  const FileDialogRequest& r = win.openRequests[0];
  EXPECT_EQ(r.title, u"画像ファイル");
  EXPECT_EQ(r.fileName, folder.U16() + u"/*.PNG");
  EXPECT_EQ(r.filter, frmtext::kPictureFilter + frmtext::kRasterFilter);
  EXPECT_EQ(r.filterIndex, 1);
  EXPECT_GE(win.refreshCount, 1);
}

TEST_F(SettingsTest, OpenSetsMapNameCaptionLabelsAndPreview) {
  StartWith(Solid(32, 16, 0x112233));
  const std::u16string path = folder.File("japan.png");
  EXPECT_TRUE(logic->State().pictureLoaded);
  EXPECT_EQ(logic->State().oMap->FileName(), folder.File("japan.MLL"));
  EXPECT_EQ(win.caption, u"画像地図化ツール - ver.1.0.12 - " + path);
  EXPECT_EQ(win.LabelText(Label::lblImgSize), u"画像ピクセル数：\r\n32x16");
  // 1296000″ / 32 = 40500″ = 11°15′00″, 648000″ / 16 = 40500″
  EXPECT_EQ(win.LabelText(Label::lblPixelSize), u"ピクセルサイズ：\r\n011°15′00″x011°15′00″");
  ASSERT_EQ(win.draws.size(), 2u);
  EXPECT_EQ(win.draws[1].box, PictureBox::picSrc);

  // A second picture takes the first one's place in the caption.
  Open(Solid(16, 16, 0), "korea.PNG");
  EXPECT_EQ(win.caption, u"画像地図化ツール - ver.1.0.12 - " + folder.File("korea.PNG"));
}

TEST_F(SettingsTest, PngNamesInAnyCaseTakeThePngLoader) {
  ASSERT_TRUE(logic->Form_Load());
  Open(Solid(16, 16, 0), "a.png");
  Open(Solid(16, 16, 0), "b.PnG");
  Open(Solid(16, 16, 0), "c.bmp");
  Open(Solid(16, 16, 0), "d.jpg");
  ASSERT_EQ(win.loads.size(), 4u);
  EXPECT_EQ(win.loads[0].loader, PictureLoader::Png);
  EXPECT_EQ(win.loads[1].loader, PictureLoader::Png);
  EXPECT_EQ(win.loads[2].loader, PictureLoader::Standard);
  EXPECT_EQ(win.loads[3].loader, PictureLoader::Standard);
}

TEST_F(SettingsTest, CancelledOpenChangesNothing) {
  ASSERT_TRUE(logic->Form_Load());
  const std::u16string caption = win.caption;
  logic->mnuOpen_Click();  // no answer queued: cancelled
  EXPECT_EQ(win.caption, caption);
  EXPECT_TRUE(win.loads.empty());
  EXPECT_EQ(logic->State().oMap->FileName(), folder.File("PICMAP.MLL"));
}

TEST_F(SettingsTest, SmallPictureIsShownAndRefusedWithItsReason) {
  ASSERT_TRUE(logic->Form_Load());
  const std::u16string caption = win.caption;
  Open(Solid(15, 40, 0), "tiny.bmp");
  EXPECT_FALSE(logic->State().pictureLoaded);
  EXPECT_FALSE(win.MenuEnabled(Menu::mnuPolygon));
  EXPECT_EQ(win.caption, caption + u" - " + folder.File("tiny.bmp"));
  ASSERT_EQ(win.messages.size(), 1u);
  EXPECT_EQ(win.messages[0].text, folder.File("tiny.bmp") +
                                      u"\r\n画像が小さすぎます: 15x40ピクセル (16x16ピクセル以上が必要です).");
  EXPECT_TRUE(win.messages[0].errorIcon);
  EXPECT_EQ(win.LabelText(Label::lblImgSize), u"画像ピクセル数：\r\n15x40");
  EXPECT_EQ(win.SourceWidth(), 15);
  EXPECT_EQ(logic->State().oMap->FileName(), folder.File("tiny.MLL"));
}

TEST_F(SettingsTest, UnreadableFileLeavesEverythingAsItWas) {
  StartWith(Solid(20, 20, 0x445566));
  const std::u16string caption = win.caption;
  folder.Write("broken.png", "not a picture");
  win.openAnswers.push_back(folder.File("broken.png"));
  logic->mnuOpen_Click();
  ASSERT_EQ(win.messages.size(), 1u);
  EXPECT_EQ(win.messages[0].text, folder.File("broken.png") + u"\r\nを画像として読み込めませんでした.");
  EXPECT_TRUE(win.messages[0].errorIcon);
  EXPECT_EQ(win.caption, caption);
  EXPECT_EQ(logic->State().oMap->FileName(), folder.File("japan.MLL"));
  EXPECT_EQ(win.SourceWidth(), 20);
  EXPECT_EQ(win.SourcePixel(0, 0), 0x445566);
}

// ---- Extents ----

TEST_F(SettingsTest, EdgeEntriesReadFreeAngleText) {
  ASSERT_TRUE(logic->Form_Load());
  win.inputAnswers = {u"135.5"};
  EXPECT_EQ(logic->mnuEast_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().east, 487800);
  EXPECT_EQ(win.prompts.back().prompt, u"画像右端の経度を入力してください.");
  EXPECT_EQ(win.prompts.back().defaultText, u"E180°00′00″");

  win.inputAnswers = {u"W135.5"};
  EXPECT_EQ(logic->mnuWest_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().west, -487800);
  EXPECT_EQ(win.prompts.back().prompt, u"画像左端の経度を入力してください.");
  EXPECT_EQ(win.LabelText(Label::lblWest), u"西端経度：W135°30′00″");

  win.inputAnswers = {u"135.30,15"};
  EXPECT_EQ(logic->mnuEast_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().east, 487815);
  EXPECT_EQ(win.prompts.back().defaultText, u"E135°30′00″");

  win.inputAnswers = {u"北緯35度"};
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().north, 126000);
  EXPECT_EQ(win.prompts.back().prompt, u"画像上端の緯度を入力してください.");
  EXPECT_EQ(win.prompts.back().defaultText, u"N90°00′00″");
}

// "36.5S" is 36.5 arc-seconds to the angle grammar; whoever types it is asked what was meant.
TEST_F(SettingsTest, ALetterAfterTheNumberIsAskedAbout) {
  ASSERT_TRUE(logic->Form_Load());
  win.inputAnswers = {u"36.5S"};
  win.questionAnswers = {MsgAnswer::Yes};
  EXPECT_EQ(logic->mnuSouth_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().south, -131400);
  ASSERT_EQ(win.questions.size(), 1u);
  EXPECT_EQ(win.questions[0],
            u"「36.5S」は N00°00′36″ と読めます (数の後の S は秒を表します).\r\nS36°30′00″ のことですか?");

  win.inputAnswers = {u"10S"};
  win.questionAnswers = {MsgAnswer::No};
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().north, 10);

  win.inputAnswers = {u"20s"};
  win.questionAnswers = {MsgAnswer::Cancel};
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::Cancelled);
  EXPECT_EQ(logic->State().north, 10);
  win.inputAnswers = {u"45N", u"S36.5", u"36.5°S"};
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().north, 162000);
  win.inputAnswers = {u"S36.5", u"36.5°S"};
  EXPECT_EQ(logic->mnuSouth_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->mnuSouth_Click(), EdgeEntry::Stored);
  EXPECT_EQ(win.questions.size(), 3u);  // nothing to ask where the letter leads or follows a unit
  EXPECT_TRUE(win.messages.empty());
}

TEST_F(SettingsTest, NorthAndSouthStayThirtySecondsApart) {
  ASSERT_TRUE(logic->Form_Load());
  win.inputAnswers = {u"S89°59′31″"};
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::OutOfRange);
  EXPECT_EQ(logic->State().north, 324000);
  win.inputAnswers = {u"S89°59′30″"};
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::Stored);
  EXPECT_EQ(logic->State().north, -323970);
  win.inputAnswers = {u"S89°59′41″"};
  EXPECT_EQ(logic->mnuSouth_Click(), EdgeEntry::OutOfRange);
  EXPECT_EQ(win.prompts.back().prompt, u"画像下端の緯度を入力してください.");
  win.inputAnswers = {u"S90"};
  EXPECT_EQ(logic->mnuSouth_Click(), EdgeEntry::Stored);
  ASSERT_EQ(win.messages.size(), 2u);  // the two refusals, each saying which rule
  EXPECT_EQ(win.messages[0].text,
            u"「S89°59′31″」は範囲外です. 上端の緯度は下端の緯度より30″以上北にしてください.");
  EXPECT_TRUE(win.messages[0].errorIcon);
}

TEST_F(SettingsTest, BadEntriesLeaveTheEdgeAndSayWhyCancelledOnesSilently) {
  ASSERT_TRUE(logic->Form_Load());
  win.inputAnswers = {u"N 35"};  // a blank after the letter cannot be read
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::Unreadable);
  win.inputAnswers = {u"abc"};
  EXPECT_EQ(logic->mnuWest_Click(), EdgeEntry::Unreadable);
  EXPECT_EQ(logic->mnuEast_Click(), EdgeEntry::Cancelled);  // empty answer
  win.inputAnswers = {u"181"};
  EXPECT_EQ(logic->mnuEast_Click(), EdgeEntry::OutOfRange);
  EXPECT_EQ(logic->State().west, -648000);
  EXPECT_EQ(logic->State().east, 648000);
  EXPECT_EQ(logic->State().north, 324000);
  win.inputAnswers = {u"N95"};
  EXPECT_EQ(logic->mnuNorth_Click(), EdgeEntry::OutOfRange);
  ASSERT_EQ(win.messages.size(), 4u);  // not for the cancelled entry
  EXPECT_EQ(win.messages[0].text, u"「N 35」を角度として読み取れません.");
  EXPECT_EQ(win.messages[2].text,
            u"「181」は範囲外です. 経度は W180°00′00″ から E180°00′00″ の間で入力してください.");
  EXPECT_EQ(win.messages[3].text,
            u"「N95」は範囲外です. 緯度は S90°00′00″ から N90°00′00″ の間で入力してください.");
}

TEST_F(SettingsTest, SpanAcrossTheDateLine) {
  ASSERT_TRUE(logic->Form_Load());
  win.inputAnswers = {u"E170", u"W170"};
  logic->mnuWest_Click();
  logic->mnuEast_Click();
  EXPECT_EQ(logic->State().west, 612000);
  EXPECT_EQ(logic->State().east, -612000);
  EXPECT_EQ(win.LabelText(Label::lblMapSize), u"地図化領域サイズ：\r\n020°00′00″x180°00′00″");
}

TEST_F(SettingsTest, WorldRestoresTheWholeGlobe) {
  ASSERT_TRUE(logic->Form_Load());
  SetExtents(1, 2, 300, 3);
  logic->mnuWorld_Click();
  EXPECT_EQ(logic->State().west, -648000);
  EXPECT_EQ(logic->State().east, 648000);
  EXPECT_EQ(logic->State().north, 324000);
  EXPECT_EQ(logic->State().south, -324000);
  EXPECT_EQ(win.LabelText(Label::lblMapSize), u"地図化領域サイズ：\r\n360°00′00″x180°00′00″");
}

// ---- Colour and tone ----

TEST_F(SettingsTest, BackgroundColourFromTheDialog) {
  ASSERT_TRUE(logic->Form_Load());
  win.colorAnswers.push_back(0x0A0B0C);
  logic->mnuBackColor_Click();
  EXPECT_EQ(logic->State().backColor, 0x0A0B0C);
  EXPECT_EQ(win.colorRequests.back(), -1);
  EXPECT_EQ(win.LabelText(Label::lblBackColor1), u"色コード：BBGGRR = 0A0B0C (#0C0B0A)");
  EXPECT_EQ(win.swatch, 0x0A0B0C);
  // The swatch opens the dialog with the current colour; a cancel clears the colour.
  logic->picBackColor_Click();
  EXPECT_EQ(win.colorRequests.back(), 0x0A0B0C);
  EXPECT_EQ(logic->State().backColor, -1);
  EXPECT_EQ(win.LabelText(Label::lblBackColor1), u"色コード：(未設定)");
  EXPECT_EQ(win.swatch, kSwatchButtonFace);
}

TEST_F(SettingsTest, ToneMenuChecksTheSelectedItem) {
  ASSERT_TRUE(logic->Form_Load());
  logic->mnuToneItem_Click(3);
  logic->mnuTone_Click();
  for (int16_t i = 0; i < kToneItemCount; ++i) EXPECT_EQ(win.toneChecked[i], i == 3) << i;
  logic->mnuToneItem_Click(5);  // no such item
  EXPECT_EQ(logic->State().toneIndex, 3);
}

}  // namespace
}  // namespace picmap::test
