// Control-point mode: clicks set a point's pixel and then its longitude and latitude, the
// picture is shown warped by the fit, marks can be dragged, and every change can be undone.
#include <cmath>
#include <filesystem>

#include <QImage>

#include "app_fixture.h"
#include "map/clsMap.h"
#include "map_reading.h"

namespace picmap::test {
namespace {

class ControlPointTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(logic->Form_Load());
    Open(Solid(100, 50, 0x00FF00));
    // 0° to 90° E, 0° to 45° N: the picture fills 360..540 x 90..180 of the 720 x 360 preview,
    // 1.8 preview pixels a picture pixel.
    SetExtents(0, 324000, 162000, 0);
    logic->SetControlPointMode(true);
  }
  void Click(double x, double y) {
    logic->picDst_MouseDown(mouse::kLeft, 0, static_cast<float>(x), static_cast<float>(y));
    logic->picDst_MouseUp(mouse::kLeft, 0, static_cast<float>(x), static_cast<float>(y));
  }
  // A point whose pixel (px, py) is clicked, then the preview position of (lon, lat).
  void Point(double px, double py, double lon, double lat) {
    Click(360 + px * 1.8 + 0.9, 90 + py * 1.8 + 0.9);
    ClickAt(lon, lat);
  }
  void ClickAt(double lon, double lat) {
    Click((lon * 3600 + 648000) / 1800.0, (324000 - lat * 3600) / 1800.0);
  }
};

TEST_F(ControlPointTest, ThreeClickedPointsPlaceThePictureByTheirFit) {
  // The picture truly spans 10° E..60° E, 40° N..15° N: half a degree a pixel.
  Click(100, 300);  // beside the picture: no point, and the dock says why
  EXPECT_FALSE(logic->PendingPixel());
  EXPECT_NE(logic->FitStatus().find(u"画像の外です"), std::u16string::npos);
  Point(0, 0, 10, 40);
  EXPECT_FALSE(logic->PendingPixel());
  EXPECT_EQ(logic->FitStatus().find(u"画像の外です"), std::u16string::npos);
  Point(99, 0, 60, 40);
  EXPECT_EQ(win.SourceWidth(), 100);  // two points fit nothing yet
  EXPECT_FALSE(logic->FitStatus().empty());
  Point(0, 49, 10, 15);
  const std::vector<ControlPoint> rows = logic->ControlPointRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NEAR(rows[0].pixelX, 0.5, 1e-3);  // the centre of the clicked preview pixel's picture pixel
  EXPECT_NEAR(rows[1].mapX, 60, 0.3);
  EXPECT_EQ(logic->FitStatus().rfind(u"RMS: ", 0), 0u) << ToUtf8(logic->FitStatus());
  const ConversionState& s = logic->State();
  EXPECT_NEAR(s.west / 3600.0, 10, 0.6);
  EXPECT_NEAR(s.east / 3600.0, 60, 0.6);
  EXPECT_NEAR(s.north / 3600.0, 40, 0.6);
  EXPECT_NEAR(s.south / 3600.0, 15, 0.6);
  // Marks for both ends of every point.
  EXPECT_EQ(logic->Marks().size(), 6u);
  // The warped picture moved by hand 1° east: its pixel marks go with it, the angles stay.
  const std::vector<PreviewMark> before = logic->Marks();
  SetExtents(s.west + 3600, s.east + 3600, s.north, s.south);
  const std::vector<PreviewMark> after = logic->Marks();
  EXPECT_NEAR(after[1].x - before[1].x, 2, 0.01);  // 3600″ of 1800″ a preview pixel
  EXPECT_NEAR(after[0].x, before[0].x, 1e-9);
  EXPECT_NE(logic->FitStatus().find(u"地図は基準点に合っていません"), std::u16string::npos);
  SetExtents(s.west - 3600, s.east - 3600, s.north, s.south);
  EXPECT_EQ(logic->FitStatus().rfind(u"RMS: ", 0), 0u) << ToUtf8(logic->FitStatus());
  EXPECT_EQ(logic->FitStatus().find(u"合っていません"), std::u16string::npos);

  // Undo takes back the third point, and with it the fit; redo brings both back.
  logic->mnuUndo_Click();
  EXPECT_EQ(logic->ControlPointRows().size(), 2u);
  EXPECT_TRUE(std::isnan(logic->ControlPointRows()[0].Residual()));  // no fit, no residual
  EXPECT_EQ(win.SourceWidth(), 100);
  EXPECT_EQ(s.west, 0);
  logic->mnuRedo_Click();
  EXPECT_EQ(logic->ControlPointRows().size(), 3u);
  EXPECT_NEAR(s.west / 3600.0, 10, 0.6);
}

TEST_F(ControlPointTest, AMarkDraggedElsewhereMovesThatEndOnly) {
  Point(0, 0, 10, 40);
  const std::vector<PreviewMark> marks = logic->Marks();
  ASSERT_EQ(marks.size(), 2u);
  const PreviewMark& map = marks[0].onMap ? marks[0] : marks[1];
  logic->picDst_MouseDown(mouse::kLeft, 0, static_cast<float>(map.x), static_cast<float>(map.y));
  logic->picDst_MouseMove(mouse::kLeft, 0, static_cast<float>(map.x + 18), static_cast<float>(map.y));
  logic->picDst_MouseUp(mouse::kLeft, 0, static_cast<float>(map.x + 18), static_cast<float>(map.y));
  const ControlPoint p = logic->ControlPointRows()[0];
  EXPECT_NEAR(p.mapX, 19, 0.3);  // 18 preview pixels of half a degree
  EXPECT_NEAR(p.pixelX, 0.5, 1e-3);
  // Locked, a mark cannot be dragged: the press counts as a click for a new point instead.
  logic->SetPlacementLocked(true);
  const PreviewMark locked = logic->Marks()[0];
  logic->picDst_MouseDown(mouse::kLeft, 0, static_cast<float>(locked.x), static_cast<float>(locked.y));
  logic->picDst_MouseMove(mouse::kLeft, 0, static_cast<float>(locked.x + 18), static_cast<float>(locked.y));
  logic->picDst_MouseUp(mouse::kLeft, 0, static_cast<float>(locked.x + 18), static_cast<float>(locked.y));
  EXPECT_NEAR(logic->ControlPointRows()[0].mapX, p.mapX, 1e-12);
  EXPECT_TRUE(logic->PendingPixel());
  logic->SetPlacementLocked(false);
  logic->SetControlPointMode(true);  // drops the pending pixel
  // A press on a mark without a move changes nothing.
  const auto before = logic->CanUndo();
  const PreviewMark again = logic->Marks()[0];
  Click(again.x + 2, again.y);
  EXPECT_NEAR(logic->ControlPointRows()[0].mapX, p.mapX, 1e-12);
  EXPECT_EQ(logic->CanUndo(), before);
}

TEST_F(ControlPointTest, TypedAnglesDisablingRemovingAndPointFiles) {
  Click(360 + 0.9, 90 + 0.9);
  win.inputAnswers = {u"E10", u"N40"};
  logic->mnuTypeLonLat_Click();
  ASSERT_EQ(logic->ControlPointRows().size(), 1u);
  EXPECT_DOUBLE_EQ(logic->ControlPointRows()[0].mapX, 10);
  EXPECT_DOUBLE_EQ(logic->ControlPointRows()[0].mapY, 40);
  EXPECT_FALSE(logic->SetControlPointAngle(0, true, u"N95"));
  EXPECT_EQ(win.LastMessage(),
            u"「N95」は範囲外です. 緯度は S90°00′00″ から N90°00′00″ の間で入力してください.");
  EXPECT_TRUE(logic->SetControlPointAngle(0, true, u"N39.5"));
  EXPECT_DOUBLE_EQ(logic->ControlPointRows()[0].mapY, 39.5);
  Point(99, 0, 60, 40);
  Point(0, 49, 10, 15);
  // The picture is shown warped now: its corner pixel lies near 60° E, 15° N
  // (a little inside, since the first point was typed half a degree south).
  ASSERT_EQ(logic->ControlPointRows().size(), 3u);
  ClickAt(59, 16);
  ASSERT_TRUE(logic->PendingPixel());
  ClickAt(60, 15);
  ASSERT_EQ(logic->ControlPointRows().size(), 4u);
  logic->SetControlPointEnabled(0, false);
  EXPECT_FALSE(logic->ControlPointRows()[0].enabled);
  EXPECT_EQ(logic->FitStatus().rfind(u"RMS: ", 0), 0u) << ToUtf8(logic->FitStatus());

  win.saveAnswers.push_back(folder.File("japan.png.points"));
  logic->mnuSavePoints_Click();
  logic->RemoveControlPoint(3);
  logic->RemoveControlPoint(2);
  EXPECT_EQ(logic->ControlPointRows().size(), 2u);
  ASSERT_TRUE(logic->LoadPointsFile(folder.File("japan.png.points")));
  const std::vector<ControlPoint> back = logic->ControlPointRows();
  ASSERT_EQ(back.size(), 4u);
  EXPECT_FALSE(back[0].enabled);
  EXPECT_NEAR(back[3].mapX, 60, 0.3);
  // A file that is no point file is named, and the points stay.
  folder.Write("bad.points", "not,a\npoints file\n");
  EXPECT_FALSE(logic->LoadPointsFile(folder.File("bad.points")));
  EXPECT_EQ(logic->ControlPointRows().size(), 4u);
}

// Points set by hand are work of their own: another picture or quitting asks first, as an
// unsaved map does; points as they are in their file go without a question.
TEST_F(ControlPointTest, PointsNotInAFileAreAskedForBeforeTheyAreLost) {
  Point(0, 0, 10, 40);
  Point(99, 0, 60, 40);
  Open(Solid(60, 40, 0xFF0000), "other.png");  // no answer: cancelled
  EXPECT_EQ(win.questions.size(), 1u);
  EXPECT_EQ(win.SourceWidth(), 100);
  EXPECT_EQ(logic->ControlPointRows().size(), 2u);
  EXPECT_FALSE(logic->Form_QueryUnload());
  win.questionAnswers = {MsgAnswer::Yes};
  win.saveAnswers.push_back(folder.File("two.points"));
  EXPECT_TRUE(logic->Form_QueryUnload());
  EXPECT_TRUE(std::filesystem::exists(folder.File("two.points")));
  Open(Solid(60, 40, 0xFF0000), "other.png");  // kept in their file: no question
  EXPECT_EQ(win.questions.size(), 3u);
  EXPECT_EQ(win.SourceWidth(), 60);
  logic->SetControlPointMode(true);
  ASSERT_TRUE(logic->LoadPointsFile(folder.File("two.points")));
  logic->SetTransform(TransformKind::Helmert);  // a points file holds no transformation
  EXPECT_TRUE(logic->Form_QueryUnload());
  logic->RemoveControlPoint(1);
  win.questionAnswers = {MsgAnswer::No};
  EXPECT_TRUE(logic->Form_QueryUnload());
  EXPECT_EQ(win.questions.size(), 4u);
}

}  // namespace
}  // namespace picmap::test

namespace picmap::test {
namespace {

// The same picture and .points file through the window and through picmap-cli convert give
// the same figures: both place the picture by the one georeferencing engine.
class SameMapTest : public AppTest {};

TEST_F(SameMapTest, TheWindowAndTheCommandLineMakeTheSameMapFromTheSamePoints) {
  QImage image(60, 40, QImage::Format_RGB32);
  image.fill(qRgb(255, 255, 255));
  for (int y = 8; y < 30; ++y)
    for (int x = 10 + y / 4; x < 45; ++x) image.setPixel(x, y, qRgb(200, 30, 30));
  const std::string picture = (folder.Path() / "scan.png").string();
  ASSERT_TRUE(image.save(QString::fromStdString(picture)));
  ControlPointSet set;
  const double corners[4][4] = {{0, 0, 135.0, 35.0}, {60, 0, 135.6, 35.05}, {60, 40, 135.62, 34.6}, {0, 40, 134.98, 34.58}};
  for (const auto& c : corners) {
    ControlPoint p;
    p.pixelX = c[0], p.pixelY = c[1], p.mapX = c[2], p.mapY = c[3];
    set.points.push_back(p);
  }
  WritePointsFile(folder.File("scan.points"), set);

  ASSERT_TRUE(logic->Form_Load());
  logic->MutableState().backColor = 0xFFFFFF;
  win.openAnswers.push_back(FromUtf8(picture));
  logic->mnuOpen_Click();
  ASSERT_TRUE(logic->LoadPointsFile(folder.File("scan.points")));
  logic->mnuPolygon_Click();
  ASSERT_EQ(win.LastMessage(), frmtext::kPolygonDone);
  win.saveAnswers.push_back(folder.File("window.MLL"));
  logic->mnuSave_Click();
  ASSERT_TRUE(logic->LastSaveSucceeded());

  const std::string cmd = "QT_QPA_PLATFORM=offscreen '" + std::string(PICMAP_RUNTIME_DIR) +
                          "/picmap-cli' convert '" + picture + "' --gcp-file '" +
                          (folder.Path() / "scan.points").string() +
                          "' --background '#FFFFFF' --compress 0 --things '" +
                          (folder.Path() / "PICMAP.THG").string() + "' -o '" +
                          (folder.Path() / "cli.MLL").string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);

  clsMap fromWindow, fromCli;
  fromWindow.FileName(folder.File("window.MLL"));
  fromCli.FileName(folder.File("cli.MLL"));
  ASSERT_EQ(fromWindow.Load(), 0);
  ASSERT_EQ(fromCli.Load(), 0);
  const std::vector<Rect> a = RectsOf(fromWindow), b = RectsOf(fromCli);
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace picmap::test
