// Writing through GDAL keeps what it replaces until the new file is whole: an export over an
// existing output, and the driver writing a map over an existing map (which GDAL asks it to
// delete first), each failing at every step of putting the new file in place.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <fstream>
#include <memory>
#include <string>

#include "../fault_injection.h"
#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/map_helpers.h"
#include "ogr/map_export.h"
#include "ogr/mll_driver.h"

namespace picmap::test {
namespace {

std::string Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class StagedWritesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ogr::RegisterMllDriver();
    GDALAllRegister();
  }

  // A map of `squares` squares; returns its path.
  std::string SaveMap(const std::string& name, int squares) {
    clsMap map;
    map.FileName(dir_.File(name));
    for (int i = 0; i < squares; ++i) {
      auto p = std::make_shared<clsMapPolygon>();
      p->Admin(0);
      p->Thing(1);
      p->Poly()->SetRect(i * 100, 100, i * 100 + 50, 0);
      map.Add(p);
    }
    map.Modify(true);
    EXPECT_EQ(map.Save(), 0);
    return dir_.Path(name).string();
  }

  // Writes one square through the driver, as ogr2ogr -f MLL does.
  void WriteThroughDriver(const std::string& out) {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("MLL");
    GDALDataset* ds = driver->Create(out.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!ds) return;  // the failure came while it tried the place
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    OGRLayer* layer = ds->CreateLayer("polygons", &wgs84, wkbPolygon);
    OGRFeature feature(layer->GetLayerDefn());
    OGRGeometry* square = nullptr;
    OGRGeometryFactory::createFromWkt("POLYGON ((1 1,1 2,2 2,2 1,1 1))", &wgs84, &square);
    feature.SetGeometryDirectly(square);
    ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    GDALClose(ds);
  }

  ScratchFolder dir_;
};

TEST_F(StagedWritesTest, ExportFailingAtAnyStepKeepsTheOldOutput) {
  const std::string out = dir_.Path("out.gpkg").string();
  ogr::ExportRequest request;
  request.map = SaveMap("a.MLL", 3);
  request.out = out;
  request.overwrite = true;
  ASSERT_EQ(ogr::ExportMap(request).error, "");
  const std::string old = Bytes(out);
  request.map = SaveMap("b.MLL", 7);
  int step = 1;
  for (;; ++step) {
    const SaveStepFault fail(step, SaveStepFault::Kind::Fail);
    const ogr::ExportResult result = ogr::ExportMap(request);
    if (!SaveStepFault::Reached()) break;
    EXPECT_FALSE(result.error.empty()) << step;
    EXPECT_EQ(Bytes(out), old) << step;
    EXPECT_TRUE(TemporaryFiles(dir_.Root()).empty()) << step;
  }
  EXPECT_GE(step, 4);
  EXPECT_NE(Bytes(out), old);
}

// GeoJSON's and KML's writers close a file cut short by a full disk as written: such an
// export fails, and the output it would replace stays.
TEST_F(StagedWritesTest, AnExportCutShortFailsInEveryTextFormat) {
  ogr::ExportRequest request;
  request.overwrite = true;
  for (const char* name : {"out.geojson", "out.kml"}) {
    request.out = dir_.Path(name).string();
    request.map = SaveMap("small.MLL", 1);
    ASSERT_EQ(ogr::ExportMap(request).error, "") << name;
    const std::string old = Bytes(request.out);
    request.map = SaveMap("large.MLL", 400);
    ogr::ExportResult result;
    {
      const ScopedFileSizeLimit limit(old.size() + 4096);
      result = ogr::ExportMap(request);
    }
    EXPECT_NE(result.error, "") << name;
    EXPECT_EQ(Bytes(request.out), old) << name;
  }
}

// A map exported to a map file keeps its own thing file, and one written over keeps the map and
// thing file it replaces under backup names.
TEST_F(StagedWritesTest, AMapExportedToAMapKeepsItsThingsAndWhatItReplaces) {
  const std::string things = Bytes(std::filesystem::path(PICMAP_SOURCE_DIR) / "data/PICMAP.THG") +
                             "\r\n[THING]\r\nNUMBER=5\r\nFIGURE=POLYGON\r\nNAME=\"mine\"\r\nCATEGORY=2\r\n";
  ogr::ExportRequest request;
  request.map = SaveMap("a.MLL", 2);
  std::ofstream(dir_.Path("a.THG"), std::ios::binary) << things;
  request.out = dir_.Path("b.MLL").string();
  ASSERT_EQ(ogr::ExportMap(request).error, "");
  EXPECT_NE(Bytes(dir_.Path("b.THG")).find("NAME=\"mine\""), std::string::npos);
  request.overwrite = true;
  const ogr::ExportResult again = ogr::ExportMap(request);
  ASSERT_EQ(again.error, "");
  EXPECT_EQ(again.keptBackups.size(), 3u);  // map, thing file, QGIS style
  EXPECT_NE(Bytes(dir_.Path("b.THG")).find("NAME=\"mine\""), std::string::npos);
}

TEST_F(StagedWritesTest, DriverWritingOverAMapKeepsItUntilTheNewOneIsWhole) {
  const std::string map = SaveMap("m.MLL", 5);
  const std::string old = Bytes(map);
  int step = 1;
  for (;; ++step) {
    const SaveStepFault fail(step, SaveStepFault::Kind::Fail);
    CPLPushErrorHandler(CPLQuietErrorHandler);
    WriteThroughDriver(map);
    CPLPopErrorHandler();
    if (!SaveStepFault::Reached()) break;
    EXPECT_EQ(Bytes(map), old) << step;
    EXPECT_TRUE(TemporaryFiles(dir_.Root()).empty()) << step;
  }
  EXPECT_GE(step, 8);  // the map and its thing file
  EXPECT_NE(Bytes(map), old);
  // The map it replaced is kept under its backup name, as every save of a map keeps it.
  int kept = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_.Root()))
    kept += e.path().extension() == ".MLL" && Bytes(e.path()) == old;
  EXPECT_EQ(kept, 1);
}

}  // namespace
}  // namespace picmap::test
