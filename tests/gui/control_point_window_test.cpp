// Control-point mode in the window: clicks in the preview place points, the table lists them
// with their residuals and the fit's RMS, and the transformation is chosen there.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QPushButton>
#include <QTableWidget>

#include "app/frm_main.h"
#include "gui/control_point_dock.h"
#include "window_fixture.h"

namespace picmap::testing {
namespace {

class ControlPointWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(StartWindow());
  }
  PreviewView& View() { return window->Logic().Viewport(); }
  QPoint Widget(double lon, double lat) {
    return QPoint(static_cast<int>(std::lround(View().X(lon * 3600))),
                  static_cast<int>(std::lround(View().Y(lat * 3600)))) +
           window->Preview()->CanvasOrigin();
  }
  void Click(QPoint at) { QTest::mouseClick(window->Preview(), Qt::LeftButton, Qt::NoModifier, at); }
  QTableWidget* Table() { return window->ControlPoints()->Table(); }
};

TEST_F(ControlPointWindowTest, ClicksPlacePointsAndTheTableShowsTheirFit) {
  QAction* mode = window->ControlPointModeAction();
  EXPECT_EQ(mode->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
  mode->trigger();  // without a picture the mode stays off
  EXPECT_FALSE(mode->isChecked());

  OpenPicture(WritePicture(Stripes(90, 45, {0x0000FF, 0x00FF00}), "japan.png"));
  dialogs.inputAnswers = {u"E0", u"E90", u"N45", u"N0"};  // 1° a picture pixel
  for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth}) Trigger(m);
  window->Logic().ShowPictureArea();  // about 0.1° a preview pixel
  mode->trigger();
  ASSERT_TRUE(window->Logic().ControlPointMode());
  EXPECT_TRUE(window->ControlPoints()->isVisible());
  // The picture truly lies 1° further east: each pixel is clicked, then 1° east of it. From
  // the third point on the picture is shown warped, so the fourth pixel is already there.
  const double pixels[][2] = {{10.5, 30.5}, {80.5, 30.5}, {10.5, 5.5}};
  for (const auto& p : pixels) {
    Click(Widget(p[0], p[1]));
    Click(Widget(p[0] + 1, p[1]));
  }
  Click(Widget(81.5, 5.5));
  Click(Widget(81.5, 5.5));
  ASSERT_EQ(Table()->rowCount(), 4);
  EXPECT_TRUE(Table()->item(0, ControlPointDock::kLongitude)->text().startsWith(QStringLiteral("E011°")));
  EXPECT_NEAR(window->Logic().ControlPointRows()[0].mapX, 11.5, 0.15);
  EXPECT_TRUE(window->ControlPoints()->Rms()->text().startsWith(QStringLiteral("RMS: ")));
  EXPECT_FALSE(Table()->item(3, ControlPointDock::kResidual)->text().isEmpty());
  // Moved east by about the degree (the warp's grid rounds its edges outwards).
  EXPECT_GT(window->Logic().State().west, 0);
  EXPECT_LT(window->Logic().State().west, 2 * 3600);
  EXPECT_LT(window->Logic().ControlPointRows()[3].Residual(), 0.5);

  // The transformation is chosen in the table's box; a typed latitude goes through the angle parser.
  window->ControlPoints()->Transform()->setCurrentText(QStringLiteral("helmert"));
  EXPECT_EQ(window->Logic().ControlPointTransform(), TransformKind::Helmert);
  Table()->item(0, ControlPointDock::kLatitude)->setText(QStringLiteral("N31"));
  QCoreApplication::processEvents();
  EXPECT_DOUBLE_EQ(window->Logic().ControlPointRows()[0].mapY, 31);
  Table()->selectRow(3);
  window->ControlPoints()->RemoveButton()->click();
  EXPECT_EQ(Table()->rowCount(), 3);
  ASSERT_TRUE(window->UndoAction()->isEnabled());
  window->UndoAction()->trigger();
  EXPECT_EQ(Table()->rowCount(), 4);
  // The whole world chosen afterwards stretches the warped picture off its fit: the table says so.
  Trigger(Menu::mnuWorld);
  EXPECT_TRUE(window->ControlPoints()->Rms()->text().contains(QStringLiteral("基準点に合っていません")))
      << window->ControlPoints()->Rms()->text().toStdString();
  window->UndoAction()->trigger();
  EXPECT_FALSE(window->ControlPoints()->Rms()->text().contains(QStringLiteral("合っていません")));
}

}  // namespace
}  // namespace picmap::testing

namespace picmap::testing {
namespace {

// An island of four corners, drawn on a picture placed a little wrongly, and its outline as a
// reference layer where it truly lies; four corners clicked at 256x put it right.
class AlignmentTest : public ControlPointWindowTest {
 protected:
  // The island's corners in picture pixels and, truly, in degrees.
  static constexpr double kPixel[4][2] = {{40, 20}, {170, 30}, {150, 85}, {30, 75}};
  static double Lon(double px) { return 139.1 + px * 0.006; }
  static double Lat(double py) { return 35.7 - py * 0.006; }

  std::u16string IslandPicture() {
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(qRgb(40, 90, 200));
    QPainter painter(&image);
    QPolygonF island;
    for (const auto& c : kPixel) island << QPointF(c[0], c[1]);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 170, 60));
    painter.drawPolygon(island);
    painter.end();
    return WritePicture(image, "island.png");
  }
  std::u16string IslandOutline() {
    std::string ring;
    for (int i = 0; i <= 4; ++i) {
      const auto& c = kPixel[i % 4];
      ring.append(i ? ",[" : "[").append(std::to_string(Lon(c[0]))).append(",").append(std::to_string(Lat(c[1]))).append("]");
    }
    const fs::path p = folder.Path() / "island.geojson";
    std::ofstream(p) << R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{},
      "geometry":{"type":"Polygon","coordinates":[[)" << ring << "]]}}]}";
    return FromUtf8(p.string());
  }
  void Shot(const char* name) {
    QCoreApplication::processEvents();
    window->grab().save(QString::fromStdString((TestOutputFolder() / name).string()));
  }
};

TEST_F(AlignmentTest, FourCornersClickedAt256xPlaceThePictureAndItsMapIsSaved) {
  window->resize(1300, 760);
  QCoreApplication::processEvents();
  OpenPicture(IslandPicture());
  // By eye: 0.1° too far west and north, and too small.
  dialogs.inputAnswers = {u"E139.0", u"E140.1", u"N35.8", u"N35.25"};
  for (Menu m : {Menu::mnuWest, Menu::mnuEast, Menu::mnuNorth, Menu::mnuSouth}) Trigger(m);
  dialogs.openAnswers.push_back(IslandOutline());
  window->AddReferenceAction()->trigger();
  window->OpacitySlider()->setValue(60);
  window->Logic().ShowWholeWorld();
  const double centreLon = Lon(100), centreLat = Lat(50);
  window->Logic().ZoomPreview(256, static_cast<float>(View().X(centreLon * 3600)),
                              static_cast<float>(View().Y(centreLat * 3600)));
  ASSERT_EQ(View().Zoom(), 256);
  window->Logic().PanPreview(static_cast<float>(View().Width() / 2 - View().X(centreLon * 3600)),
                             static_cast<float>(View().Height() / 2 - View().Y(centreLat * 3600)));
  Shot("align-1-reference-256x.png");

  window->ControlPointModeAction()->trigger();
  const ConversionState& s = window->Logic().State();
  for (const auto& c : kPixel) {
    // Where the picture shows the corner now (through the typed extents, or the fit so far).
    const double lon = (s.west + (s.east - s.west) * (c[0] + 0.5) / 200.0) / 3600;
    const double lat = (s.north - (s.north - s.south) * (c[1] + 0.5) / 100.0) / 3600;
    const bool fitted = window->Logic().ControlPointRows().size() >= 3;
    Click(fitted ? Widget(Lon(c[0] + 0.5), Lat(c[1] + 0.5)) : Widget(lon, lat));
    Click(Widget(Lon(c[0] + 0.5), Lat(c[1] + 0.5)));
  }
  ASSERT_EQ(Table()->rowCount(), 4);
  EXPECT_LT(window->Logic().ControlPointRows()[3].Residual(), 1.0);
  EXPECT_NEAR(s.west / 3600.0, 139.1, 0.02);
  EXPECT_NEAR(s.north / 3600.0, 35.7, 0.02);
  Shot("align-2-four-points.png");

  window->Logic().SetEventInterval(std::chrono::milliseconds(0));
  Trigger(Menu::mnuPolygon);
  ASSERT_EQ(dialogs.LastMessage(), frmtext::kPolygonDone);
  window->ShowResultAction()->setChecked(true);
  Shot("align-3-generated.png");
  dialogs.saveAnswers.push_back(folder.File("island.MLL"));
  Trigger(Menu::mnuSave);
  EXPECT_TRUE(fs::exists(folder.Path() / "island.MLL"));
  EXPECT_FALSE(window->Logic().MapUnsaved());
}

}  // namespace
}  // namespace picmap::testing
