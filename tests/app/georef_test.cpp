#include "app/georef.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <gtest/gtest.h>

#include "app_fixture.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>

#include "support/errors.h"
#include "support/text.h"

using namespace picmap;

namespace {

using MapFn = std::function<void(double, double, double&, double&)>;

// Points of a 400 x 300 picture placed by `f`, on a skewed grid so no three are in line by
// accident.
ControlPointSet PointsOf(const MapFn& f, int n = 12) {
  ControlPointSet set;
  set.crs = "EPSG:3857";  // plain numbers, not longitudes and latitudes
  for (int i = 0; i < n; ++i) {
    ControlPoint p;
    p.pixelX = 20 + (i * 137) % 360;
    p.pixelY = 15 + (i * 89) % 270;
    f(p.pixelX, p.pixelY, p.mapX, p.mapY);
    set.points.push_back(p);
  }
  return set;
}

// The fit reproduces `f` at a pixel that is not a control point, both ways. A polynomial's way
// back is a polynomial fitted of its own, near the inverse only; the residuals, measured that
// way, are as small as that.
void ExpectRecovers(TransformKind kind, const MapFn& f, double mapSlack = 1e-7,
                    double pixelSlack = 1e-4) {
  const ControlPointFit fit = FitControlPoints(PointsOf(f), kind, 400, 300);
  EXPECT_LT(fit.rmsPixels, pixelSlack) << TransformName(kind);
  double x, y, ex, ey;
  ASSERT_TRUE(fit.transform->ToMap(333.3, 44.4, x, y));
  f(333.3, 44.4, ex, ey);
  EXPECT_NEAR(x, ex, mapSlack) << TransformName(kind);
  EXPECT_NEAR(y, ey, mapSlack) << TransformName(kind);
  double px, py;
  ASSERT_TRUE(fit.transform->ToPixel(ex, ey, px, py));
  EXPECT_NEAR(px, 333.3, pixelSlack) << TransformName(kind);
  EXPECT_NEAR(py, 44.4, pixelSlack) << TransformName(kind);
}

std::string FailureOf(const ControlPointSet& set, TransformKind kind) {
  try {
    FitControlPoints(set, kind, 400, 300);
  } catch (const Error& e) {
    return ToUtf8(e.Description());
  }
  return "accepted";
}

}  // namespace

TEST(ControlPointFit, EachTransformationRecoversAPlacementOfItsOwnKind) {
  // Degrees east and north: rows run south, so every placement turns the y axis over.
  const MapFn scaled = [](double px, double py, double& x, double& y) {
    x = 130 + px * 0.01;
    y = 40 - py * 0.02;
  };
  const double c = std::cos(0.3), s = std::sin(0.3);
  const MapFn turned = [=](double px, double py, double& x, double& y) {
    x = 500000 + 30 * (c * px + s * py);
    y = 4000000 + 30 * (s * px - c * py);
  };
  const MapFn skewed = [](double px, double py, double& x, double& y) {
    x = 130 + px * 0.01 + py * 0.002;
    y = 40 + px * 0.001 - py * 0.02;
  };
  const MapFn perspective = [](double px, double py, double& x, double& y) {
    const double d = 1 + 0.0004 * px + 0.0002 * py;
    x = (130 + px * 0.01) / d;
    y = (40 - py * 0.02) / d;
  };
  const MapFn curved = [](double px, double py, double& x, double& y) {
    x = 130 + px * 0.01 + px * py * 1e-6;
    y = 40 - py * 0.02 + px * px * 2e-6;
  };
  ExpectRecovers(TransformKind::Linear, scaled);
  ExpectRecovers(TransformKind::Helmert, turned);
  ExpectRecovers(TransformKind::Poly1, skewed);
  ExpectRecovers(TransformKind::Poly2, curved, 1e-7, 0.05);
  ExpectRecovers(TransformKind::Poly3, curved, 1e-7, 0.01);
  ExpectRecovers(TransformKind::Projective, perspective);
  // A spline passes through its points and bends smoothly between them.
  ExpectRecovers(TransformKind::ThinPlateSpline, skewed);
}

TEST(ControlPointFit, ResidualsAreInPixelsAndLeaveDisabledPointsOut) {
  ControlPointSet set = PointsOf([](double px, double py, double& x, double& y) {
    x = 130 + px * 0.01;
    y = 40 - py * 0.01;
  }, 5);
  set.points[4].mapX += 0.03;  // three pixels off
  set.points[4].enabled = false;
  ControlPointFit fit = FitControlPoints(set, TransformKind::Poly1, 400, 300);
  EXPECT_LT(fit.rmsPixels, 1e-6);
  EXPECT_NEAR(fit.points[4].residualX, 3, 1e-6);
  set.points[4].enabled = true;
  fit = FitControlPoints(set, TransformKind::Poly1, 400, 300);
  EXPECT_GT(fit.rmsPixels, 0.5);
}

TEST(ControlPointFit, RefusesWhatCannotPlaceThePicture) {
  const ControlPointSet three = PointsOf([](double px, double py, double& x, double& y) {
    x = px, y = -py;
  }, 3);
  EXPECT_NE(FailureOf(three, TransformKind::Projective).find("4"), std::string::npos);
  ControlPointSet inLine;
  for (int i = 0; i < 5; ++i) inLine.points.push_back({10.0 + 50 * i, 10.0 + 30 * i, 1.0 * i, -1.0 * i});
  EXPECT_NE(FailureOf(inLine, TransformKind::Poly1), "accepted");
  ControlPointSet outside = three;
  outside.points[0].pixelX = 401;
  EXPECT_NE(FailureOf(outside, TransformKind::Poly1), "accepted");
  // A bend strong enough to turn the right part of the picture back over the left.
  const ControlPointSet folded = PointsOf([](double px, double py, double& x, double& y) {
    x = px - px * px / 250.0;
    y = -py;
  });
  EXPECT_NE(FailureOf(folded, TransformKind::Poly2).find("poly2"), std::string::npos);
  ControlPointSet beyondThePole;  // in degrees
  beyondThePole.points = {{0, 0, 10, 80}, {300, 0, 30, 80}, {0, 200, 10, 95}};
  EXPECT_NE(FailureOf(beyondThePole, TransformKind::Poly1).find("基準点 3"), std::string::npos);
}

// A picture of the Pacific placed by points at 170° east and 170° west spans 20°, not 340°.
TEST(ControlPointFit, PointsAcrossThe180thMeridianSpanItTheShortWay) {
  ControlPointSet set = PointsOf([](double px, double py, double& x, double& y) {
    x = std::remainder(165 + px / 20, 360.0);  // 165°E to 175°W over the picture
    y = 40 - py / 20;
  });
  set.crs.clear();
  const ControlPointFit fit = FitControlPoints(set, TransformKind::Poly1, 400, 300);
  EXPECT_LT(fit.rmsPixels, 1e-6);
  double x, y;
  ASSERT_TRUE(fit.transform->ToMap(400, 0, x, y));
  EXPECT_NEAR(x, 185, 1e-6);
  // A map of the world's middle, 100° west to 100° east, runs east as read and stays so.
  ControlPointSet world = PointsOf([](double px, double py, double& x, double& y) {
    x = -100 + px / 2;
    y = 60 - py / 5;
  });
  world.crs.clear();
  ASSERT_TRUE(FitControlPoints(world, TransformKind::Poly1, 400, 300).transform->ToMap(400, 0, x, y));
  EXPECT_NEAR(x, 100, 1e-6);
}

TEST(PointsFile, WritesWhatItReadsBackExactly) {
  ControlPointSet set = PointsOf([](double px, double py, double& x, double& y) {
    x = 139.1 + px / 3e3;
    y = 35.7 - py / 7e3;
  }, 6);
  set.points[2].enabled = false;
  set.crs = CrsFromUserInput("EPSG:4326");
  const ControlPointFit fit = FitControlPoints(set, TransformKind::Poly1, 400, 300);
  set.points = fit.points;
  const auto file = std::filesystem::temp_directory_path() / "picmap_points_test.points";
  WritePointsFile(FromUtf8(file.string()), set);
  const ControlPointSet back = ReadPointsFile(FromUtf8(file.string()));
  std::filesystem::remove(file);
  ASSERT_EQ(back.points.size(), set.points.size());
  for (size_t i = 0; i < set.points.size(); ++i) {
    EXPECT_EQ(back.points[i].pixelX, set.points[i].pixelX);
    EXPECT_EQ(back.points[i].pixelY, set.points[i].pixelY);
    EXPECT_EQ(back.points[i].mapX, set.points[i].mapX);
    EXPECT_EQ(back.points[i].mapY, set.points[i].mapY);
    EXPECT_EQ(back.points[i].enabled, set.points[i].enabled);
  }
  EXPECT_EQ(FitControlPoints(back, TransformKind::Poly1, 400, 300).rmsPixels, fit.rmsPixels);
}

// Strips of the grid are warped side by side; they must join into the same picture one thread
// makes, with the picture's outside left unmapped.
TEST(PlaceOnLonLatGrid, WarpsTheSameOnOneThreadOrMany) {
  Picture source(300, 200, 0x0000FF);
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 300; ++x)
      if ((x / 30 + y / 25) % 2) source.Set(x, y, 0x00FF00 + x % 7);
  const double utm[6] = {300000, 2000, 0, 4.5e6, 0, -2000};  // 2 km pixels in UTM zone 54
  const Georeference georef{CrsFromUserInput("EPSG:32654"), AffineTransform(utm), "test"};
  WarpLimits one, many;
  one.threads = 1;
  many.threads = 5;
  const PlacedPicture a = PlaceOnLonLatGrid(source, georef, one);
  const PlacedPicture b = PlaceOnLonLatGrid(source, georef, many);
  ASSERT_TRUE(a.warped);
  ASSERT_EQ(a.picture.width, b.picture.width);
  ASSERT_EQ(a.picture.height, b.picture.height);
  EXPECT_EQ(a.west, b.west);
  EXPECT_EQ(a.north, b.north);
  size_t outside = 0;
  for (int32_t y = 0; y < a.picture.height; ++y)
    for (int32_t x = 0; x < a.picture.width; ++x) {
      ASSERT_EQ(a.picture.At(x, y), b.picture.At(x, y)) << x << "," << y;
      ASSERT_EQ(a.picture.Inside(x, y), b.picture.Inside(x, y)) << x << "," << y;
      outside += !a.picture.Inside(x, y);
    }
  // The zone's grid lines bend against the meridians: the grid's corners lie outside it.
  EXPECT_GT(outside, 0u);
  EXPECT_GT(a.west, 138 * 3600);
  EXPECT_LT(a.east, 147 * 3600);
}

// A polar stereographic picture has its pole inside and no edge near it: the grid must reach
// the pole and go round the world, or the cap round the pole is lost.
TEST(PlaceOnLonLatGrid, APolarPictureReachesItsPole) {
  Picture source(200, 200, 0xFFFFFF);
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 200; ++x)
      if (std::hypot(x - 100, y - 100) < 40) source.Set(x, y, 0x0000FF);  // 800 km round the pole
  const double grid[6] = {-2e6, 20000, 0, 2e6, 0, -20000};
  for (const char* crs : {"EPSG:3413", "EPSG:3031"}) {
    const Georeference georef{CrsFromUserInput(crs), AffineTransform(grid), "test"};
    const PlacedPicture placed = PlaceOnLonLatGrid(source, georef, WarpLimits());
    const bool north = std::string(crs) == "EPSG:3413";
    EXPECT_EQ(north ? placed.north : -placed.south, 90 * 3600) << crs;
    EXPECT_EQ((placed.east - placed.west) % 1296000, 0) << crs << ": round the world";
    const int32_t poleRow = north ? 0 : placed.picture.height - 1;
    int32_t red = 0;
    for (int32_t x = 0; x < placed.picture.width; ++x) red += placed.picture.At(x, poleRow) == 0x0000FF;
    EXPECT_EQ(red, placed.picture.width) << crs << ": the row at the pole is the cap's";
  }
}

// A whole-world Web Mercator picture spans 180° W to 180° E: the grid must reach both edges,
// and every picture edge, though the suggested grid stops at whole pixels.
TEST(PlaceOnLonLatGrid, TheGridReachesEveryEdgeOfThePicture) {
  constexpr double kHalf = 20037508.342789244;
  Picture source(256, 256, 0x0000FF);
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 128; x < 256; ++x) source.Set(x, y, 0xFF0000);
  const double grid[6] = {-kHalf, 2 * kHalf / 256, 0, kHalf, 0, -2 * kHalf / 256};
  const Georeference georef{CrsFromUserInput("EPSG:3857"), AffineTransform(grid), "test"};
  const PlacedPicture placed = PlaceOnLonLatGrid(source, georef, WarpLimits());
  EXPECT_EQ(placed.west, -648000);
  EXPECT_EQ(placed.east, 648000);
  const int32_t row = placed.picture.height / 2, last = placed.picture.width - 1;
  EXPECT_EQ(placed.picture.At(last, row), 0xFF0000) << "the east edge column is the picture's";
  EXPECT_EQ(placed.picture.At(0, row), 0x0000FF);

  // A hair west of 180° W is still the west edge, not a sliver at 180° E.
  ControlPointSet set;
  for (const auto& [px, py, lon, lat] : {std::tuple{0.0, 0.0, -180.00000005, 89.0}, {720.0, 0.0, 179.99999995, 88.5},
                                         {720.0, 360.0, 179.99999995, -89.5}, {0.0, 360.0, -180.00000005, -89.0}}) {
    ControlPoint p;
    p.pixelX = px, p.pixelY = py, p.mapX = lon, p.mapY = lat;
    set.points.push_back(p);
  }
  const Georeference hair{"", FitControlPoints(set, TransformKind::Poly1, 720, 360).transform, "test"};
  const PlacedPicture world = PlaceOnLonLatGrid(Picture(720, 360, 0xFF), hair, WarpLimits());
  EXPECT_EQ(world.west, -648000);
  EXPECT_EQ(world.east, 648000);

  const double utm[6] = {300000, 2000, 0, 4.5e6, 0, -2000};
  const Georeference zone{CrsFromUserInput("EPSG:32654"), AffineTransform(utm), "test"};
  const PlacedPicture inZone = PlaceOnLonLatGrid(Picture(300, 200, 0xFF), zone, WarpLimits());
  auto toLonLat = [](double x, double y) {
    OGRSpatialReference from, to;
    from.importFromEPSG(32654);
    to.importFromEPSG(4326);
    to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> t(OGRCreateCoordinateTransformation(&from, &to));
    t->Transform(1, &x, &y);
    return std::pair{x * 3600, y * 3600};
  };
  EXPECT_GE(inZone.east, toLonLat(900000, 4.5e6).first) << "the north-east corner is the farthest east";
  EXPECT_LE(inZone.south, toLonLat(500000, 4.1e6).second) << "the south edge bows south at the zone's centre";
}

// Corners pinned on a longitude/latitude box and one point inside moved: a second-order or
// thin-plate-spline fit bends the inside, so the picture must be warped, not taken as it is.
TEST(PlaceOnLonLatGrid, AFitThatBendsTheInsideOfABoxIsWarped) {
  ControlPointSet set;
  for (const auto& [px, py, lon, lat] : {std::tuple{0.0, 0.0, 130.0, 40.0}, {200.0, 0.0, 140.0, 40.0},
                                         {200.0, 100.0, 140.0, 35.0}, {0.0, 100.0, 130.0, 35.0},
                                         {100.0, 50.0, 135.3, 37.2}, {100.0, 0.0, 135.0, 40.0},
                                         {100.0, 100.0, 135.0, 35.0}, {0.0, 50.0, 130.0, 37.5},
                                         {200.0, 50.0, 140.0, 37.5}}) {
    ControlPoint p;
    p.pixelX = px, p.pixelY = py, p.mapX = lon, p.mapY = lat;
    set.points.push_back(p);
  }
  Picture source(200, 100, 0xFFFFFF);
  source.Set(100, 50, 0x00FF00);
  for (TransformKind kind : {TransformKind::Poly2, TransformKind::ThinPlateSpline}) {
    const Georeference georef{"", FitControlPoints(set, kind, 200, 100).transform, "test"};
    const PlacedPicture placed = PlaceOnLonLatGrid(source, georef, WarpLimits());
    EXPECT_TRUE(placed.warped) << TransformName(kind);
    bool found = false;  // the green pixel lies where the fit takes it, 135.3° E 37.2° N
    const double gx = (135.3 * 3600 - placed.west) * placed.picture.width / (placed.east - placed.west);
    const double gy = (placed.north - 37.2 * 3600) * placed.picture.height / (placed.north - placed.south);
    for (int32_t y = std::max(0, int(gy) - 2); y <= std::min(placed.picture.height - 1, int(gy) + 2); ++y)
      for (int32_t x = std::max(0, int(gx) - 2); x <= std::min(placed.picture.width - 1, int(gx) + 2); ++x)
        found |= placed.picture.At(x, y) == 0x00FF00;
    EXPECT_TRUE(found) << TransformName(kind);
  }
}

// Longitudes counted on past 180° are the same meridians: such a sheet keeps its own pixels.
TEST(PlaceOnLonLatGrid, LongitudesPast180AreTakenAWholeTurnRound) {
  // A hair west of 180° W rounds onto it and stays there.
  const double hair[6] = {-180.0000000001, 0.5, 0, 40, 0, -0.05};
  const PlacedPicture atEdge =
      PlaceOnLonLatGrid(Picture(200, 100, 0xFF), Georeference{"", AffineTransform(hair), "test"}, WarpLimits());
  EXPECT_FALSE(atEdge.warped);
  EXPECT_EQ(atEdge.west, -648000);
  for (const double west : {300.0, -420.0}) {
    const double grid[6] = {west, 0.5, 0, 40, 0, -0.05};
    const PlacedPicture placed =
        PlaceOnLonLatGrid(Picture(200, 100, 0xFF), Georeference{"", AffineTransform(grid), "test"}, WarpLimits());
    EXPECT_FALSE(placed.warped) << west;
    EXPECT_EQ(placed.picture.height, 100) << west;
    EXPECT_EQ(placed.west, -60 * 3600) << west;
    EXPECT_EQ(placed.east, 40 * 3600) << west;
  }
}

// Metre pixels over a few metres land on one 10" pixel: told as such, not as a tiny picture.
TEST(PlaceOnLonLatGrid, APictureOfAFewMetresIsRefusedForItsArea) {
  const double grid[6] = {300000, 0.01, 0, 4.5e6, 0, -0.01};
  const Georeference georef{CrsFromUserInput("EPSG:32654"), AffineTransform(grid), "test"};
  try {
    PlaceOnLonLatGrid(Picture(100, 80, 0xFF), georef, WarpLimits());
    ADD_FAILURE() << "placed";
  } catch (const Error& e) {
    EXPECT_NE(ToUtf8(e.Description()).find("1x1"), std::string::npos) << ToUtf8(e.Description());
  }
}

// A GeoTIFF in UTM opened in the window is placed by its own georeferencing: the picture is
// warped and the extents are the warped grid's, with nothing typed in.
using GeorefWindowTest = test::AppTest;

// A UTM sheet of `metres` pixels, its west edge 100 km west of the zone's 141° E, at 35.2° N.
std::string WriteUtmSheet(const std::filesystem::path& file, double metres) {
  GDALAllRegister();
  std::unique_ptr<GDALDataset> ds(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
      file.string().c_str(), 120, 80, 3, GDT_Byte, nullptr));
  const double utm[6] = {400000, metres, 0, 3900000, 0, -metres};
  ds->SetGeoTransform(const_cast<double*>(utm));
  OGRSpatialReference srs;
  srs.importFromEPSG(32654);
  ds->SetSpatialRef(&srs);
  std::vector<uint8_t> red(120 * 80, 200);
  for (int b = 1; b <= 3; ++b)
    EXPECT_EQ(ds->GetRasterBand(b)->RasterIO(GF_Write, 0, 0, 120, 80, red.data(), 120, 80,
                                               GDT_Byte, 0, 0, nullptr), CE_None);
  return file.string();
}

TEST_F(GeorefWindowTest, AGeoTiffOpensPlacedByItsOwnCrs) {
  const std::string tif = WriteUtmSheet(folder.Path() / "sheet.tif", 1000);
  ASSERT_TRUE(logic->Form_Load());
  win.openAnswers.push_back(FromUtf8(tif));
  logic->mnuOpen_Click();
  ASSERT_TRUE(logic->LastPlacement());
  EXPECT_TRUE(logic->LastPlacement()->warped);
  const ConversionState& s = logic->State();
  EXPECT_NEAR(s.west / 3600.0, 139.9, 0.1);
  EXPECT_NEAR(s.north / 3600.0, 35.24, 0.1);
  EXPECT_EQ(s.east - s.west, logic->LastPlacement()->east - logic->LastPlacement()->west);
  EXPECT_TRUE(win.SourcePicture().footprint);
}

// On a GeoTIFF shown placed by its own CRS, a click goes back through that CRS to the pixel
// as opened; while no control points fit, and once they are gone, the own placement stands.
TEST_F(GeorefWindowTest, ControlPointsOnAGeoTiffTakeThePixelThroughItsCrs) {
  const std::string tif = WriteUtmSheet(folder.Path() / "wide.tif", 8000);  // 960 x 640 km
  ASSERT_TRUE(logic->Form_Load());
  win.openAnswers.push_back(FromUtf8(tif));
  logic->mnuOpen_Click();
  const ConversionState& s = logic->State();
  const int32_t ownWidth = win.SourceWidth(), ownWest = s.west, ownSouth = s.south;
  logic->ShowPictureArea();
  logic->SetControlPointMode(true);
  // Where UTM (900 km, 3500 km) lies on the preview.
  OGRSpatialReference utm, wgs84;
  utm.importFromEPSG(32654);
  wgs84.importFromEPSG(4326);
  wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> toLonLat(OGRCreateCoordinateTransformation(&utm, &wgs84));
  std::unique_ptr<OGRCoordinateTransformation> toUtm(OGRCreateCoordinateTransformation(&wgs84, &utm));
  double x = 900000, y = 3500000;
  ASSERT_TRUE(toLonLat->Transform(1, &x, &y));
  const PreviewView& v = logic->Viewport();
  const auto X = static_cast<float>(v.X(x * 3600)), Y = static_cast<float>(v.Y(y * 3600));
  logic->picDst_MouseDown(mouse::kLeft, 0, X, Y);
  logic->picDst_MouseDown(mouse::kLeft, 0, X + 5, Y + 5);  // its angles, anywhere
  const std::vector<ControlPoint> rows = logic->ControlPointRows();
  ASSERT_EQ(rows.size(), 1u);
  double lon = ((X - v.OffsetX()) / v.Scale() - 648000) / 3600, lat = (324000 - (Y - v.OffsetY()) / v.Scale()) / 3600;
  ASSERT_TRUE(toUtm->Transform(1, &lon, &lat));
  EXPECT_NEAR(rows[0].pixelX, (lon - 400000) / 8000, 0.01);
  EXPECT_NEAR(rows[0].pixelY, (3900000 - lat) / 8000, 0.01);
  EXPECT_EQ(win.SourceWidth(), ownWidth) << "one point fits nothing: the own placement stands";
  const std::string pixel = "画像ピクセル：" + std::to_string(int(rows[0].pixelX)) + ", " +
                            std::to_string(int(rows[0].pixelY));
  EXPECT_NE(ToUtf8(logic->PointerText(X, Y)).find(pixel), std::string::npos)
      << ToUtf8(logic->PointerText(X, Y)) << ": the pixel a control point takes";
  logic->RemoveControlPoint(0);
  EXPECT_EQ(win.SourceWidth(), ownWidth);
  EXPECT_EQ(s.west, ownWest);
  EXPECT_EQ(s.south, ownSouth);
}
