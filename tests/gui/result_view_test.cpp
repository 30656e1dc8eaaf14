// The result view of the preview: the generated map drawn over the world picture, offered
// once a generation has succeeded and redrawn when the map changes.
#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSpinBox>
#include <QTest>

#include <algorithm>
#include <fstream>

#include "app/frm_main.h"
#include "app/picture_loader.h"
#include "gui/cleanup_dialog.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

constexpr int32_t kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// A one-colour picture over 120..140 E, 36..46 N, generated.
class ResultViewTest : public WindowTest {
 protected:
  void GenerateRedOverJapan() {
    ASSERT_TRUE(StartWindow());
    OpenPicture(WritePicture(Stripes(40, 20, {kRed}), "red.png"));
    dialogs.inputAnswers = {u"E120", u"E140", u"N46", u"N36"};
    for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth}) Trigger(m);
    Trigger(Menu::mnuPolygon);
    ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  }
  QAction* ShowResult() const { return window->ShowResultAction(); }
  int32_t PixelAt(QPoint p) const { return window->PreviewColorAt(p.x() + 0.5, p.y() + 0.5); }

  QPoint InArea() const { return At(130 * 3600, 41 * 3600); }
  QPoint Outside() const { return At(-60 * 3600, -20 * 3600); }  // the South Atlantic
};

TEST_F(ResultViewTest, ItemFollowsCompressionInTheMenuAndWaitsForAGeneration) {
  ASSERT_TRUE(StartWindow());
  QAction* item = window->findChild<QAction*>(QStringLiteral("mnuShowResult"));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item, ShowResult());
  EXPECT_EQ(item->text(), QStringLiteral("生成結果を表示(&G)"));
  EXPECT_TRUE(item->isCheckable());
  EXPECT_FALSE(item->isChecked());
  EXPECT_FALSE(item->isEnabled());

  auto* convert = window->findChild<QMenu*>(QStringLiteral("mnuConvert"));
  ASSERT_NE(convert, nullptr);
  QStringList names;
  for (QAction* a : convert->actions()) names << a->objectName();
  EXPECT_EQ(names, (QStringList{"mnuCleanup", "mnuPolygon", "mnuCompress", "mnuShowResult", "mnuCancel"}));

  // Opening a picture is not enough, a generation is.
  OpenPicture(WritePicture(Stripes(40, 20, {kRed}), "red.png"));
  EXPECT_FALSE(item->isEnabled());
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  EXPECT_TRUE(item->isEnabled());
}

// A palette named in the clean-up dialog greys out the number of colours, and is still there,
// and still used, when the dialog is opened again and accepted for another change; a decimal
// comma in the tolerance is its point.
TEST_F(ResultViewTest, TheCleanupDialogKeepsItsPaletteAndReadsADecimalComma) {
  ASSERT_TRUE(StartWindow());
  std::ofstream(folder.Path() / "two.txt") << "#FF0000\n#0000FF\n";
  CleanupDialog first(window->Logic().Cleanup(), window.get());
  first.findChild<QLineEdit*>(QStringLiteral("txtPalette"))->setText(QString::fromStdU16String(folder.File("two.txt")));
  EXPECT_FALSE(first.findChild<QSpinBox*>(QStringLiteral("spnColours"))->isEnabled());
  first.accept();
  ASSERT_EQ(first.Options().palette.size(), 2u);
  CleanupDialog again(first.Options(), window.get());
  EXPECT_FALSE(again.findChild<QSpinBox*>(QStringLiteral("spnColours"))->isEnabled());
  again.findChild<QSpinBox*>(QStringLiteral("spnSieve"))->setValue(5);
  // A decimal comma typed for the point is the point, not a digit group.
  auto* simplify = again.findChild<QDoubleSpinBox*>(QStringLiteral("spnSimplify"));
  simplify->setEnabled(true);
  simplify->findChild<QLineEdit*>()->selectAll();
  QTest::keyClicks(simplify, QStringLiteral("0,5"));
  simplify->interpretText();
  EXPECT_EQ(simplify->value(), 0.5);
  again.accept();
  EXPECT_EQ(again.Options().palette, first.Options().palette);
  EXPECT_EQ(again.Options().sieve, 5);
}

// The clean-up dialog's choices reach the next generation; its regions are then shown over
// the picture, and compressing them (they are no rectangles) is not offered.
TEST_F(ResultViewTest, TheCleanupStepMakesRegionsTheResultViewShows) {
  ASSERT_TRUE(StartWindow());
  CleanupDialog dialog(window->Logic().Cleanup(), window.get());
  auto* colours = dialog.findChild<QSpinBox*>(QStringLiteral("spnColours"));
  colours->setValue(1);  // one colour is shown as no reduction, as it is taken
  EXPECT_EQ(colours->text(), colours->specialValueText());
  const auto labels = dialog.findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
    return l->buddy() == dialog.findChild<QLineEdit*>(QStringLiteral("txtPalette"));
  })) << "the palette's access key has no field";
  colours->setValue(2);
  dialog.findChild<QSpinBox*>(QStringLiteral("spnSieve"))->setValue(9);
  dialog.findChild<QCheckBox*>(QStringLiteral("chkRegions"))->setChecked(true);
  dialog.findChild<QDoubleSpinBox*>(QStringLiteral("spnSimplify"))->setValue(1.5);
  dialog.accept();
  const CleanupOptions& o = dialog.Options();
  EXPECT_EQ(o.colours, 2);
  EXPECT_EQ(o.sieve, 9);
  EXPECT_TRUE(o.regions);
  EXPECT_EQ(o.simplify, 1.5);
  window->Logic().SetCleanup(o);
  OpenPicture(WritePicture(Stripes(40, 20, {kRed, kBlue}), "two.png"));
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kRegionsDone) << "the message must not send the user to compression";
  EXPECT_EQ(window->Logic().LastRegions().regions, 2);
  EXPECT_TRUE(ShowResult()->isEnabled());
  EXPECT_FALSE(window->findChild<QMenu*>(QStringLiteral("mnuConvert"))->actions()[2]->isEnabled());
}

TEST_F(ResultViewTest, CheckedPreviewShowsTheMapOverTheWorldAndUncheckedThePicture) {
  GenerateRedOverJapan();
  Trigger(Menu::mnuWorld);  // the picture now covers the whole preview
  ShowResult()->setChecked(true);
  const int32_t worldOutside = PixelAt(Outside());
  EXPECT_EQ(PixelAt(InArea()), kRed);
  EXPECT_NE(worldOutside, kRed);
  // Outside the map the world picture shows, stretched over the preview without smoothing.
  QImage worldOnly(window->Preview()->Canvas().size(), QImage::Format_RGB32);
  QPainter(&worldOnly).drawImage(QRect(QPoint(), worldOnly.size()),
      QImage(QString::fromStdString((folder.Path() / "world.png").string())));
  EXPECT_EQ(ColourFromRgb(worldOnly.pixel(Outside())), worldOutside);
  // A right click picks the colour of what is shown.
  QTest::mouseClick(window->Preview(), Qt::RightButton, Qt::NoModifier,
                    Outside() + window->Preview()->CanvasOrigin());
  EXPECT_EQ(window->Logic().State().backColor, worldOutside);

  ShowResult()->setChecked(false);
  EXPECT_EQ(PixelAt(Outside()), kRed);  // the picture stretched over the world
  EXPECT_EQ(PixelAt(InArea()), kRed);
}

TEST_F(ResultViewTest, ViewIsRedrawnAfterCompressionAndGenerationButNotAfterACancel) {
  GenerateRedOverJapan();
  ShowResult()->setChecked(true);
  ASSERT_EQ(PixelAt(InArea()), kRed);
  window->Logic().SetEventInterval(std::chrono::milliseconds(0));

  window->Preview()->Clear();
  Trigger(Menu::mnuCompress);
  EXPECT_EQ(PixelAt(InArea()), kRed);
  EXPECT_NE(PixelAt(Outside()), kWhite);

  // A blue picture over the same area, generated: the new map shows.
  OpenPicture(WritePicture(Stripes(40, 20, {kBlue}), "blue.png"));
  window->Preview()->Clear();
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  EXPECT_EQ(PixelAt(InArea()), kBlue);
  EXPECT_NE(PixelAt(Outside()), kWhite);

  // Another picture puts the blue result away (it is not this picture's), and a cancelled
  // run over it brings none back.
  OpenPicture(WritePicture(Stripes(40, 20, {kRed}), "red2.png"));
  EXPECT_FALSE(ShowResult()->isEnabled());
  EXPECT_FALSE(Enabled(Menu::mnuSave));  // it would write the blue map under red2's name
  EXPECT_FALSE(Enabled(Menu::mnuCompress));
  int calls = 0;
  window->SetEventsHook([&] {
    if (++calls == 5) Trigger(Menu::mnuCancel);
  });
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonCancelled);
  EXPECT_EQ(PixelAt(InArea()), kRed);
  EXPECT_FALSE(ShowResult()->isEnabled());
}

TEST_F(ResultViewTest, ZoomedResultViewDrawsTheMapAndTheWorldWhereTheyLie) {
  GenerateRedOverJapan();
  window->findChild<QAction*>("mnuZoomArea")->trigger();
  Trigger(Menu::mnuWorld);  // the view stays on the map's area
  ShowResult()->setChecked(true);
  const PreviewView& v = window->Logic().Viewport();
  auto at = [&](double lon, double lat) {
    return window->PreviewColorAt(v.X(lon * 3600), v.Y(lat * 3600));
  };
  ASSERT_GT(window->Logic().Viewport().Zoom(), 10);
  EXPECT_EQ(at(120.3, 36.2), kRed);
  EXPECT_EQ(at(139.5, 45.5), kRed);
  // South of the map: the world picture's pixel of that place, enlarged.
  const QImage world(QString::fromStdString((folder.Path() / "world.png").string()));
  const double lon = 130.1, lat = 35.6;
  const QRgb w = world.pixel(static_cast<int>((lon + 180) / 360 * world.width()),
                             static_cast<int>((90 - lat) / 180 * world.height()));
  EXPECT_EQ(at(lon, lat), ColourFromRgb(w));
}

TEST_F(ResultViewTest, WindowWithTheResultViewIsRenderedForALook) {
  ASSERT_TRUE(StartWindow());
  window->resize(760, window->height());
  const QImage img = IslandsPicture();
  OpenPicture(WritePicture(img, "islands.png"));
  dialogs.inputAnswers = {u"E100", u"E150", u"N50", u"N10"};
  for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth}) Trigger(m);
  dialogs.colorAnswers.push_back(0xC85A28);  // the sea is not mapped
  Trigger(Menu::mnuBackColor);
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  Trigger(Menu::mnuCompress);
  Trigger(Menu::mnuWorld);  // the picture would now cover the whole preview
  ShowResult()->setChecked(true);
  QTest::qWait(50);
  // The islands stand where they were generated, the sea shows the world picture.
  EXPECT_EQ(PixelAt(At(119 * 3600, 35 * 3600)), 0x3CAA3C);

  const QPixmap shot = window->grab();
  ASSERT_TRUE(shot.save(QString::fromStdString((TestOutputFolder() / "frmMain-result.png").string())));
}

}  // namespace
}  // namespace picmap::testing
