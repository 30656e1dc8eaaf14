// The preview: placing the picture, hovering and dragging edges or the whole area, and
// picking the background colour with a right click.
#include <cmath>

#include "app_fixture.h"

namespace picmap::test {
namespace {

class PreviewTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    win.world = Picture(720, 360, 0x336699);
    ASSERT_TRUE(logic->Form_Load());
    Open(Solid(32, 16, 0x00FF00));
  }
  // 0° to 90° E, 0° to 45° N: L 360, R 540, T 90, B 180 in a 720 x 360 preview.
  void Area() {
    SetExtents(0, 324000, 162000, 0);
    logic->DrawPreview();
  }
  void Move(float x, float y, int16_t button = 0) { logic->picDst_MouseMove(button, 0, x, y); }
  const ConversionState& S() { return logic->State(); }
};

TEST_F(PreviewTest, WholeWorldFillsThePreview) {
  ASSERT_EQ(win.draws.size(), 2u);
  EXPECT_EQ(win.draws[0].box, PictureBox::picBack);
  EXPECT_EQ(win.draws[0].w, 720);
  EXPECT_EQ(win.draws[1].box, PictureBox::picSrc);
  EXPECT_EQ(win.draws[1].x, 0);
  EXPECT_EQ(win.draws[1].y, 0);
  EXPECT_EQ(win.draws[1].w, 720);
  EXPECT_EQ(win.draws[1].h, 360);
  EXPECT_EQ(win.PreviewColorAt(700, 350), 0x00FF00);
}

TEST_F(PreviewTest, AreaAcrossTheDateLineIsDrawnTwice) {
  SetExtents(612000, -612000, 36000, -36000);
  logic->DrawPreview();
  ASSERT_EQ(win.draws.size(), 3u);
  EXPECT_EQ(win.draws[1].x, 700);
  EXPECT_EQ(win.draws[1].w, 40);
  EXPECT_EQ(win.draws[2].x, -20);
  EXPECT_EQ(win.draws[2].y, 160);
  EXPECT_EQ(win.draws[2].h, 40);
  EXPECT_EQ(win.PreviewColorAt(10, 180), 0x00FF00);  // the part beyond 180°
}

TEST_F(PreviewTest, HoverShowsWhatADragWouldDo) {
  Area();
  Move(360, 135);
  EXPECT_EQ(S().drag.mode, 1);
  EXPECT_EQ(win.previewPointer, pointer::kSizeWE);
  Move(450, 181);
  EXPECT_EQ(S().drag.mode, 8);
  EXPECT_EQ(win.previewPointer, pointer::kSizeNS);
  Move(361, 91);
  EXPECT_EQ(S().drag.mode, 5);
  EXPECT_EQ(win.previewPointer, pointer::kSizeNWSE);
  Move(539, 91);
  EXPECT_EQ(S().drag.mode, 6);
  EXPECT_EQ(win.previewPointer, pointer::kSizeNESW);
  Move(450, 135);
  EXPECT_EQ(S().drag.mode, 48);
  EXPECT_EQ(S().drag.anchorX, 450);
  EXPECT_EQ(win.previewPointer, pointer::kSizePointer);
  Move(100, 300);
  EXPECT_EQ(S().drag.mode, 0);
  EXPECT_EQ(win.previewPointer, pointer::kDefault);
}

TEST_F(PreviewTest, DraggingAnEdgeMovesIt) {
  Area();
  Move(360, 135);
  Move(370, 135, mouse::kLeft);
  EXPECT_EQ(S().west, 18000);  // 10 pixels of 1800″
  EXPECT_EQ(S().drag.mode, 1);  // the edge followed the pointer
  EXPECT_EQ(win.LabelText(Label::lblWest), u"西端経度：E005°00′00″");
  // Without the left button nothing is dragged.
  Move(380, 135, mouse::kRight);
  EXPECT_EQ(S().west, 18000);
}

TEST_F(PreviewTest, NorthEdgeStopsThirtySecondsAboveSouth) {
  Area();
  Move(450, 90);
  ASSERT_EQ(S().drag.mode, 4);
  Move(450, 93, mouse::kLeft);
  EXPECT_EQ(S().north, 156600);
  Move(450, 181, mouse::kLeft);  // the pointer moved on, but 45′ S of the south edge
  EXPECT_EQ(S().north, 156600);
}

TEST_F(PreviewTest, MovingTheAreaKeepsItsSize) {
  Area();
  Move(450, 135);
  Move(460, 125, mouse::kLeft);
  EXPECT_EQ(S().west, 18000);
  EXPECT_EQ(S().east, 342000);
  EXPECT_EQ(S().north, 180000);
  EXPECT_EQ(S().south, 18000);
  EXPECT_EQ(S().drag.anchorX, 460);
}

TEST_F(PreviewTest, MovingPastTheNorthPoleStopsThere) {
  SetExtents(0, 324000, 306000, 270000);  // 85° N to 75° N
  Move(450, 20);
  ASSERT_EQ(S().drag.mode, 48);
  Move(450, 0, mouse::kLeft);
  EXPECT_EQ(S().north, 324000);
  EXPECT_EQ(S().south, 288000);
}

TEST_F(PreviewTest, MovingEastAcrossTheDateLineWraps) {
  SetExtents(540000, 612000, 18000, -18000);  // 150° E to 170° E
  Move(680, 180);
  ASSERT_EQ(S().drag.mode, 48);
  Move(710, 180, mouse::kLeft);
  EXPECT_EQ(S().west, 594000);
  EXPECT_EQ(S().east, 666000 - 1296000);
  EXPECT_GT(S().west, S().east);
  ASSERT_EQ(win.draws.size(), 3u);  // drawn twice
}

// The pointer is grabbed while the button is down, so one step can be wider than the whole
// preview; the longitudes still come back into range.
TEST_F(PreviewTest, MoveStepWiderThanThePreviewKeepsLongitudesInRange) {
  SetExtents(540000, 612000, 18000, -18000);  // 150° E to 170° E
  Move(680, 180);
  ASSERT_EQ(S().drag.mode, 48);
  Move(680 + 800, 180, mouse::kLeft);  // 800 pixels = 400° east
  EXPECT_EQ(S().west, 540000 + 1440000 - 2 * 1296000);
  EXPECT_EQ(S().east, 612000 + 1440000 - 2 * 1296000);
}

TEST_F(PreviewTest, RightClickPicksThePreviewColour) {
  Area();
  logic->picDst_MouseUp(mouse::kRight, 0, 450, 135);
  EXPECT_EQ(S().backColor, 0x00FF00);
  EXPECT_EQ(win.LabelText(Label::lblBackColor1), u"色コード：BBGGRR = 00FF00 (#00FF00)");
  logic->picDst_MouseUp(mouse::kRight, 0, 10, 10);  // the world picture
  EXPECT_EQ(S().backColor, 0x336699);
  logic->picDst_MouseUp(mouse::kLeft, 0, 450, 135);
  EXPECT_EQ(S().backColor, 0x336699);
}

// An odd width puts the plain edge formula's centre half a pixel off the world's middle; at
// 64x that half pixel must not grow into 32, or the edge would drop away from the pointer.
TEST_F(PreviewTest, ZoomedEdgeFollowsThePointerOnAnOddWidth) {
  win.preview = Picture(721, 360, 0xFFFFFF);
  Area();
  const PreviewView& v = logic->Viewport();
  logic->ZoomPreview(64, static_cast<float>(v.X(0)), static_cast<float>(v.Y(81000)));
  const float x = std::round(static_cast<float>(v.X(0))), y = std::round(static_cast<float>(v.Y(81000)));
  Move(x, y);
  ASSERT_EQ(S().drag.mode, drag::kWest);
  for (float step = 1; step <= 4; ++step) {
    Move(x + 25 * step, y, mouse::kLeft);
    EXPECT_EQ(S().drag.mode, drag::kWest) << step;
    EXPECT_NEAR(v.X(S().west), x + 25 * step, 0.5 + v.Scale()) << step;
  }
  EXPECT_NEAR(S().west, (x + 100 - v.X(0)) / v.Scale(), 1 / v.Scale());  // the half pixel
}

TEST(PreviewWithoutPictureTest, PointerIsIgnored) {
  ScopedScriptedPorts ports;
  ScriptedWindow win;
  frmMainLogic logic(win);
  logic.MutableState().west = 0;
  logic.picDst_MouseMove(0, 0, 360, 180);
  EXPECT_EQ(logic.State().drag.mode, 0);
  EXPECT_TRUE(win.draws.empty());
}

}  // namespace
}  // namespace picmap::test
