#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "geometry/clsPoly.h"
#include "geometry_helpers.h"
#include "support/binfile.h"
#include "support/text.h"

namespace picmap {
namespace {
using testing::CaughtError;
using testing::MakePoly;
using testing::PointsOf;
using testing::Pts;

class PolyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "geometry_poly_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
  }
  void TearDown() override { std::remove(path_.c_str()); }
  std::u16string Path() const { return FromUtf8(path_); }

  int64_t SaveToFile(clsPoly& p, bool bLong) {
    BinaryWriter w(Path());
    p.Save(w, bLong);
    const int64_t size = w.Position();
    w.Close();
    return size;
  }
  void WriteRaw(const std::vector<uint8_t>& bytes) {
    BinaryWriter w(Path());
    w.WriteBytes(bytes.data(), bytes.size());
    w.Close();
  }

  std::string path_;
};

TEST_F(PolyFile, BothFormsRoundTripAndClearTheModifiedMark) {
  for (bool bLong : {true, false}) {
    clsPoly p = MakePoly({{1, -2}, {2147483647, INT32_MIN}, {0, 7}});
    p.RectBound();
    EXPECT_EQ(SaveToFile(p, bLong), bLong ? 28 : 26);
    EXPECT_FALSE(p.Modify());
    EXPECT_TRUE(p.IsBoundValid());
    clsPoly q = MakePoly({{9, 9}});
    BinaryReader r(Path());
    q.Load(r, bLong);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_TRUE(q.IsMatch(p));
    EXPECT_EQ(q.Flags(), 0);
    EXPECT_EQ(q.RectBound(), clsRect(0, INT32_MIN, 2147483647, 7));
  }
}

TEST_F(PolyFile, LayoutIsCountThenLittleEndianPairs) {
  clsPoly p = MakePoly({{0x01020304, -1}});
  SaveToFile(p, false);
  BinaryReader r(Path());
  std::vector<uint8_t> bytes(r.Size());
  r.ReadBytes(bytes.data(), bytes.size());
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 0, 4, 3, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(PolyFile, ShortFormCutsTheListTo65535Points) {
  clsPoly p;
  for (int i = 0; i < 70000; ++i) p.AddXandY(i, -i);
  clsPoly longCopy(p);
  EXPECT_EQ(SaveToFile(longCopy, true), 4 + 8 * 70000);
  EXPECT_EQ(longCopy.Count(), 70000);
  EXPECT_EQ(SaveToFile(p, false), 2 + 8 * 65535);
  EXPECT_EQ(p.Count(), 65535);
  EXPECT_FALSE(p.Modify());
  BinaryReader r(Path());
  EXPECT_EQ(r.Read<uint16_t>(), 0xFFFF);
  r.Seek(0);
  clsPoly q;
  q.Load(r, false);
  EXPECT_EQ(q.Count(), 65535);
  EXPECT_EQ(q.LastX(), 65534);
  EXPECT_EQ(q.LastY(), -65534);
}

TEST_F(PolyFile, NegativeOrZeroLongCountGivesAnEmptyList) {
  WriteRaw({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
  clsPoly p = MakePoly({{1, 1}});
  BinaryReader r(Path());
  p.Load(r, true);
  EXPECT_EQ(p.Count(), 0);
  EXPECT_EQ(r.Position(), 4);
}

TEST_F(PolyFile, CountTheFileCannotHoldFailsBeforeSizingTheList) {
  WriteRaw({0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3, 4, 5, 6, 7, 8});
  clsPoly p = MakePoly({{1, 1}, {2, 2}});
  p.Modify(false);
  BinaryReader r(Path());
  const Error e = CaughtError([&] { p.Load(r, true); });
  EXPECT_EQ(e.Number(), err::kInputPastEnd);
  EXPECT_EQ(e.Source(), u"clsPoly.Load/");
  EXPECT_EQ(PointsOf(p), (Pts{{1, 1}, {2, 2}}));
  EXPECT_FALSE(p.Modify());

  WriteRaw({3, 0, 1, 0, 0, 0, 2, 0, 0, 0});  // short form, 3 points announced, 1 present
  BinaryReader s(Path());
  EXPECT_EQ(CaughtError([&] { p.Load(s, false); }).Number(), err::kInputPastEnd);
  EXPECT_EQ(p.Count(), 2);
}

TEST_F(PolyFile, MissingCountIsAShortFile) {
  WriteRaw({7});
  clsPoly p;
  BinaryReader r(Path());
  EXPECT_EQ(CaughtError([&] { p.Load(r, false); }).Number(), err::kInputPastEnd);
}

}  // namespace
}  // namespace picmap
