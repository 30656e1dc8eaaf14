// The driver reads features from the file where they lie, found by one walk over the file at
// open. What GIS programs get must be what a load of the whole map gives: every feature of
// every layer, counts, extents and spatial filters, for each file version; and damage in a
// file costs only the figures it touches.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "map/NewRemark.h"
#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map/map_helpers.h"
#include "ogr/mll_driver.h"
#include "ogr/mll_features.h"
#include "support/platform.h"
#include "support/text.h"
#include "things/thing_lookup.h"

namespace picmap::test {
namespace {

struct DatasetCloser {
  void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

DatasetPtr OpenMap(const std::filesystem::path& file) {
  const char* const mll[] = {"MLL", nullptr};
  return DatasetPtr(GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR, mll));
}

// A feature as a GIS program sees it: ID, fields, geometry and style in one line.
std::string Describe(OGRFeature& f) {
  std::string s = std::to_string(f.GetFID());
  for (int i = 0; i < f.GetFieldCount(); ++i)
    s += std::string("|") + (f.IsFieldSetAndNotNull(i) ? f.GetFieldAsString(i) : "<null>");
  if (const OGRGeometry* g = f.GetGeometryRef()) s.append("|").append(g->exportToWkt());
  if (const char* style = f.GetStyleString()) s += std::string("|") + style;
  return s;
}

std::vector<std::string> Read(OGRLayer& layer) {
  std::vector<std::string> out;
  layer.ResetReading();
  while (OGRFeature* f = layer.GetNextFeature()) {
    out.push_back(Describe(*f));
    delete f;
  }
  return out;
}

// Rectangles as the converter makes them, among polygons, lines, symbols, texts and remarks,
// with own colours or none (then the thing's colour) and things the thing file may not know.
void FillMixedMap(clsMap& map, int rectangles, uint32_t seed) {
  std::mt19937 random(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  map.Add(NewRemark(u"# 欧文地図名　　　：mixed"));
  map.Add(NewRemark(u"# 縮尺レベル　　　：8"));
  for (int i = 0; i < rectangles; ++i) {
    const int32_t x = pick(-648000, 640000), y = pick(-324000, 320000);
    MapRectangle r;
    r.figId = NewFigureId();
    r.left = x;
    r.right = x + pick(1, 8000);
    r.top = y + pick(1, 4000);
    r.bottom = y;
    r.colour = pick(0, 3) == 0 ? -1 : pick(0, 0xFFFFFF);
    r.thing = static_cast<int16_t>(pick(0, 3));
    r.showMode = static_cast<int8_t>(pick(-1, 1));
    ASSERT_TRUE(map.AddRectangle(r));
    if (i % 50 != 7) continue;
    auto area = std::make_shared<clsMapPolygon>();
    for (const PolyPoint p : {PolyPoint{x, y}, PolyPoint{x + 900, y + 50}, PolyPoint{x + 20, y + 700}, PolyPoint{x, y}})
      area->Poly()->AddPoint(p);
    area->Admin(pick(0, 999));
    area->Thing(pick(0, 5));
    area->JumpMark(pick(0, 9));
    ASSERT_TRUE(map.Add(area));
    auto line = std::make_shared<clsMapPolyline>();
    line->Poly()->SetLine(x, y, x + pick(-9000, 9000), y + pick(-9000, 9000));
    line->Admin(0);
    line->OwnColor(i % 100 == 7 ? -1 : 0x123456);
    line->Thing(1);
    ASSERT_TRUE(map.Add(line));
    auto symbol = std::make_shared<clsMapSymbol>();
    symbol->SetSymbolPoint({x, y});
    symbol->Admin(1);
    symbol->Thing(2);
    ASSERT_TRUE(map.Add(symbol));
    auto text = std::make_shared<clsMapText>();
    text->Admin(2);
    text->Thing(3);
    text->SetTextPoint({x + 3, y - 3});
    text->Angle(pick(-180, 180));
    text->TextFix(pick(0, 24));
    text->TextUnicode(1, u"Co^te \"" + FromUtf8(std::to_string(i)) + u"\"");
    if (i % 100 == 7) text->TextUnicode(2, u"東京");
    ASSERT_TRUE(map.Add(text));
    map.Add(NewRemark(u"a remark among the figures " + FromUtf8(std::to_string(i))));
  }
}

class IndexedReadingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ogr::RegisterMllDriver(); }
  void SetUp() override { oldClock_ = SetClockPort(&clock_); }
  void TearDown() override { SetClockPort(oldClock_); }

  std::filesystem::path SaveMixed(const std::string& name, int16_t version, int32_t mode) {
    clsMap map;
    map.MapMode(mode);
    map.FileName(dir_.File(name));
    FillMixedMap(map, 300, 17);
    map.Version(version);
    EXPECT_EQ(map.Save(), 0);
    std::filesystem::copy_file(std::filesystem::path(PICMAP_RUNTIME_DIR) / "PICMAP.THG",
                               dir_.Path(name).replace_extension(".THG"));
    return dir_.Path(name);
  }

  ScratchFolder dir_;
  FixedClock clock_{DateTime{2026, 12, 7, 4, 52, 1}};
  ClockPort* oldClock_ = nullptr;
};

// Maps of every kind of figure in versions 1.04, 1.05 and 1.06 (whose figures before 1.06 have
// no stored identifier, and none is shown), and an x/y map.
TEST_F(IndexedReadingTest, EveryFeatureIsWhatALoadOfTheWholeMapGives) {
  for (const auto& [name, version, mode] : {std::tuple{"v104.MLL", 104, 1}, std::tuple{"v105.MLL", 105, 1},
                                            std::tuple{"v106.MLL", 106, 1}, std::tuple{"xy.MXY", 106, 2}}) {
    SCOPED_TRACE(name);
    const std::filesystem::path file = SaveMixed(name, static_cast<int16_t>(version), mode);
    clsMap map;
    map.MapMode(mode);
    map.AssignFileName(FromUtf8(file.string()));
    const std::minstd_rand ids = FigureIdSequence();
    ASSERT_EQ(map.Load(), 0);
    SetFigureIdSequence(ids);
    DatasetPtr ds = OpenMap(file);
    ASSERT_TRUE(ds);
    EXPECT_STREQ(ds->GetMetadataItem("欧文地図名"), "mixed");

    const ThingLookup things = ThingLookup::BesideMap(map.FileName());
    ASSERT_TRUE(things.HasThings());
    const ogr::FeatureContext context{&things, mode == 1, nullptr, version >= 106};
    for (int i = 0; i < ogr::kLayerKinds; ++i) {
      const ogr::LayerKind& kind = ogr::LayerKindAt(i);
      SCOPED_TRACE(kind.name);
      OGRLayer* layer = ds->GetLayerByName(kind.name);
      ASSERT_TRUE(layer);
      std::vector<std::string> loaded;
      OGREnvelope extent;
      bool bounded = false;
      for (int32_t index = 1; index <= map.Count(); ++index) {
        const std::shared_ptr<clsMapFigure> figure = map.Item(index);
        if (figure->FigCode() != kind.figCode) continue;
        std::unique_ptr<OGRFeature> f(ogr::FeatureOf(*figure, index, layer->GetLayerDefn(), context));
        loaded.push_back(Describe(*f));
        OGREnvelope env;
        if (!ogr::FigureEnvelope(*figure, mode == 1, env)) continue;
        if (bounded) extent.Merge(env);
        else extent = env;
        bounded = true;
      }
      ASSERT_FALSE(loaded.empty());
      EXPECT_EQ(layer->GetFeatureCount(), static_cast<GIntBig>(loaded.size()));
      EXPECT_EQ(Read(*layer), loaded);
      OGREnvelope got;
      EXPECT_EQ(layer->GetExtent(&got, TRUE), bounded ? OGRERR_NONE : OGRERR_FAILURE);
      if (bounded) {
        EXPECT_TRUE(got == extent);
      }
      // Asked for by ID, in any order, a feature is the same again.
      const std::string& last = loaded.back();
      std::unique_ptr<OGRFeature> again(layer->GetFeature(std::stoll(last.substr(0, last.find('|')))));
      ASSERT_TRUE(again);
      EXPECT_EQ(Describe(*again), last);
    }
  }
}

// A spatial filter, a box or any other shape, keeps exactly the features whose geometry meets
// it, as a filter over every feature would.
TEST_F(IndexedReadingTest, SpatialFilterKeepsTheFeaturesThatMeetIt) {
  clsMap map;
  map.FileName(dir_.File("many.MLL"));
  FillMixedMap(map, 3000, 5);
  ASSERT_EQ(map.Save(), 0);
  DatasetPtr ds = OpenMap(dir_.Path("many.MLL"));
  ASSERT_TRUE(ds);
  std::mt19937 random(9);
  for (const char* name : {"polygons", "polylines", "symbols", "texts"}) {
    OGRLayer* layer = ds->GetLayerByName(name);
    std::vector<std::unique_ptr<OGRFeature>> all;
    for (auto& f : *layer) all.emplace_back(f.release());
    for (int round = 0; round < 12; ++round) {
      SCOPED_TRACE(std::string(name) + " filter " + std::to_string(round));
      // Edges half an arc-second off the grid: no vertex lies on them.
      auto at = [&](int lo, int hi) { return (std::uniform_int_distribution<int>(lo, hi)(random) + 0.5) / 3600; };
      const double w = at(-648000, 600000), s = at(-324000, 300000);
      const double e = w + at(1000, 200000), n = s + at(1000, 100000);
      std::unique_ptr<OGRGeometry> filter;
      if (round % 3 == 2) {  // a triangle: only its envelope is a box
        OGRGeometry* g = nullptr;
        const std::string wkt = "POLYGON ((" + std::to_string(w) + " " + std::to_string(s) + "," +
                                std::to_string(e) + " " + std::to_string(s) + "," + std::to_string(w) +
                                " " + std::to_string(n) + "," + std::to_string(w) + " " + std::to_string(s) + "))";
        ASSERT_EQ(OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &g), OGRERR_NONE);
        filter.reset(g);
      } else {
        OGRLinearRing ring;
        const std::pair<double, double> corners[] = {{w, s}, {e, s}, {e, n}, {w, n}, {w, s}};
        for (const auto& [x, y] : corners) ring.addPoint(x, y);
        auto* box = new OGRPolygon;
        box->addRing(&ring);
        filter.reset(box);
      }
      std::vector<GIntBig> expected;
      for (const auto& f : all)
        if (f->GetGeometryRef()->Intersects(filter.get())) expected.push_back(f->GetFID());
      layer->SetSpatialFilter(filter.get());
      std::vector<GIntBig> got;
      for (auto& f : *layer) got.push_back(f->GetFID());
      EXPECT_EQ(got, expected);
      EXPECT_EQ(layer->GetFeatureCount(), static_cast<GIntBig>(expected.size()));
    }
    layer->SetSpatialFilter(nullptr);
    EXPECT_EQ(layer->GetFeatureCount(), static_cast<GIntBig>(all.size()));
  }
}

// Errors of the driver as one text, and the features a reading of every layer gave.
struct Reading {
  size_t features = 0;
  std::string errors;
};

Reading ReadQuietly(const std::filesystem::path& file) {
  Reading r;
  CPLPushErrorHandlerEx(
      [](CPLErr, CPLErrorNum, const char* message) {
        static_cast<std::string*>(CPLGetErrorHandlerUserData())->append(message).append("\n");
      },
      &r.errors);
  if (DatasetPtr ds = OpenMap(file)) {
    for (int i = 0; i < ds->GetLayerCount(); ++i)
      for (auto& f : *ds->GetLayer(i)) r.features += f != nullptr;
  }
  CPLPopErrorHandler();
  return r;
}

// A map whose load fails as a whole: an element the reader refuses costs its feature alone,
// and an element that cannot be read to its end only the figures from it on.
TEST_F(IndexedReadingTest, DamageCostsOnlyTheFiguresItTouches) {
  clsMap map;
  map.FileName(dir_.File("whole.MLL"));
  map.Add(NewRemark(u"# 欧文地図名　　　：whole"));  // the header lines come first
  auto text = std::make_shared<clsMapText>();  // a figure of the last figure code
  text->Admin(0);
  text->Thing(0);
  text->TextUnicode(1, u"label");
  ASSERT_TRUE(map.Add(text));
  for (int i = 0; i < 10; ++i)
    map.AddRectangle(MapRectangle{NewFigureId(), i * 100, 100, i * 100 + 50, 0, 0xFF, 0, -1, true});
  ASSERT_EQ(map.Save(), 0);
  const std::string whole = ReadFileBytes(dir_.Path("whole.MLL"));
  const int32_t count = map.Count();  // the rectangles are the last figures, 72 bytes each
  ASSERT_EQ(ReadQuietly(dir_.Path("whole.MLL")).features, static_cast<size_t>(count));
  auto elementOf = [&](int32_t position) { return whole.size() - 72 * static_cast<size_t>(count + 1 - position); };

  std::string refused = whole;
  const int16_t admin = 1000;  // out of range: the map reader refuses the figure
  std::memcpy(&refused[elementOf(count - 3) + 14], &admin, sizeof admin);
  WriteFileBytes(dir_.Path("refused.MLL"), refused);
  Reading r = ReadQuietly(dir_.Path("refused.MLL"));
  EXPECT_EQ(r.features, static_cast<size_t>(count - 1));
  EXPECT_NE(r.errors.find("feature " + std::to_string(count - 3) + " of layer polygons cannot be read"),
            std::string::npos) << r.errors;
  EXPECT_NE(r.errors.find("不正な図形内容"), std::string::npos) << r.errors;
  DatasetPtr ds = OpenMap(dir_.Path("refused.MLL"));
  EXPECT_EQ(ds->GetLayerByName("polygons")->GetFeatureCount(), 9);

  std::string unknown = whole;
  const int16_t code = 9;
  std::memcpy(&unknown[elementOf(count - 1)], &code, sizeof code);
  WriteFileBytes(dir_.Path("unknown.MLL"), unknown);
  r = ReadQuietly(dir_.Path("unknown.MLL"));
  EXPECT_EQ(r.features, static_cast<size_t>(count - 2));
  EXPECT_NE(r.errors.find("element " + std::to_string(count - 1) + " cannot be read (不正な図形コード"),
            std::string::npos) << r.errors;

  WriteFileBytes(dir_.Path("cut.MLL"), whole.substr(0, whole.size() - 10));
  r = ReadQuietly(dir_.Path("cut.MLL"));
  EXPECT_EQ(r.features, static_cast<size_t>(count - 1));
  EXPECT_NE(r.errors.find("element " + std::to_string(count) + " cannot be read"), std::string::npos) << r.errors;
}

// A flipped byte in a point count made a ring swallow the figures after it as points; GEOS
// spent over 20 GB parting it, and the layer's extent reached 271510° west.
TEST_F(IndexedReadingTest, AFigureWithPointsBeyondTheGlobeIsRefusedAndLeftOutOfTheExtent) {
  clsMap map;
  map.FileName(dir_.File("beyond.MLL"));
  map.AddRectangle(MapRectangle{NewFigureId(), 0, 3600, 3600, 0, 0xFF, 0, -1, true});
  auto swallowed = std::make_shared<clsMapPolygon>();
  for (const PolyPoint p : {PolyPoint{0, 0}, PolyPoint{4718595, 7200}, PolyPoint{7200, 1244659712}, PolyPoint{0, 0}})
    swallowed->Poly()->AddPoint(p);
  swallowed->Admin(0);
  swallowed->Thing(0);
  ASSERT_TRUE(map.Add(swallowed));
  ASSERT_EQ(map.Save(), 0);
  const Reading r = ReadQuietly(dir_.Path("beyond.MLL"));
  EXPECT_EQ(r.features, static_cast<size_t>(map.Count() - 1));
  EXPECT_NE(r.errors.find("feature " + std::to_string(map.Count()) + " of layer polygons cannot be read and is left out: a point lies beyond the globe"),
            std::string::npos) << r.errors;
  DatasetPtr ds = OpenMap(dir_.Path("beyond.MLL"));
  OGRLayer* polygons = ds->GetLayerByName("polygons");
  EXPECT_EQ(polygons->GetFeatureCount(), 1);
  OGREnvelope extent;
  ASSERT_EQ(polygons->GetExtent(&extent), OGRERR_NONE);
  EXPECT_DOUBLE_EQ(extent.MaxX, 1.0);
  EXPECT_DOUBLE_EQ(extent.MaxY, 1.0);
}

// A map cut where a figure ends read as a whole map of fewer figures, without a word.
TEST_F(IndexedReadingTest, AMapCutWhereAFigureEndsIsToldItMayBeCutShort) {
  clsMap map;
  map.FileName(dir_.File("closed.MLL"));
  for (int i = 0; i < 4; ++i)
    map.AddRectangle(MapRectangle{NewFigureId(), i * 100, 100, i * 100 + 50, 0, 0xFF, 0, -1, true});
  map.Add(NewRemark(u""));
  map.Add(NewRemark(u"/ end of file"));
  ASSERT_EQ(map.Save(), 0);
  const std::string whole = ReadFileBytes(dir_.Path("closed.MLL"));
  EXPECT_EQ(ReadQuietly(dir_.Path("closed.MLL")).errors.find("cut short"), std::string::npos);
  // Cut at the end of each figure (a cut elsewhere is an element that cannot be read).
  size_t boundaries = 0;
  for (size_t size = whole.size() - 1; size > 0 && boundaries < 3; --size) {
    WriteFileBytes(dir_.Path("cut.MLL"), whole.substr(0, size));
    const Reading r = ReadQuietly(dir_.Path("cut.MLL"));
    if (r.errors.find("cannot be read") != std::string::npos) continue;
    ++boundaries;
    EXPECT_NE(r.errors.find("does not end with the remark \"/ end of file\""), std::string::npos)
        << size << ": " << r.errors;
  }
  EXPECT_EQ(boundaries, 3u);
}

}  // namespace
}  // namespace picmap::test
