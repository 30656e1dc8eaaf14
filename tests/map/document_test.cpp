// The document's editing operations, undo log, lock, change count and file name.
#include <gtest/gtest.h>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapRem.h"
#include "support/platform.h"

namespace picmap {
namespace {

std::shared_ptr<clsMapFigure> Named(const std::u16string& name) { return NewRemark(name); }

std::u16string Order(const clsMap& map) {
  std::u16string s;
  for (const auto& f : map) s += std::static_pointer_cast<clsMapRem>(f)->Comment();
  return s;
}

class DocumentTest : public ::testing::Test {
 protected:
  void Fill(const std::u16string& names) {
    for (char16_t c : names) ASSERT_TRUE(map.Add(Named(std::u16string(1, c))));
    map.ResetUndo();
    map.Modify(false);
  }
  ScopedScriptedPorts ports;
  clsMap map;
};

TEST_F(DocumentTest, StartsEmptyAndUnmodified) {
  EXPECT_EQ(map.Count(), 0);
  EXPECT_EQ(map.FileName(), u"BLANK.MLL");
  EXPECT_EQ(map.MapMode(), 1);
  EXPECT_EQ(map.Version(), 106);
  EXPECT_FALSE(map.Modify());
  EXPECT_FALSE(map.LockMode());
  EXPECT_TRUE(map.EiUndo());
  EXPECT_FALSE(map.CanUndo());
  EXPECT_TRUE(map.IsRight());
  EXPECT_EQ(map.Item(1), nullptr);
  EXPECT_EQ(map.FigCode(0), 0);
}

TEST_F(DocumentTest, AddRefusesFiguresThatAreNotRight) {
  auto polygon = std::make_shared<clsMapPolygon>();
  polygon->Admin(0);
  polygon->Poly()->SetRect(0, 0, 1, 1);
  EXPECT_FALSE(map.Add(polygon));  // Thing is still -1
  EXPECT_FALSE(map.Add(nullptr));
  EXPECT_EQ(map.Count(), 0);
  EXPECT_FALSE(map.Modify());
  polygon->Thing(0);
  EXPECT_TRUE(map.Add(polygon));
  EXPECT_EQ(map.Item(1), polygon);  // the caller's object itself
  EXPECT_EQ(map.FigCode(1), 3);
  EXPECT_TRUE(map.Modify());
}

TEST_F(DocumentTest, InsOutsideTheListAppends) {
  Fill(u"AB");
  EXPECT_TRUE(map.Ins(0, Named(u"x")));
  EXPECT_TRUE(map.Ins(map.Count() + 1, Named(u"y")));
  EXPECT_TRUE(map.Ins(1, Named(u"z")));
  EXPECT_EQ(Order(map), u"zABxy");
}

TEST_F(DocumentTest, InssInsertsAllOrNothing) {
  Fill(u"AB");
  clsMap::FigureList three{Named(u"1"), Named(u"2"), std::make_shared<clsMapRem>()};
  EXPECT_FALSE(map.Inss(2, three));
  EXPECT_FALSE(map.Inss(2, {}));
  EXPECT_EQ(Order(map), u"AB");
  three.pop_back();
  EXPECT_TRUE(map.Inss(2, three));
  EXPECT_EQ(Order(map), u"A12B");
  EXPECT_TRUE(map.Inss(9, three));
  EXPECT_EQ(Order(map), u"A12B12");
  map.Undo();
  EXPECT_EQ(Order(map), u"AB");
}

TEST_F(DocumentTest, InssAndRemovesRecordEvenWithRecordingOff) {
  Fill(u"ABCDE");
  map.EiUndo(false);
  EXPECT_FALSE(map.EiUndo());
  EXPECT_TRUE(map.Add(Named(u"F")));
  EXPECT_FALSE(map.CanUndo());
  EXPECT_TRUE(map.Removes(2, 4));
  EXPECT_EQ(Order(map), u"AEF");
  EXPECT_TRUE(map.CanUndo());
  map.Undo();
  EXPECT_EQ(Order(map), u"ABCDEF");
  map.EiUndo(true);
  EXPECT_TRUE(map.EiUndo());
}

TEST_F(DocumentTest, RemovesChecksItsRange) {
  Fill(u"ABC");
  EXPECT_FALSE(map.Removes(0, 2));
  EXPECT_FALSE(map.Removes(2, 4));
  EXPECT_FALSE(map.Removes(3, 2));
  EXPECT_TRUE(map.Removes(3, 3));
  EXPECT_EQ(Order(map), u"AB");
}

TEST_F(DocumentTest, MovePlacesBeforeTheFigureThatWasAtTheTarget) {
  Fill(u"ABC");
  EXPECT_FALSE(map.Move(2, 2));
  EXPECT_TRUE(map.Move(1, 3));
  EXPECT_EQ(Order(map), u"BAC");
  map.Undo();
  EXPECT_TRUE(map.Move(3, 1));
  EXPECT_EQ(Order(map), u"CAB");
  map.Undo();
  EXPECT_TRUE(map.Move(1, 4));
  EXPECT_EQ(Order(map), u"BCA");
  EXPECT_FALSE(map.Move(1, 5));
  EXPECT_FALSE(map.Move(0, 2));
  map.Undo();
  EXPECT_EQ(Order(map), u"ABC");
}

TEST_F(DocumentTest, RenewReplacesInPlace) {
  Fill(u"ABC");
  EXPECT_TRUE(map.Renew(2, Named(u"x")));
  EXPECT_TRUE(map.Renew(3, Named(u"y")));
  EXPECT_EQ(Order(map), u"Axy");
  EXPECT_FALSE(map.Renew(4, Named(u"z")));
  EXPECT_FALSE(map.Renew(1, std::make_shared<clsMapRem>()));
  map.Undo();
  EXPECT_EQ(Order(map), u"ABC");
}

TEST_F(DocumentTest, UndoRevertsEveryChangeAndTheChangeCount) {
  Fill(u"ABC");
  EXPECT_FALSE(map.Modify());
  EXPECT_TRUE(map.Add(Named(u"D")));
  EXPECT_TRUE(map.Remove(1));
  EXPECT_TRUE(map.Add(Named(u"E")));
  EXPECT_FALSE(map.Remove(9));
  EXPECT_EQ(Order(map), u"BCDE");
  EXPECT_TRUE(map.CanUndo());
  map.Undo();
  EXPECT_EQ(Order(map), u"ABC");
  EXPECT_FALSE(map.CanUndo());
  for (const auto& f : map) f->Modify(false);
  EXPECT_FALSE(map.Modify());
}

TEST_F(DocumentTest, ModifyFoldsInTheFiguresChanges) {
  Fill(u"AB");
  EXPECT_FALSE(map.Modify());
  map.Item(2)->JumpMark(3);  // a change through the live object
  EXPECT_TRUE(map.Modify());
  map.Modify(false);
  EXPECT_FALSE(map.Item(2)->Modify());
  EXPECT_FALSE(map.Modify());
  map.Modify(true);
  EXPECT_TRUE(map.Modify());
}

TEST_F(DocumentTest, SearchesByJumpMarkAndReserve) {
  Fill(u"ABCD");
  map.Item(2)->JumpMark(5);
  map.Item(4)->JumpMark(5);
  map.Item(3)->Reserve(77);
  EXPECT_EQ(map.SearchJumpMark(5), 2);
  EXPECT_EQ(map.SearchJumpMark(0), 1);
  EXPECT_EQ(map.SearchJumpMark(9), -1);
  EXPECT_EQ(map.SearchReserve(1, 77), 3);
  EXPECT_EQ(map.SearchReserve(4, 77), -1);
  EXPECT_EQ(map.SearchReserve(-3, 0), 1);
}

TEST_F(DocumentTest, LockRefusesEditingWithAMessage) {
  Fill(u"AB");
  map.FileName(u"C:\\maps\\JAPAN.MLL");
  map.LockMode(true);
  EXPECT_FALSE(map.Add(Named(u"x")));
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].text, u"C:\\maps\\JAPAN.MLL\r\nは変更禁止. [Add]");
  EXPECT_EQ(ports.messages.shown[0].icon, MsgIcon::Error);
  EXPECT_FALSE(map.Clear());
  EXPECT_FALSE(map.Ins(1, Named(u"x")));
  EXPECT_FALSE(map.Inss(1, {Named(u"x")}));
  EXPECT_FALSE(map.Remove(1));
  EXPECT_FALSE(map.Removes(1, 2));
  EXPECT_FALSE(map.Renew(1, Named(u"x")));
  EXPECT_FALSE(map.Move(1, 2));
  ASSERT_EQ(ports.messages.shown.size(), 8u);
  EXPECT_EQ(ports.messages.shown[7].text, u"C:\\maps\\JAPAN.MLL\r\nは変更禁止. [Move]");
  EXPECT_EQ(Order(map), u"AB");
  map.LockMode(false);
  EXPECT_TRUE(map.Clear());
  EXPECT_EQ(map.Count(), 0);
  EXPECT_FALSE(map.Modify());
}

TEST_F(DocumentTest, FileNameGetsTheModesExtensionAndUnlocks) {
  map.LockMode(true);
  map.Modify(false);
  map.FileName(u"C:\\maps\\a.b\\foo");
  EXPECT_EQ(map.FileName(), u"C:\\maps\\a.b\\foo.MLL");
  EXPECT_FALSE(map.LockMode());
  EXPECT_TRUE(map.Modify());
  map.Modify(false);
  map.FileName(u"");
  map.FileName(u"C:\\maps\\a.b\\foo.MLL");
  EXPECT_FALSE(map.Modify());  // empty and unchanged names are ignored
  clsMap xy;
  xy.MapMode(2);
  xy.FileName(u"C:\\maps\\a.b\\foo");
  EXPECT_EQ(xy.FileName(), u"C:\\maps\\a.b\\foo.MXY");
}

TEST_F(DocumentTest, ExtensionOfTheModeInOtherCaseIsKept) {
  map.FileName(u"/maps/japan.mll");
  EXPECT_EQ(map.FileName(), u"/maps/japan.mll");
  map.FileName(u"/maps/japan.mxy");
  EXPECT_EQ(map.FileName(), u"/maps/japan.MLL");
  map.MapMode(2);
  EXPECT_EQ(map.FileName(), u"/maps/japan.MXY");
}

TEST_F(DocumentTest, MapModeChangesOnlyAnEmptyMapAndTheExtensionFollows) {
  map.FileName(u"/maps/japan.MLL");
  map.MapMode(3);
  EXPECT_EQ(map.MapMode(), 1);
  map.MapMode(2);
  EXPECT_EQ(map.MapMode(), 2);
  EXPECT_EQ(map.FileName(), u"/maps/japan.MXY");
  map.MapMode(1);
  EXPECT_EQ(map.FileName(), u"/maps/japan.MLL");
  ASSERT_TRUE(map.Add(Named(u"A")));
  map.MapMode(2);
  EXPECT_EQ(map.MapMode(), 1);
}

TEST_F(DocumentTest, MapCollectionAndEnumerationShowTheLiveFigures) {
  Fill(u"ABC");
  EXPECT_EQ(map.MapCollection().size(), 3u);
  EXPECT_EQ(map.MapCollection()[1], map.Item(2));
  EXPECT_EQ(Order(map), u"ABC");
  map.Item(1)->Admin(-5);  // ignored: the figure stays right
  EXPECT_TRUE(map.IsRight());
}

}  // namespace
}  // namespace picmap
