// Reference layers in the window: added from the view menu or by a drop with Shift, drawn
// under or over the picture in their colour, hidden, made see-through and removed from the
// list beside the preview.
#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QUrl>

#include "app/frm_main.h"
#include "gui/reference_dock.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kFirstLayerColour = 0x0000D0;

class ReferenceTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(StartWindow());
  }
  // A line along the equator from 30° W to 30° E.
  std::u16string Equator(const std::string& name = "equator.geojson") {
    const fs::path p = folder.Path() / name;
    std::ofstream(p) << R"({"type":"FeatureCollection","features":[{"type":"Feature",
      "properties":{},"geometry":{"type":"LineString","coordinates":[[-30,0],[30,0]]}}]})";
    return FromUtf8(p.string());
  }
  void AddFromMenu(const std::u16string& path) {
    dialogs.openAnswers.push_back(path);
    window->AddReferenceAction()->trigger();
  }
  // The preview's colour on the line (0°, 0°), where the world picture shows the sea.
  int32_t OnTheLine() {
    const QPoint p = At(0, 0);
    return window->PreviewColorAt(p.x(), p.y());
  }
  QListWidget* List() { return window->References()->List(); }
};

// A map the window has just saved opens as a layer, wherever GDAL looks for its plugins.
TEST_F(ReferenceTest, AMapTheWindowSavedOpensAsALayer) {
  OpenPicture(WritePicture(Stripes(40, 20, {kGreen}), "green.png"));
  window->Logic().SetEventInterval(std::chrono::milliseconds(0));
  Trigger(Menu::mnuPolygon);
  dialogs.saveAnswers.push_back(folder.File("green.MLL"));
  Trigger(Menu::mnuSave);
  ASSERT_TRUE(fs::exists(folder.Path() / "green.MLL"));
  AddFromMenu(folder.File("green.MLL"));
  EXPECT_EQ(window->Logic().References().Count(), 1u) << ToUtf8(dialogs.LastMessage());
}

TEST_F(ReferenceTest, ALayerIsDrawnUnderThePictureAndCanBeHiddenOrPutOver) {
  const int32_t sea = OnTheLine();
  AddFromMenu(Equator());
  ASSERT_EQ(window->Logic().References().Count(), 1u);
  EXPECT_EQ(OnTheLine(), kFirstLayerColour);
  EXPECT_TRUE(window->References()->isVisible());
  ASSERT_EQ(List()->count(), 1);
  EXPECT_EQ(List()->item(0)->text(), QStringLiteral("equator.geojson"));

  // A picture over the whole world hides the layer, unless it is put over the picture.
  OpenPicture(WritePicture(Stripes(40, 20, {kGreen}), "green.png"));
  EXPECT_EQ(OnTheLine(), kGreen);
  window->References()->Over()->setChecked(true);
  const QPoint p = At(0, 0);
  EXPECT_EQ(window->Preview()->Canvas().pixel(p), qRgb(0xD0, 0, 0));

  // A second layer leaves the first one as it was.
  AddFromMenu(Equator("second.geojson"));
  ASSERT_EQ(List()->count(), 2);
  EXPECT_EQ(List()->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(List()->item(1)->checkState(), Qt::Checked);
  EXPECT_TRUE(window->Logic().References().At(0).visible);
  EXPECT_TRUE(window->Logic().References().At(0).over);

  for (int i = 0; i < 2; ++i) List()->item(i)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(window->Preview()->Canvas().pixel(p), qRgb(0, 0xFF, 0));
  EXPECT_NE(sea, kFirstLayerColour);
}

TEST_F(ReferenceTest, OpacityMixesTheLinesAndRemovingBringsBackTheWorldPicture) {
  const int32_t sea = OnTheLine();
  AddFromMenu(Equator());
  window->References()->Opacity()->setValue(50);
  const QRgb mixed = window->Preview()->Canvas().pixel(At(0, 0));
  EXPECT_NEAR(qRed(mixed), (0xD0 + (sea & 0xFF)) / 2, 2);
  window->References()->RemoveButton()->click();
  EXPECT_EQ(window->Logic().References().Count(), 0u);
  EXPECT_EQ(OnTheLine(), sea);
}

TEST_F(ReferenceTest, RecentLayersAndShiftDropsAddLayersAndBadFilesAreNamed) {
  const std::u16string path = Equator();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(ToQ(path))});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::ShiftModifier);
  QApplication::sendEvent(window.get(), &enter);
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::ShiftModifier);
  QApplication::sendEvent(window.get(), &drop);
  ASSERT_EQ(window->Logic().References().Count(), 1u) << ToUtf8(dialogs.LastMessage());
  EXPECT_TRUE(window->SourcePicture().Empty());  // not opened as the picture

  QMenu* recent = window->RecentReferencesMenu();
  emit recent->aboutToShow();
  ASSERT_EQ(recent->actions().size(), 1);
  recent->actions()[0]->trigger();
  EXPECT_EQ(window->Logic().References().Count(), 2u);

  const fs::path bad = folder.Path() / "notes.txt";
  std::ofstream(bad) << "no map here";
  AddFromMenu(FromUtf8(bad.string()));
  EXPECT_EQ(window->Logic().References().Count(), 2u);
  EXPECT_EQ(dialogs.LastMessage().rfind(FromUtf8(bad.string()) + u"\r\nを参照レイヤーとして読み込めませんでした.", 0), 0u);
}

}  // namespace
}  // namespace picmap::testing
