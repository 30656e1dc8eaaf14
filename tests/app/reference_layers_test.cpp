// Reference layers: files GDAL reads, brought onto longitude/latitude, cut for the view and
// thinned for the zoom; rasters read for the part in view.
#include <gdal_priv.h>

#include <cmath>

#include "app/reference_layers.h"
#include "app_fixture.h"
#include "support/errors.h"

namespace picmap::test {
namespace {

constexpr double kDeg = 3600;

class ReferenceLayersTest : public AppTest {
 protected:
  std::u16string Json(const std::string& name, const std::string& text) {
    folder.Write(name, text);
    return folder.File(name);
  }
  // A west-east line along 35° N from 130° E to 140° E with `n` points.
  std::u16string Parallel(int n) {
    std::string coords;
    for (int i = 0; i < n; ++i)
      coords.append(i ? ",[" : "[").append(std::to_string(130.0 + 10.0 * i / (n - 1))).append(",35]");
    return Json("line.geojson", R"({"type":"FeatureCollection","features":[{"type":"Feature",
      "properties":{},"geometry":{"type":"LineString","coordinates":[)" + coords + "]}}]}");
  }
  // A 4 x 2 GeoTIFF: the left half red, the right half blue, over 130° E..138° E, 40° N..36° N.
  std::u16string Raster(const char* srsWkt = nullptr, const double* gt = nullptr) {
    GDALAllRegister();
    const std::string path = ToUtf8(folder.File("raster.tif"));
    GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDataset* ds = tiff->Create(path.c_str(), 4, 2, 3, GDT_Byte, nullptr);
    const double lonLat[6] = {130, 2, 0, 40, 0, -2};
    ds->SetGeoTransform(const_cast<double*>(gt ? gt : lonLat));
    OGRSpatialReference wgs;
    wgs.importFromEPSG(4326);
    if (srsWkt) ds->SetProjection(srsWkt);
    else ds->SetSpatialRef(&wgs);
    const uint8_t red[8] = {255, 255, 0, 0, 255, 255, 0, 0}, blue[8] = {0, 0, 255, 255, 0, 0, 255, 255};
    const uint8_t none[8] = {};
    EXPECT_EQ(ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 4, 2, const_cast<uint8_t*>(red), 4, 2, GDT_Byte, 0, 0, nullptr), CE_None);
    EXPECT_EQ(ds->GetRasterBand(2)->RasterIO(GF_Write, 0, 0, 4, 2, const_cast<uint8_t*>(none), 4, 2, GDT_Byte, 0, 0, nullptr), CE_None);
    EXPECT_EQ(ds->GetRasterBand(3)->RasterIO(GF_Write, 0, 0, 4, 2, const_cast<uint8_t*>(blue), 4, 2, GDT_Byte, 0, 0, nullptr), CE_None);
    GDALClose(ds);
    return folder.File("raster.tif");
  }
};

TEST_F(ReferenceLayersTest, LinesAreCutIntoRunsAndOnlyTheRunsInViewAreVisited) {
  auto layer = ReferenceLayer::Open(Parallel(1000));
  ASSERT_EQ(layer->GetKind(), ReferenceLayer::Kind::Vector);
  EXPECT_EQ(layer->Name(), u"line.geojson");
  const GeoBox b = layer->Bounds();
  EXPECT_NEAR(b.west, 130 * kDeg, 1e-6);
  EXPECT_NEAR(b.east, 140 * kDeg, 1e-6);
  EXPECT_NEAR(b.north, 35 * kDeg, 1e-6);
  const LineStore& all = layer->AllLines();
  EXPECT_GE(all.RunCount(), 1000u / LineStore::kRunPoints);
  // Neighbouring runs share their end points, so the line stays whole.
  EXPECT_EQ(all.PointCount(), 1000 + all.RunCount() - 1);

  size_t visited = 0, points = 0;
  const GeoBox nearTokyo{139.5 * kDeg, 140.5 * kDeg, 34 * kDeg, 36 * kDeg};
  all.ForEachRunIn(nearTokyo, [&](const double*, uint32_t n) { ++visited, points += n; });
  EXPECT_EQ(visited, 1u);
  EXPECT_LE(points, LineStore::kRunPoints);
  visited = 0;
  all.ForEachRunIn({0, 10 * kDeg, 0, 10 * kDeg}, [&](const double*, uint32_t) { ++visited; });
  EXPECT_EQ(visited, 0u);
}

TEST_F(ReferenceLayersTest, ThinningKeepsTheEndsAndDropsDetailBelowAPixel) {
  auto layer = ReferenceLayer::Open(Parallel(1000));
  // The whole world in 720 pixels: 1800″ a pixel, while the points lie 36″ apart.
  const LineStore& coarse = layer->LinesFor(720 / 1296000.0);
  EXPECT_LT(coarse.PointCount(), layer->AllLines().PointCount() / 4);
  double west = 1e9, east = -1e9;
  coarse.ForEachRunIn(coarse.Bounds(), [&](const double* p, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) west = std::min(west, p[2 * i]), east = std::max(east, p[2 * i]);
  });
  EXPECT_DOUBLE_EQ(west, 130 * kDeg);
  EXPECT_DOUBLE_EQ(east, 140 * kDeg);
  // Zoomed in far, every point is drawn; the same zoom octave gives back the same copy.
  EXPECT_EQ(layer->LinesFor(1.0).PointCount(), layer->AllLines().PointCount());
  EXPECT_EQ(&layer->LinesFor(720 / 1296000.0), &layer->LinesFor(760 / 1296000.0));
}

TEST_F(ReferenceLayersTest, ProjectedLayersComeOntoLongitudeAndLatitude) {
  // 140° E, 35° N in web Mercator.
  const std::u16string path = Json("mercator.geojson", R"({"type":"FeatureCollection",
    "crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::3857"}},
    "features":[{"type":"Feature","properties":{},"geometry":{"type":"LineString",
    "coordinates":[[15584728.71,4163881.14],[15696048.20,4163881.14]]}}]})");
  auto layer = ReferenceLayer::Open(path);
  const GeoBox b = layer->Bounds();
  EXPECT_NEAR(b.west / kDeg, 140, 1e-6);
  EXPECT_NEAR(b.east / kDeg, 141, 1e-6);
  EXPECT_NEAR(b.south / kDeg, 35, 1e-6);
}

TEST_F(ReferenceLayersTest, UnreadableFilesAreRefusedWithTheirNameAndReason) {
  folder.Write("notes.txt", "nothing to see");
  const std::u16string notes = folder.File("notes.txt");
  try {
    ReferenceLayer::Open(notes);
    FAIL() << "a text file was taken";
  } catch (const Error& e) {
    EXPECT_EQ(e.Description().rfind(notes, 0), 0u) << ToUtf8(e.Description());
  }
  // A picture without georeferencing says so.
  folder.Write("plain.bmp", "BM");
  EXPECT_THROW(ReferenceLayer::Open(folder.File("plain.bmp")), Error);
  // Through the logic: one message naming the file, nothing added.
  ASSERT_TRUE(logic->Form_Load());
  EXPECT_FALSE(logic->AddReferenceLayer(notes));
  ASSERT_EQ(win.messages.size(), 1u);
  EXPECT_EQ(win.messages[0].text, notes + u"\r\nを参照レイヤーとして読み込めませんでした.");
  EXPECT_FALSE(win.messages[0].detail.empty());
  EXPECT_EQ(logic->References().Count(), 0u);
}

TEST_F(ReferenceLayersTest, RasterPatchCoversThePartInViewWithItsColours) {
  auto layer = ReferenceLayer::Open(Raster());
  ASSERT_EQ(layer->GetKind(), ReferenceLayer::Kind::Raster);
  // The view shows 120° E..150° E: the patch is the raster's 130° E..138° E at 0.01 px/″.
  const GeoBox view{120 * kDeg, 150 * kDeg, 20 * kDeg, 50 * kDeg};
  const RasterPatch& patch = layer->PatchFor(view, 0.01);
  EXPECT_DOUBLE_EQ(patch.box.west, 130 * kDeg);
  EXPECT_DOUBLE_EQ(patch.box.east, 138 * kDeg);
  EXPECT_DOUBLE_EQ(patch.box.north, 40 * kDeg);
  ASSERT_EQ(patch.width, 288);
  ASSERT_EQ(patch.height, 144);
  EXPECT_EQ(patch.argb[10 * 288 + 10], 0xFFFF0000u);   // red, opaque
  EXPECT_EQ(patch.argb[10 * 288 + 280], 0xFF0000FFu);  // blue
  // Nothing of it in view: nothing read.
  EXPECT_TRUE(layer->PatchFor({0, 10 * kDeg, 0, 10 * kDeg}, 0.01).argb.empty());
}

TEST_F(ReferenceLayersTest, ARasterOffTheGridIsWarpedAndSeeThroughAroundIt) {
  OGRSpatialReference mercator;
  mercator.importFromEPSG(3857);
  char* wkt = nullptr;
  mercator.exportToWkt(&wkt);
  const double gt[6] = {14471533.8, 200000, 0, 4865942.3, 0, -200000};  // from 130° E, 40° N
  auto layer = ReferenceLayer::Open(Raster(wkt, gt));
  CPLFree(wkt);
  const GeoBox b = layer->Bounds();
  EXPECT_NEAR(b.west / kDeg, 130, 0.05);
  EXPECT_NEAR(b.north / kDeg, 40, 0.05);
  const RasterPatch& patch = layer->PatchFor(b, 0.01);
  ASSERT_FALSE(patch.argb.empty());
  EXPECT_EQ(patch.argb[size_t(patch.height / 2) * patch.width + 2], 0xFFFF0000u);
}

}  // namespace
}  // namespace picmap::test
