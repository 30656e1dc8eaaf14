// Every kind of figure as the driver hands it to GDAL: the layer it lands in, its fields, its
// style string and its geometry; and an x/y map without a CRS.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <string>

#include "map/NewRemark.h"
#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map/map_helpers.h"
#include "ogr/map_export.h"
#include "ogr/mll_driver.h"

namespace picmap::test {
namespace {

struct DatasetCloser {
  void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

template <class Figure>
std::shared_ptr<Figure> Attributed(int32_t color) {
  auto f = std::make_shared<Figure>();
  f->Admin(3);
  f->Thing(7);
  f->OwnColor(color);
  f->JumpMark(2);
  return f;
}

class FigureFeaturesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ogr::RegisterMllDriver(); }

  DatasetPtr Open(const std::string& file) {
    const char* const mll[] = {"MLL", nullptr};
    return DatasetPtr(GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR, mll));
  }

  // A map with one figure of each kind after a header line; returns its file.
  std::string SaveEveryKind(const std::string& name, int32_t mode) {
    clsMap map;
    map.MapMode(mode);
    map.FileName(dir_.File(name));
    map.Add(NewRemark(u"# 欧文地図名　　　：kinds"));
    auto polygon = Attributed<clsMapPolygon>(0x0000FF);
    polygon->Poly()->SetRect(0, 7200, 3600, 0);
    map.Add(polygon);
    auto line = Attributed<clsMapPolyline>(-1);
    line->Poly()->SetLine(-1800, 900, 1800, -900);
    map.Add(line);
    auto symbol = Attributed<clsMapSymbol>(0x00FF00);
    symbol->SetSymbolPoint({5400, -1800});
    map.Add(symbol);
    auto text = Attributed<clsMapText>(0xFF0000);
    text->SetTextPoint({-3600, 1800});
    text->Angle(30);
    text->TextUnicode(1, u"Co^te \"A\"");
    text->TextUnicode(2, u"東京");
    map.Add(text);
    EXPECT_EQ(map.Save(), 0);
    return dir_.Path(name).string();
  }

  ScratchFolder dir_;
};

TEST_F(FigureFeaturesTest, EachKindInItsLayerWithFieldsAndStyle) {
  DatasetPtr ds = Open(SaveEveryKind("kinds.MLL", 1));
  ASSERT_TRUE(ds);
  EXPECT_STREQ(ds->GetMetadataItem("欧文地図名"), "kinds");
  OGRLayer* polygons = ds->GetLayerByName("polygons");
  OGRLayer* lines = ds->GetLayerByName("polylines");
  OGRLayer* symbols = ds->GetLayerByName("symbols");
  OGRLayer* texts = ds->GetLayerByName("texts");
  ASSERT_TRUE(polygons && lines && symbols && texts);

  std::unique_ptr<OGRFeature> polygon(polygons->GetNextFeature());
  ASSERT_TRUE(polygon);
  EXPECT_EQ(polygon->GetFID(), polygon->GetFieldAsInteger("fig_index"));
  EXPECT_STREQ(polygon->GetFieldAsString("color"), "#FF0000");
  EXPECT_EQ(polygon->GetFieldAsInteger("admin"), 3);
  EXPECT_EQ(polygon->GetFieldAsInteger("thing"), 7);
  EXPECT_EQ(polygon->GetFieldAsInteger("jump_mark"), 2);
  EXPECT_STREQ(polygon->GetFieldAsString("thing_name"), "");  // no thing file beside it
  EXPECT_STREQ(polygon->GetStyleString(), "BRUSH(fc:#FF0000);PEN(c:#FF0000)");
  OGREnvelope env;
  polygon->GetGeometryRef()->getEnvelope(&env);
  EXPECT_DOUBLE_EQ(env.MaxX, 1.0);
  EXPECT_DOUBLE_EQ(env.MaxY, 2.0);

  std::unique_ptr<OGRFeature> line(lines->GetNextFeature());
  ASSERT_TRUE(line);
  EXPECT_STREQ(line->GetFieldAsString("color"), "");
  EXPECT_EQ(line->GetGeometryRef()->toLineString()->getX(0), -0.5);
  EXPECT_STREQ(line->GetStyleString(), "PEN(c:#808080)");  // neither own nor thing colour

  std::unique_ptr<OGRFeature> symbol(symbols->GetNextFeature());
  ASSERT_TRUE(symbol);
  EXPECT_EQ(symbol->GetGeometryRef()->toPoint()->getX(), 1.5);
  EXPECT_EQ(symbol->GetGeometryRef()->toPoint()->getY(), -0.5);

  std::unique_ptr<OGRFeature> text(texts->GetNextFeature());
  ASSERT_TRUE(text);
  EXPECT_STREQ(text->GetFieldAsString("text"), "東京");
  EXPECT_STREQ(text->GetFieldAsString("text_latin"), "Côte \"A\"");
  EXPECT_EQ(text->GetFieldAsInteger("angle"), 30);
  EXPECT_STREQ(text->GetStyleString(), "LABEL(t:\"東京\",c:#0000FF,a:30)");
  EXPECT_EQ(texts->GetFeature(polygon->GetFID()), nullptr);  // an ID of another layer
}

TEST_F(FigureFeaturesTest, XyMapHasNoCrsAndKeepsStoredNumbers) {
  DatasetPtr ds = Open(SaveEveryKind("kinds.MXY", 2));
  ASSERT_TRUE(ds);
  OGRLayer* symbols = ds->GetLayerByName("symbols");
  EXPECT_EQ(symbols->GetSpatialRef(), nullptr);
  std::unique_ptr<OGRFeature> symbol(symbols->GetNextFeature());
  EXPECT_EQ(symbol->GetGeometryRef()->toPoint()->getX(), 5400);
}

// A damaged map whose figure identifier lies outside every date: the feature is an error of its
// own, the others are read, and no exception reaches GDAL's host program.
TEST_F(FigureFeaturesTest, UnreadableFigureIsAnErrorOfItsFeatureAlone) {
  clsMap map;
  map.FileName(dir_.File("damaged.MLL"));
  for (int i = 0; i < 3; ++i) {
    auto polygon = Attributed<clsMapPolygon>(0x0000FF);
    polygon->Poly()->SetRect(i * 100, 100, i * 100 + 50, 0);
    if (i == 1) polygon->FigID(1e300);
    map.Add(polygon);
  }
  ASSERT_EQ(map.Save(), 0);
  DatasetPtr ds = Open(dir_.Path("damaged.MLL").string());
  ASSERT_TRUE(ds);
  OGRLayer* polygons = ds->GetLayerByName("polygons");
  CPLPushErrorHandler(CPLQuietErrorHandler);
  CPLErrorReset();
  int read = 0;
  for (auto& feature : *polygons) read += feature != nullptr;
  const std::string error = CPLGetLastErrorMsg();
  CPLPopErrorHandler();
  EXPECT_EQ(read, 2);
  EXPECT_NE(error.find("cannot be read and is left out"), std::string::npos) << error;
  // An export would miss that feature: it fails and writes nothing.
  const std::string out = dir_.Path("damaged.gpkg").string();
  ogr::ExportRequest request;
  request.map = dir_.Path("damaged.MLL").string();
  request.out = out;
  const ogr::ExportResult result = ogr::ExportMap(request);
  EXPECT_NE(result.error.find("cannot be read"), std::string::npos) << result.error;
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace picmap::test
