// The document's change count against the saved state, and the file name's extension and lock.
#include <gtest/gtest.h>

#include "map/clsMap.h"
#include "map/clsMapRem.h"
#include "support/platform.h"

namespace picmap {
namespace {

std::u16string Order(const clsMap& map) {
  std::u16string s;
  for (const auto& f : map) s += std::static_pointer_cast<clsMapRem>(f)->Comment();
  return s;
}

class MapDocumentTest : public ::testing::Test {
 protected:
  void Add(const std::u16string& names) {
    for (char16_t c : names) ASSERT_TRUE(map.Add(NewRemark(std::u16string(1, c))));
  }
  ScopedScriptedPorts ports;
  clsMap map;
};

// Undo reverts to where the log began; when that lies before the moment the document was
// marked unmodified, the content differs from the saved one and must not read as unchanged
// (Save would otherwise write nothing).
TEST_F(MapDocumentTest, UndoPastTheSavedStateLeavesTheDocumentModified) {
  Add(u"AB");
  map.ResetUndo();
  Add(u"C");
  map.Modify(false);  // "ABC" is the saved state
  ASSERT_TRUE(map.Remove(1));
  map.Undo();  // reverts the removal and the addition of C
  EXPECT_EQ(Order(map), u"AB");
  EXPECT_TRUE(map.Modify());
  map.Modify(false);
  EXPECT_FALSE(map.Modify());
}

TEST_F(MapDocumentTest, UndoBackToTheSavedStateIsUnmodified) {
  Add(u"AB");
  map.ResetUndo();
  map.Modify(false);
  Add(u"C");
  ASSERT_TRUE(map.Move(3, 1));
  ASSERT_TRUE(map.Renew(2, NewRemark(u"x")));
  EXPECT_EQ(Order(map), u"CxB");
  map.Undo();
  EXPECT_EQ(Order(map), u"AB");
  EXPECT_FALSE(map.Modify());
  map.Modify(true);
  EXPECT_TRUE(map.Modify());
}

TEST_F(MapDocumentTest, NameDifferingOnlyInTheMissingExtensionStillCountsAndUnlocks) {
  map.FileName(u"/maps/japan.MLL");
  map.LockMode(true);
  map.Modify(false);
  map.FileName(u"/maps/japan");
  EXPECT_EQ(map.FileName(), u"/maps/japan.MLL");
  EXPECT_FALSE(map.LockMode());
  EXPECT_TRUE(map.Modify());
}

TEST_F(MapDocumentTest, ModeChangeRenamesAndUnlocksOnce) {
  map.FileName(u"/maps/japan.MLL");
  map.LockMode(true);
  map.MapMode(2);
  EXPECT_EQ(map.FileName(), u"/maps/japan.MXY");
  EXPECT_FALSE(map.LockMode());
  map.FileName(u"/maps/other.mll");  // another name gets the x/y extension
  EXPECT_EQ(map.FileName(), u"/maps/other.MXY");
}

TEST_F(MapDocumentTest, EiUndoStoresTheValueGiven) {
  map.EiUndo(false);
  Add(u"A");
  EXPECT_FALSE(map.CanUndo());
  map.EiUndo(true);
  EXPECT_TRUE(map.EiUndo());
  Add(u"B");
  EXPECT_TRUE(map.CanUndo());
  map.Undo();
  EXPECT_EQ(Order(map), u"A");
}

TEST_F(MapDocumentTest, LockedDocumentRefusesVersionAndDateLinesButKeepsTheVersion) {
  Add(u"A");
  map.LockMode(true);
  map.Version(105);
  EXPECT_EQ(map.Count(), 1);
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].text, u"BLANK.MLL\r\nは変更禁止. [Ins]");
  EXPECT_EQ(map.Version(), 105);
}

TEST_F(MapDocumentTest, LastDateOfAnUnreadableLineIsTheZeroDate) {
  Add(u"A");
  ASSERT_TRUE(map.Ins(2, NewRemark(u"# 最終更新日時　　：いつか")));
  const DateTime d = map.LastDate();
  EXPECT_EQ(d.year, 1899);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 30);
}

}  // namespace
}  // namespace picmap
