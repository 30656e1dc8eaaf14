// The real window driven through its menus, dialogs and preview: start-up, opening a
// picture, extents by input box and by dragging, colour picking, tone, generation with
// progress and cancel, compression, saving and closing.
#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>

#include "app/frm_main.h"
#include "gui/swatch_widget.h"
#include "support/colorlib.h"
#include "support/library.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

QString ObjectText(QWidget* w, const char* name) {
  auto* l = w->findChild<QLabel*>(QString::fromLatin1(name));
  return l ? l->text() : QStringLiteral("<missing>");
}

TEST_F(WindowTest, StartUpShowsWholeWorldLabelsAndTheStartMenus) {
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("画像地図化ツール - ver.1.0.12"));
  EXPECT_EQ(LabelText(Label::lblWest), u"西端経度：W180°00′00″");
  EXPECT_EQ(LabelText(Label::lblEast), u"東端経度：E180°00′00″");
  EXPECT_EQ(LabelText(Label::lblNorth), u"北端緯度：N90°00′00″");
  EXPECT_EQ(LabelText(Label::lblSouth), u"南端緯度：S90°00′00″");
  EXPECT_EQ(LabelText(Label::lblMapSize), u"地図化領域サイズ：\n360°00′00″x180°00′00″");
  EXPECT_EQ(LabelText(Label::lblBackColor1), u"色コード：(未設定)");
  EXPECT_EQ(LabelText(Label::lblFigureNum), u"図形総数：0");
  EXPECT_EQ(window->Swatch()->Colour(), kSwatchButtonFace);

  for (Menu m : {Menu::mnuSave, Menu::mnuPolygon, Menu::mnuCompress, Menu::mnuCancel})
    EXPECT_FALSE(Enabled(m)) << ToUtf8(FromQ(window->MenuAction(m)->objectName()));
  for (Menu m : {Menu::mnuFile, Menu::mnuOpen, Menu::mnuQuit, Menu::mnuArea, Menu::mnuWorld,
                 Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth, Menu::mnuColor,
                 Menu::mnuBackColor, Menu::mnuTone, Menu::mnuConvert})
    EXPECT_TRUE(Enabled(m)) << ToUtf8(FromQ(window->MenuAction(m)->objectName()));
  EXPECT_EQ(Program().title, u"画像地図化ツール");
  EXPECT_TRUE(dialogs.messages.shown.empty());
}

TEST_F(WindowTest, ControlsCarryTheirNamesCaptionsAndToolTips) {
  ASSERT_TRUE(StartWindow());
  const std::pair<const char*, const char*> menus[] = {
      {"mnuFile", "ファイル(&F)"},      {"mnuOpen", "画像ファイルを開く(&O)..."},
      {"mnuSave", "地図ファイルを保存する(&S)..."}, {"mnuQuit", "終了(&X)"},
      {"mnuArea", "領域設定(&M)"},      {"mnuWorld", "世界全体(&A)"},
      {"mnuWest", "西端経度(&W)"},      {"mnuEast", "東端経度(&E)"},
      {"mnuNorth", "北端緯度(&N)"},     {"mnuSouth", "南端緯度(&S)"},
      {"mnuColor", "色設定(&R)"},       {"mnuBackColor", "無効色(&B)..."},
      {"mnuTone", "諧調圧縮(&T)"},      {"mnuConvert", "変換(&V)"},
      {"mnuPolygon", "ポリゴン生成(&P)"}, {"mnuCompress", "２次元圧縮(&R)"},
      {"mnuCancel", "処理中止(&A)"},    {"mnuToneItem0", "256諧調(無圧縮)(&A)"},
      {"mnuToneItem1", "128諧調(微圧縮)(&B)"}, {"mnuToneItem2", "64諧調(弱圧縮)(&C)"},
      {"mnuToneItem3", "32諧調(中圧縮)(&D)"},  {"mnuToneItem4", "16諧調(強圧縮)(&E)"}};
  for (const auto& [name, caption] : menus) {
    auto* a = window->findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_NE(a, nullptr) << name;
    EXPECT_EQ(a->text(), QString::fromUtf8(caption)) << name;
  }
  for (int16_t i = 0; i < kToneItemCount; ++i) EXPECT_TRUE(window->ToneAction(i)->isCheckable());

  const std::pair<const char*, const char*> tips[] = {
      {"lblWest", "画像を貼り付ける領域の西端経度"}, {"lblEast", "画像を貼り付ける領域の東端経度"},
      {"lblNorth", "画像を貼り付ける領域の北端緯度"}, {"lblSouth", "画像を貼り付ける領域の南端緯度"},
      {"lblMapSize", "画像を貼り付ける領域のサイズ"}, {"lblImgSize", "開いた画像のピクセル数"},
      {"lblPixelSize", "画像の１ピクセルあたりの経度と緯度"}};
  for (const auto& [name, tip] : tips) {
    auto* l = window->findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_NE(l, nullptr) << name;
    EXPECT_EQ(l->toolTip(), QString::fromUtf8(tip)) << name;
  }
  EXPECT_EQ(ObjectText(window.get(), "lblBackColor2"), QStringLiteral("地図上を右クリックで取得可能"));
  EXPECT_EQ(window->findChild<QGroupBox*>("fraBackColor")->title(), QStringLiteral("無効色"));
  EXPECT_EQ(window->findChild<QGroupBox*>("fraArea")->title(), QStringLiteral("領域情報"));
  for (const char* name : {"picDst", "picBackColor", "prgConvert", "lblFigureNum", "lblBackColor1"})
    EXPECT_NE(window->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST_F(WindowTest, PreviewIsTwoToOneAndShowsTheWorldPicture) {
  ASSERT_TRUE(StartWindow());
  PreviewWidget* p = window->Preview();
  // Where the screen has room the preview opens at the world picture's 720 x 360.
  EXPECT_EQ(p->Canvas().size(), QSize(720, 360));
  EXPECT_EQ(window->PreviewWidth(), 720);
  const QImage world(QString::fromStdString((folder.Path() / "world.png").string()));
  ASSERT_FALSE(world.isNull());
  // The canvas holds the world picture stretched over it: compare a few points.
  for (const QPointF f : {QPointF(0.25, 0.25), QPointF(0.5, 0.5), QPointF(0.9, 0.7)}) {
    const QPoint at(static_cast<int>(f.x() * 720), static_cast<int>(f.y() * 360));
    const QRgb w = world.pixel(at.x() * world.width() / 720, at.y() * world.height() / 360);
    EXPECT_EQ(p->ColorAt(at.x() + 0.5, at.y() + 0.5),
              int32_t(qRed(w) | (qGreen(w) << 8) | (qBlue(w) << 16)));
  }
  // A wider window gives a wider, redrawn preview that keeps the ratio.
  window->resize(window->width() + 200, window->height() + 100);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->PreviewWidth() > 720; }, 2000));
  EXPECT_EQ(window->Preview()->Canvas().height(), window->Preview()->Canvas().width() / 2);
}

TEST_F(WindowTest, MissingTemplateThingFileEndsBeforeTheWindowAppears) {
  fs::remove(folder.Path() / "PICMAP.THG");
  EXPECT_FALSE(StartWindow());
  EXPECT_FALSE(window->isVisible());
  // The catalogue tells of the missing file itself; the start-up message comes last.
  ASSERT_FALSE(dialogs.messages.shown.empty());
  const ShownMessage& last = dialogs.messages.shown.back();
  EXPECT_EQ(last.text, folder.File("PICMAP.THG") + u"\r\nの読み込みに失敗しました.");
  EXPECT_EQ(last.icon, MsgIcon::Error);
  EXPECT_EQ(last.title, u"画像地図化ツール");
}

TEST_F(WindowTest, TemplateWithoutImagePolygonEndsBeforeTheWindowAppears) {
  const std::u16string things =
      u"[CATEGORY]\r\n1,\"画像\"\r\n\r\n[THING]\r\nNUMBER=3\r\nFIGURE=POLYLINE\r\n"
      u"NAME=\"海岸線\"\r\nCATEGORY=1\r\n\r\n";
  std::ofstream(folder.Path() / "PICMAP.THG", std::ios::binary | std::ios::trunc) << ToCp932(things);
  EXPECT_FALSE(StartWindow());
  EXPECT_FALSE(window->isVisible());
  ASSERT_EQ(dialogs.messages.shown.size(), 1u);
  EXPECT_EQ(dialogs.messages.shown[0].text,
            folder.File("PICMAP.THG") + u"\r\nに、事象 [画像ポリゴン] がありません.");
}

TEST_F(WindowTest, OpeningAPictureUsesTheOpenDialogAndPastesThePicture) {
  ASSERT_TRUE(StartWindow());
  const std::u16string path = WritePicture(Stripes(90, 45, {kRed, kGreen}), "japan.png");
  OpenPicture(path);
  ASSERT_EQ(dialogs.openRequests.size(), 1u);
  const FileDialogRequest& r = dialogs.openRequests[0];
  EXPECT_EQ(r.title, u"画像ファイル");
  EXPECT_EQ(r.filter, frmtext::kPictureFilter + frmtext::kRasterFilter);
  EXPECT_EQ(r.filterIndex, 1);
  EXPECT_EQ(SplitInitialName(r.fileName).folder, QDir::homePath());
  EXPECT_EQ(FromQ(window->windowTitle()), u"画像地図化ツール - ver.1.0.12 - " + path);
  EXPECT_TRUE(Enabled(Menu::mnuPolygon));
  EXPECT_FALSE(Enabled(Menu::mnuSave));
  EXPECT_EQ(LabelText(Label::lblImgSize), u"画像ピクセル数：\n90x45");
  EXPECT_EQ(LabelText(Label::lblPixelSize).substr(0, 9), u"ピクセルサイズ：\n");
  // The whole world is the area: the left half shows red, the right half green.
  EXPECT_EQ(window->PreviewColorAt(window->PreviewWidth() * 0.25, 100), kRed);
  EXPECT_EQ(window->PreviewColorAt(window->PreviewWidth() * 0.75, 100), kGreen);

  // A cancelled dialog changes nothing.
  Trigger(Menu::mnuOpen);
  EXPECT_EQ(FromQ(window->windowTitle()), u"画像地図化ツール - ver.1.0.12 - " + path);
}

TEST_F(WindowTest, EdgesAreEnteredThroughTheInputBox) {
  ASSERT_TRUE(StartWindow());
  dialogs.inputAnswers.push_back(u"135.5");
  Trigger(Menu::mnuEast);
  ASSERT_EQ(dialogs.prompts.size(), 1u);
  EXPECT_EQ(dialogs.prompts[0].prompt, u"画像右端の経度を入力してください.");
  EXPECT_EQ(dialogs.prompts[0].defaultText, LonToStr(648000));
  EXPECT_EQ(dialogs.prompts[0].title, u"画像地図化ツール");
  EXPECT_EQ(window->Logic().State().east, 487800);
  EXPECT_EQ(LabelText(Label::lblEast), u"東端経度：" + LonToStr(487800));

  dialogs.inputAnswers.push_back(u"N10");
  Trigger(Menu::mnuNorth);
  EXPECT_EQ(dialogs.prompts.back().prompt, u"画像上端の緯度を入力してください.");
  EXPECT_EQ(LabelText(Label::lblNorth), u"北端緯度：" + LatToStr(36000));

  // Cancelled: the edge stays.
  Trigger(Menu::mnuWest);
  EXPECT_EQ(window->Logic().State().west, -648000);
  Trigger(Menu::mnuWorld);
  EXPECT_EQ(LabelText(Label::lblEast), u"東端経度：E180°00′00″");
}

TEST_F(WindowTest, RightClickOnThePreviewPicksTheColourUnderThePointer) {
  ASSERT_TRUE(StartWindow());
  OpenPicture(WritePicture(Stripes(90, 45, {kRed, kBlue}), "pick.png"));
  QTest::qWait(50);  // the window's layout settles on the event loop
  const QPoint onBlue =
      QPoint(static_cast<int>(window->PreviewWidth() * 0.8), 50) + window->Preview()->CanvasOrigin();
  const QSize previewBefore = window->Preview()->Canvas().size();
  QTest::mouseClick(window->Preview(), Qt::RightButton, Qt::NoModifier, onBlue);
  EXPECT_EQ(window->Logic().State().backColor, kBlue);
  EXPECT_EQ(LabelText(Label::lblBackColor1), u"色コード：BBGGRR = " + ColorCodeStr(kBlue) + u" (#0000FF)");
  QTest::qWait(50);
  EXPECT_EQ(window->Preview()->Canvas().size(), previewBefore) << "the colour's label reflowed the window";
  EXPECT_EQ(window->Swatch()->ShownColour(), QColor(0, 0, 255));
  // A left click picks nothing.
  QTest::mouseClick(window->Preview(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(static_cast<int>(window->PreviewWidth() * 0.2), 50));
  EXPECT_EQ(window->Logic().State().backColor, kBlue);
}

TEST_F(WindowTest, SwatchClickOpensTheColourDialogAndCancelUnsetsTheColour) {
  ASSERT_TRUE(StartWindow());
  dialogs.colorAnswers.push_back(0x123456);
  QTest::mouseClick(window->Swatch(), Qt::LeftButton);
  ASSERT_EQ(dialogs.colorRequests.size(), 1u);
  EXPECT_EQ(dialogs.colorRequests[0], -1);
  EXPECT_EQ(LabelText(Label::lblBackColor1), u"色コード：BBGGRR = " + ColorCodeStr(0x123456) + u" (#563412)");
  Trigger(Menu::mnuBackColor);  // cancelled
  EXPECT_EQ(dialogs.colorRequests.back(), 0x123456);
  EXPECT_EQ(LabelText(Label::lblBackColor1), u"色コード：(未設定)");
  EXPECT_EQ(window->Swatch()->Colour(), kSwatchButtonFace);
}

TEST_F(WindowTest, ToneMenuShowsTheLogicsChoiceWhenItOpens) {
  ASSERT_TRUE(StartWindow());
  emit window->ToneMenu()->aboutToShow();
  EXPECT_TRUE(window->ToneAction(0)->isChecked());
  window->ToneAction(3)->trigger();
  EXPECT_EQ(window->Logic().State().toneIndex, 3);
  emit window->ToneMenu()->aboutToShow();
  for (int16_t i = 0; i < kToneItemCount; ++i)
    EXPECT_EQ(window->ToneAction(i)->isChecked(), i == 3) << i;
  // Clicking the checked item again keeps its mark: the marks are the logic's.
  window->ToneAction(3)->trigger();
  EXPECT_TRUE(window->ToneAction(3)->isChecked());
}

TEST_F(WindowTest, DraggingAnEdgeAndTheWholeAreaChangesTheExtents) {
  ASSERT_TRUE(StartWindow());
  OpenPicture(WritePicture(Stripes(64, 32, {kRed, kGreen}), "drag.png"));
  dialogs.inputAnswers = {u"W90", u"E90", u"N45", u"S45"};
  for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth}) Trigger(m);
  ASSERT_EQ(LabelText(Label::lblWest), u"西端経度：" + LonToStr(-324000));
  PreviewWidget* p = window->Preview();

  // Hover on the west edge: the west-east sizing arrow; drag it 30 degrees west.
  const QPoint west = OnPreview(-324000, 0);
  QTest::mouseMove(p, west);
  EXPECT_EQ(p->cursor().shape(), Qt::SizeHorCursor);
  QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, west);
  const QPoint target = OnPreview(-432000, 0);
  QTest::mouseMove(p, target);
  QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, target);
  const int32_t draggedWest = window->Logic().State().west;
  EXPECT_NEAR(draggedWest, -432000, 1.0 / K());
  EXPECT_EQ(LabelText(Label::lblWest), u"西端経度：" + LonToStr(draggedWest));

  // The north-west corner gives the diagonal arrow.
  QTest::mouseMove(p, OnPreview(draggedWest, 162000));
  EXPECT_EQ(p->cursor().shape(), Qt::SizeFDiagCursor);

  // Inside the area: the move arrow; a move drag shifts both longitudes and latitudes.
  const ConversionState before = window->Logic().State();
  const QPoint inside = OnPreview(0, 0);
  QTest::mouseMove(p, inside);
  EXPECT_EQ(p->cursor().shape(), Qt::SizeAllCursor);
  QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, inside);
  const QPoint moved = inside + QPoint(20, -10);
  QTest::mouseMove(p, moved);
  QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, moved);
  const ConversionState& after = window->Logic().State();
  const int32_t dx = static_cast<int32_t>(std::lround(20 / K()));
  const int32_t dy = static_cast<int32_t>(std::lround(10 / K()));
  EXPECT_EQ(after.west, before.west + dx);
  EXPECT_EQ(after.east, before.east + dx);
  EXPECT_EQ(after.north, before.north + dy);
  EXPECT_EQ(after.south, before.south + dy);
  EXPECT_EQ(LabelText(Label::lblEast), u"東端経度：" + LonToStr(after.east));
  EXPECT_EQ(LabelText(Label::lblSouth), u"南端緯度：" + LatToStr(after.south));
  // Away from the area the default arrow comes back.
  QTest::mouseMove(p, OnPreview(600000, -300000));
  EXPECT_EQ(p->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(WindowTest, WorldFileBesideThePictureSetsTheExtents) {
  ASSERT_TRUE(StartWindow());
  QAction* worldFile = window->WorldFileAction();
  ASSERT_NE(worldFile, nullptr);
  EXPECT_EQ(worldFile->objectName(), QStringLiteral("mnuWorldFile"));
  worldFile->trigger();
  EXPECT_EQ(dialogs.LastMessage(), frmtext::kWorldFileNoPicture);

  // 0.5 degree pixels, upper-left pixel centred on 120.25 E, 45.75 N: a 40 x 20 picture
  // covers 120..140 E and 36..46 N.
  const std::u16string path = WritePicture(Stripes(40, 20, {kRed}), "geo.png");
  std::ofstream(folder.Path() / "geo.pgw") << "0.5\n0\n0\n-0.5\n120.25\n45.75\n";
  OpenPicture(path);
  worldFile->trigger();
  const ConversionState& s = window->Logic().State();
  EXPECT_EQ(s.west, 120 * 3600);
  EXPECT_EQ(s.east, 140 * 3600);
  EXPECT_EQ(s.north, 46 * 3600);
  EXPECT_EQ(s.south, 36 * 3600);
  EXPECT_EQ(LabelText(Label::lblWest), u"西端経度：" + LonToStr(120 * 3600));
}

}  // namespace
}  // namespace picmap::testing
