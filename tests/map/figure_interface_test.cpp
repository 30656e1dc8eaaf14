// The figure interface as all five classes implement it: validated attributes, names,
// identifiers, copies, completeness and the point list.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <tuple>

#include "geometry/clsPoly.h"
#include "geometry/clsRect.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map_helpers.h"
#include "support/errors.h"
#include "support/platform.h"

namespace picmap {
namespace {

class EveryFigure : public ::testing::TestWithParam<int32_t> {
 protected:
  std::shared_ptr<clsMapFigure> New() const { return CreateFigure(GetParam()); }
};

TEST_P(EveryFigure, StartsWithTheInitialAttributes) {
  auto f = New();
  EXPECT_EQ(f->FigCode(), GetParam());
  EXPECT_FALSE(f->Modify());
  EXPECT_EQ(f->OwnColor(), -1);
  EXPECT_EQ(f->OwnShowMode(), -1);
  EXPECT_EQ(f->Admin(), -1);
  EXPECT_EQ(f->Thing(), -1);
  EXPECT_EQ(f->JumpMark(), 0);
  EXPECT_EQ(f->Reserve(), 0);
  EXPECT_FALSE(f->IsRight());  // Admin (and Thing) still unset
}

TEST_P(EveryFigure, ValidatedSettersIgnoreValuesOutOfRange) {
  auto f = New();
  for (int32_t bad : {1000, -2, -1, 70000}) f->Admin(bad);
  f->OwnColor(16777216);
  f->OwnColor(-2);
  f->OwnShowMode(2);
  f->OwnShowMode(-2);
  f->JumpMark(10);
  f->JumpMark(-1);
  EXPECT_FALSE(f->Modify());
  EXPECT_EQ(f->Admin(), -1);
  EXPECT_EQ(f->OwnColor(), -1);
  EXPECT_EQ(f->OwnShowMode(), -1);
  EXPECT_EQ(f->JumpMark(), 0);
}

TEST_P(EveryFigure, ValidatedSettersStoreValuesInRangeAndMarkModified) {
  for (auto [admin, color, mode, mark] :
       {std::tuple{0, -1, -1, 0}, std::tuple{999, 0xFFFFFF, 1, 9}, std::tuple{5, 0, 0, 3}}) {
    auto f = New();
    f->Admin(admin);
    EXPECT_TRUE(f->Modify());
    f->OwnColor(color);
    f->OwnShowMode(mode);
    f->JumpMark(mark);
    EXPECT_EQ(f->Admin(), admin);
    EXPECT_EQ(f->OwnColor(), color);
    EXPECT_EQ(f->OwnShowMode(), mode);
    EXPECT_EQ(f->JumpMark(), mark);
  }
  auto f = New();
  f->OwnColor(-1);  // equal to the old value, still a change
  EXPECT_TRUE(f->Modify());
  f = New();
  f->Reserve(-123456);
  EXPECT_TRUE(f->Modify());
  EXPECT_EQ(f->Reserve(), -123456);
}

TEST_P(EveryFigure, NamesItsKindInTwoLanguages) {
  static const char16_t* const kNames[][2] = {{u"REM", u"注釈"},
                                              {u"POLYLINE", u"連続線"},
                                              {u"POLYGON", u"多辺形"},
                                              {u"SYMBOL", u"点記号"},
                                              {u"TEXT", u"文字列"}};
  auto f = New();
  EXPECT_EQ(f->FigName(1), kNames[GetParam() - 1][0]);
  EXPECT_EQ(f->FigName(2), kNames[GetParam() - 1][1]);
  EXPECT_EQ(f->FigName(3), u"");
  EXPECT_EQ(f->FigName(0), u"");
  EXPECT_EQ(f->FigName(65537), u"");
}

TEST_P(EveryFigure, IdentifierEncodesTheCreationSecond) {
  ScopedScriptedPorts ports;
  auto f = New();
  const double id = f->FigID();
  const DateTime d = f->FigDate();
  EXPECT_EQ(std::tuple(d.year, d.month, d.day, d.hour, d.minute, d.second),
            std::tuple(2026, 12, 7, 4, 52, 1));
  // Whole seconds since 1899-12-30 times 100000, plus a draw below 100000.
  const double seconds = static_cast<double>(ToEpochSeconds(ports.clock.now) + 25569LL * 86400);
  EXPECT_GE(id, seconds * 100000);
  EXPECT_LT(id, seconds * 100000 + 100000);
  EXPECT_EQ(id, std::floor(id));
  f->FigID(42.0);
  EXPECT_EQ(f->FigID(), 42.0);
  EXPECT_TRUE(f->Modify());
}

TEST_P(EveryFigure, CopyIsIndependentWithItsOwnIdentifier) {
  auto f = New();
  f->Admin(7);
  f->Thing(8);
  f->OwnColor(0x123456);
  f->OwnShowMode(0);
  f->JumpMark(4);
  f->Reserve(99);
  f->Modify(false);
  auto c = f->Copy();
  EXPECT_EQ(c->FigCode(), f->FigCode());
  EXPECT_NE(c->FigID(), f->FigID());
  EXPECT_TRUE(c->Modify());
  EXPECT_EQ(c->Admin(), 7);
  EXPECT_EQ(c->Thing(), f->Thing());  // -1 for a remark
  EXPECT_EQ(c->OwnColor(), 0x123456);
  EXPECT_EQ(c->OwnShowMode(), 0);
  EXPECT_EQ(c->JumpMark(), 4);
  EXPECT_EQ(c->Reserve(), 99);
  c->Admin(1);
  EXPECT_EQ(f->Admin(), 7);
  EXPECT_FALSE(f->Modify());
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryFigure, ::testing::Values(1, 2, 3, 4, 5));

// Identifiers are saved in every map file: each draw must stay the floating-point share of
// the sequence's range times 100000, cut to a whole number, as files made before hold them.
TEST(FigureIdentifiers, DrawsAreTheSequenceShareTimes100000) {
  const std::minstd_rand saved = FigureIdSequence();
  auto expected = [](std::minstd_rand& g) {
    const double range =
        static_cast<double>(std::minstd_rand::max() - std::minstd_rand::min() + 1);
    const double share = static_cast<double>(g() - std::minstd_rand::min()) / range;
    return 86400.0 * 25569 * 100000 + static_cast<double>(static_cast<int64_t>(share * 100000));
  };
  // 2023651103 is followed by the value whose share is exactly one half.
  for (const uint32_t seed : {1u, 2023651103u, 2147483646u, 12345u}) {
    std::minstd_rand reference(seed);
    SetFigureIdSequence(reference);
    for (int i = 0; i < 100000; ++i)
      ASSERT_EQ(NewFigureIdAt(0), expected(reference)) << "seed " << seed << ", draw " << i;
  }
  SetFigureIdSequence(std::minstd_rand(2023651103u));
  EXPECT_EQ(NewFigureIdAt(0), 86400.0 * 25569 * 100000 + 50000);
  SetFigureIdSequence(saved);
}

TEST(FigureIdentifier, DrawsFromOneSequenceSoIdentifiersDiffer) {
  ScopedScriptedPorts ports;
  std::set<double> ids;
  for (int i = 0; i < 200; ++i) ids.insert(NewFigureId());
  EXPECT_GT(ids.size(), 190u);
}

TEST(FigureIdentifier, DateOfAnyIdentifierInTheDateRange) {
  auto date = [](double id) {
    const DateTime d = FigDateOf(id);
    return std::tuple(d.year, d.month, d.day, d.hour, d.minute, d.second);
  };
  EXPECT_EQ(date(0), std::tuple(1899, 12, 30, 0, 0, 0));
  EXPECT_EQ(date(99999), std::tuple(1899, 12, 30, 0, 0, 0));
  // Day -1.25 is 06:00 of the day before: the time of day of a negative count is positive.
  EXPECT_EQ(date(-1.25 * 86400 * 100000), std::tuple(1899, 12, 29, 6, 0, 0));
  EXPECT_EQ(date((2958466.0 * 86400 - 1) * 100000), std::tuple(9999, 12, 31, 23, 59, 59));
  EXPECT_EQ(date(-657434.0 * 86400 * 100000), std::tuple(100, 1, 1, 0, 0, 0));
}

TEST(FigureIdentifier, IdentifierBeyondTheDateRangeHasNoDate) {
  clsMapSymbol s;
  for (double id : {2958466.0 * 86400 * 100000, -657435.0 * 86400 * 100000, 1e300,
                    std::nan(""), -std::numeric_limits<double>::infinity()}) {
    s.FigID(id);
    try {
      s.FigDate();
      ADD_FAILURE() << id;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), err::kOverflow) << id;
    }
  }
}

TEST(FigureFactory, KnowsOnlyTheFiveCodes) {
  EXPECT_EQ(CreateFigure(0), nullptr);
  EXPECT_EQ(CreateFigure(6), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<clsMapText>(CreateFigure(5)), nullptr);
}

TEST(RemarkFigure, HasNoThingAndNoGeometry) {
  clsMapRem rem;
  rem.Thing(5);
  EXPECT_EQ(rem.Thing(), -1);
  EXPECT_FALSE(rem.Modify());
  auto p = rem.Poly();
  p->AddXandY(1, 2);
  EXPECT_EQ(rem.Poly()->Count(), 0);  // a new list every time
  rem.Poly(p);
  EXPECT_FALSE(rem.Modify());
  EXPECT_FALSE(rem.IsInner(clsRect(-1000, -1000, 1000, 1000)));
}

TEST(RemarkFigure, IsRightOnceAdminIsSetEvenWhenEmpty) {
  clsMapRem rem;
  EXPECT_FALSE(rem.IsRight());
  rem.Admin(0);
  EXPECT_TRUE(rem.IsRight());
  auto made = NewRemark(u"");
  EXPECT_TRUE(made->IsRight());
  EXPECT_EQ(made->Admin(), 0);
  EXPECT_EQ(std::static_pointer_cast<clsMapRem>(made)->Comment(), u"");
}

TEST(RemarkFigure, CopyCarriesTheComment) {
  auto rem = std::static_pointer_cast<clsMapRem>(NewRemark(u"# 種別：テスト"));
  auto copy = std::static_pointer_cast<clsMapRem>(rem->Copy());
  EXPECT_EQ(copy->Comment(), u"# 種別：テスト");
  copy->Comment(u"x");
  EXPECT_EQ(rem->Comment(), u"# 種別：テスト");
}

std::shared_ptr<clsPoly> PolyOf(std::initializer_list<PolyPoint> pts) {
  auto p = std::make_shared<clsPoly>();
  for (const PolyPoint& pt : pts) p->AddPoint(pt);
  return p;
}

TEST(LinearFigure, NeedsFourPointsForAPolygonAndTwoForAPolyline) {
  clsMapPolygon polygon;
  clsMapPolyline line;
  for (clsMapFigure* f : {static_cast<clsMapFigure*>(&polygon), static_cast<clsMapFigure*>(&line)}) {
    f->Admin(0);
    f->Thing(0);
  }
  EXPECT_FALSE(line.IsRight());
  line.Poly()->AddXandY(0, 0);
  EXPECT_FALSE(line.IsRight());
  line.Poly()->AddXandY(1, 1);
  EXPECT_TRUE(line.IsRight());
  polygon.Poly(PolyOf({{0, 0}, {10, 0}, {0, 0}}));
  EXPECT_FALSE(polygon.IsRight());
  polygon.Poly()->AddXandY(0, 0);
  EXPECT_TRUE(polygon.IsRight());
  polygon.Thing(-1);  // ignored: stays 0
  EXPECT_TRUE(polygon.IsRight());
}

TEST(LinearFigure, SharesItsPointListAndFoldsItsModifiedFlag) {
  clsMapPolygon f;
  auto list = f.Poly();
  EXPECT_EQ(f.Poly(), list);  // the figure's own list, not a copy
  list->AddXandY(1, 2);
  EXPECT_TRUE(f.Modify());  // the list's change shows through
  f.Modify(false);
  EXPECT_FALSE(list->Modify());
  f.Modify(true);
  EXPECT_FALSE(list->Modify());  // setting True touches only the figure
  auto other = PolyOf({{5, 5}});
  f.Modify(false);
  f.Poly(other);
  EXPECT_EQ(f.Poly(), other);
  EXPECT_TRUE(f.Modify());
  f.Modify(false);
  f.Poly(nullptr);  // refused: the figure always owns a list
  EXPECT_EQ(f.Poly(), other);
  EXPECT_FALSE(f.Modify());
}

TEST(LinearFigure, CopyOwnsAnIndependentList) {
  clsMapPolyline f;
  f.Poly(PolyOf({{0, 0}, {5, 5}}));
  auto c = f.Copy();
  c->Poly()->SetXandY(1, 9, 9);
  EXPECT_EQ(f.Poly()->x(1), 0);
  EXPECT_TRUE(c->Poly()->IsMatch(*PolyOf({{9, 9}, {5, 5}})));
}

TEST(LinearFigure, IsInnerWhenTheBoundsMeetTheRectangle) {
  clsMapPolygon f;
  f.Poly(PolyOf({{0, 0}, {10, 0}, {10, 10}, {0, 0}}));
  EXPECT_TRUE(f.IsInner(clsRect(10, 10, 20, 20)));
  EXPECT_FALSE(f.IsInner(clsRect(11, 0, 20, 20)));
}

TEST(PointFigures, PositionComesFromPointOneAndGoesOutAsANewList) {
  clsMapSymbol s;
  clsMapText t;
  for (MapPointFigure* f : {static_cast<MapPointFigure*>(&s), static_cast<MapPointFigure*>(&t)}) {
    EXPECT_EQ(f->mx(), 0);
    EXPECT_EQ(f->my(), 0);
    f->Poly(std::make_shared<clsPoly>());
    f->Poly(nullptr);
    EXPECT_FALSE(f->Modify());
    f->Poly(PolyOf({{3, 4}, {9, 9}}));
    EXPECT_TRUE(f->Modify());
    EXPECT_EQ(f->mx(), 3);
    EXPECT_EQ(f->my(), 4);
    auto out = f->Poly();
    ASSERT_EQ(out->Count(), 1);
    out->SetXandY(1, 50, 50);
    EXPECT_EQ(f->mx(), 3);  // the list handed out is not the position
    f->mx(10);
    f->my(10);
    EXPECT_TRUE(f->IsInner(clsRect(0, 0, 10, 10)));
    f->mx(11);
    EXPECT_FALSE(f->IsInner(clsRect(0, 0, 10, 10)));
  }
}

TEST(PointFigures, RightOnceAdminAndThingAreSet) {
  clsMapSymbol s;
  clsMapText t;
  EXPECT_FALSE(s.IsRight());
  EXPECT_FALSE(t.IsRight());
  s.Admin(0);
  t.Admin(0);
  EXPECT_FALSE(s.IsRight());
  s.Thing(0);
  t.Thing(0);
  EXPECT_TRUE(s.IsRight());
  EXPECT_TRUE(t.IsRight());
}

TEST(PointFigures, CopiesKeepPositionAndTextSettings) {
  clsMapSymbol s;
  s.SetSymbolPoint({-5, 7});
  auto sc = std::static_pointer_cast<clsMapSymbol>(s.Copy());
  EXPECT_EQ(sc->GetSymbolPoint(), (PolyPoint{-5, 7}));
  EXPECT_TRUE(sc->Modify());

  clsMapText t;
  t.SetTextPoint({1, 2});
  t.TextFix(3);
  t.Angle(-45);
  t.TextUnicode(1, u"Tokyo");
  t.TextUnicode(2, u"東京");
  auto tc = std::static_pointer_cast<clsMapText>(t.Copy());
  EXPECT_EQ(tc->GetTextPoint(), (PolyPoint{1, 2}));
  EXPECT_EQ(tc->TextFix(), 3);
  EXPECT_EQ(tc->Angle(), -45);
  EXPECT_EQ(tc->TextUnicode(1), u"Tokyo");
  EXPECT_EQ(tc->TextUnicode(2), u"東京");
  EXPECT_NE(tc->FigID(), t.FigID());
  EXPECT_TRUE(tc->Modify());
}

}  // namespace
}  // namespace picmap
