// Undoing placements, the lock on drags, and the question before an unsaved map is lost.
#include "app_fixture.h"
#include "map/clsMap.h"

namespace picmap::test {
namespace {

class UndoTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(logic->Form_Load());
    Open(Solid(32, 16, 0x00FF00));
    SetExtents(0, 324000, 162000, 0);  // L 360, R 540, T 90, B 180 in a 720 x 360 preview
    logic->DrawPreview();
  }
  void Move(float x, float y, int16_t button = 0) { logic->picDst_MouseMove(button, 0, x, y); }
  void Release(float x, float y) { logic->picDst_MouseUp(mouse::kLeft, 0, x, y); }
  Placement P(int32_t w, int32_t e, int32_t n, int32_t s) { return {w, e, n, s, nullptr, nullptr}; }
};

TEST_F(UndoTest, EveryKindOfChangeIsUndoneExactlyInOrderAndRedone) {
  const Placement start = logic->CurrentPlacement();
  // A move drag over three steps is one change.
  Move(450, 135);
  Move(460, 125, mouse::kLeft);
  Move(470, 115, mouse::kLeft);
  Move(473, 116, mouse::kLeft);
  Release(473, 116);
  const Placement moved = logic->CurrentPlacement();
  ASSERT_NE(moved, start);
  win.inputAnswers.push_back(u"N40");
  ASSERT_EQ(logic->mnuNorth_Click(), EdgeEntry::Stored);
  const Placement typed = logic->CurrentPlacement();
  logic->mnuWorld_Click();
  EXPECT_TRUE(win.undoEnabled);
  EXPECT_FALSE(win.redoEnabled);

  logic->mnuUndo_Click();
  EXPECT_EQ(logic->CurrentPlacement(), typed);
  EXPECT_EQ(win.LabelText(Label::lblNorth), u"北端緯度：N40°00′00″");
  logic->mnuUndo_Click();
  EXPECT_EQ(logic->CurrentPlacement(), moved);
  logic->mnuUndo_Click();
  EXPECT_EQ(logic->CurrentPlacement(), start);
  EXPECT_FALSE(win.undoEnabled);
  logic->mnuUndo_Click();  // nothing left: stays
  EXPECT_EQ(logic->CurrentPlacement(), start);

  logic->mnuRedo_Click();
  logic->mnuRedo_Click();
  EXPECT_EQ(logic->CurrentPlacement(), typed);
  // A new change drops what was undone.
  win.inputAnswers.push_back(u"E10");
  logic->mnuWest_Click();
  EXPECT_FALSE(win.redoEnabled);
  logic->mnuUndo_Click();
  EXPECT_EQ(logic->CurrentPlacement(), typed);
}

TEST_F(UndoTest, RefusedEntriesAndDragsThatChangeNothingLeaveNoStep) {
  win.inputAnswers.push_back(u"abc");
  logic->mnuWest_Click();
  Move(450, 135);
  Move(450, 135, mouse::kLeft);
  Release(450, 135);
  EXPECT_FALSE(logic->CanUndo());
}

TEST_F(UndoTest, EndOfADragIsSeenWithoutARelease) {
  // The button may come up outside the preview: the next plain move ends the drag.
  Move(360, 135);
  Move(370, 135, mouse::kLeft);
  Move(380, 135);
  Move(380, 135);
  Move(390, 135, mouse::kLeft);
  logic->mnuUndo_Click();
  EXPECT_EQ(logic->State().west, 18000);
  logic->mnuUndo_Click();
  EXPECT_EQ(logic->State().west, 0);
}

TEST_F(UndoTest, LockStopsDragsButNotTypedEdges) {
  logic->SetPlacementLocked(true);
  Move(450, 135);
  EXPECT_EQ(win.previewPointer, pointer::kDefault);
  Move(470, 115, mouse::kLeft);
  Move(360, 135);
  Move(300, 135, mouse::kLeft);
  EXPECT_EQ(logic->CurrentPlacement(), P(0, 324000, 162000, 0));
  win.inputAnswers.push_back(u"E10");
  logic->mnuWest_Click();
  EXPECT_EQ(logic->State().west, 36000);
  logic->SetPlacementLocked(false);
  Move(450, 135);
  EXPECT_EQ(win.previewPointer, pointer::kSizePointer);
}

class UnsavedMapTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(logic->Form_Load());
    logic->MutableState().backColor = 0xFFFFFF;
    Picture p(16, 16, 0xFFFFFF);
    p.Set(2, 2, 0x0000FF);
    Open(p);
    SetExtents(0, 1600, 1600, 0);
    logic->mnuPolygon_Click();
    ASSERT_TRUE(logic->MapUnsaved());
  }
  int32_t Figures() { return logic->State().oMap->Count(); }
};

TEST_F(UnsavedMapTest, CancelKeepsTheMapAndThePicture) {
  const int32_t figures = Figures();
  EXPECT_FALSE(logic->Form_QueryUnload());
  Open(Solid(20, 20, 0));
  ASSERT_EQ(win.questions.size(), 2u);
  EXPECT_EQ(win.questions[0], frmtext::kMapUnsaved);
  EXPECT_EQ(win.loads.size(), 1u);  // the second picture was never read
  EXPECT_EQ(Figures(), figures);
  EXPECT_EQ(win.SourceWidth(), 16);
}

TEST_F(UnsavedMapTest, NoDropsTheMapAndYesSavesItFirst) {
  win.questionAnswers.push_back(MsgAnswer::No);
  EXPECT_TRUE(logic->Form_QueryUnload());
  // Yes, but the save dialog is cancelled: nothing may be lost.
  win.questionAnswers.push_back(MsgAnswer::Yes);
  EXPECT_FALSE(logic->Form_QueryUnload());
  win.questionAnswers.push_back(MsgAnswer::Yes);
  win.saveAnswers.push_back(folder.File("out.MLL"));
  EXPECT_TRUE(logic->Form_QueryUnload());
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "out.MLL"));
  // Saved: no more questions, neither for closing nor for another picture.
  win.questions.clear();
  EXPECT_TRUE(logic->Form_QueryUnload());
  Open(Solid(20, 20, 0));
  EXPECT_TRUE(win.questions.empty());
  EXPECT_EQ(win.SourceWidth(), 20);
}

}  // namespace
}  // namespace picmap::test
