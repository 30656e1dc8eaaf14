// Control-point mode in the window: clicks in the preview place points, the table lists them
// with their residuals and the fit's RMS, and the transformation is chosen there.
#include <QAction>
#include <QComboBox>
#include <QLabel>
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
}

}  // namespace
}  // namespace picmap::testing
