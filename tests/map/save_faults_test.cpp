// A save that fails anywhere leaves the previous map file byte for byte under its own name,
// with no backup and no temporary file beside it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "fault_injection.h"
#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map_helpers.h"
#include "support/errors.h"
#include "support/platform.h"

namespace picmap {
namespace {

using test::FolderContents;
using test::ReadFileBytes;
using test::WriteFileBytes;

std::shared_ptr<clsMapPolygon> Square(int32_t x) {
  auto p = std::make_shared<clsMapPolygon>();
  p->Admin(0);
  p->Thing(1);
  p->Poly()->SetRect(x, 0, x + 10, 10);
  return p;
}

class SaveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    // An earlier map of a few bytes, then a new one of some 2.5 MB: several buffers' worth.
    WriteFileBytes(dir.Path("m.MLL"), "the previous map");
    map.FileName(dir.File("m.MLL"));
    for (int32_t i = 0; i < 35000; ++i) ASSERT_TRUE(map.Add(Square(i * 20)));
    before = FolderContents(dir.Root());
  }
  void ExpectNothingChanged() { EXPECT_EQ(FolderContents(dir.Root()), before); }

  ScopedScriptedPorts ports;
  test::ScratchFolder dir;
  clsMap map;
  std::map<std::string, std::string> before;
};

TEST_F(SaveFaults, FileSizeLimitAtAnyPointLeavesThePreviousFile) {
  for (rlim_t limit : {rlim_t{0}, rlim_t{31}, rlim_t{4096}, rlim_t{1} << 20, (rlim_t{1} << 20) + 7,
                       rlim_t{2000000}}) {
    {
      test::ScopedFileSizeLimit cut(limit);
      EXPECT_EQ(map.Save(), err::kDiskFull) << limit;
    }
    ExpectNothingChanged();
    EXPECT_TRUE(map.Modify());
  }
  ASSERT_EQ(map.Save(), 0);  // and nothing is in the way once there is room
  clsMap back;
  back.FileName(dir.File("m.MLL"));
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(back.Count(), map.Count());
}

TEST_F(SaveFaults, ReadOnlyFolderTargetAndFolderAsTargetAreRefused) {
  ::chmod(dir.Root().c_str(), 0555);
  {
    test::ScopedOrdinaryUser user;
    EXPECT_EQ(map.Save(), err::kPathFileAccess);
  }
  ::chmod(dir.Root().c_str(), 0755);
  ExpectNothingChanged();

  ::chmod(dir.Path("m.MLL").c_str(), 0444);
  EXPECT_EQ(map.Save(), err::kPermissionDenied);
  ::chmod(dir.Path("m.MLL").c_str(), 0644);
  ExpectNothingChanged();

  std::filesystem::create_directory(dir.Path("f.MLL"));
  before = FolderContents(dir.Root());
  map.FileName(dir.File("f.MLL"));
  EXPECT_EQ(map.Save(), err::kPathFileAccess);
  ExpectNothingChanged();
}

TEST_F(SaveFaults, ListThatCannotBeThinnedFailsTheShortFormSaveNamingTheFigure) {
  auto line = std::make_shared<clsMapPolyline>();
  line->Admin(0);
  line->Thing(1);
  for (int32_t i = 0; i < 70000; ++i) line->Poly()->AddXandY(i * 1000, (i % 2) * 1000);
  ASSERT_TRUE(map.Add(line));
  map.Version(105);  // inserts the version line: the polyline is figure 35000 + 2 + 1
  ports.messages.shown.clear();
  try {
    map.Save();
    FAIL() << "a figure of 70000 points was written in a 1.05 file";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), err::kMapElement);
    EXPECT_NE(e.Description().find(u"(Points:70000, Max:65535)(Line:35003, Figure:2)"),
              std::u16string::npos)
        << ToUtf8(e.Description());
  }
  ASSERT_EQ(ports.messages.shown.size(), 1u);
  EXPECT_EQ(ports.messages.shown[0].title, u"その他エラー");
  ExpectNothingChanged();
}

}  // namespace
}  // namespace picmap
