#include "app/world_file.h"

#include "app_fixture.h"

#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <QImage>
#include <QString>

#include <clocale>
#include <filesystem>
#include <fstream>

#include "support/text.h"

using namespace picmap;

namespace {

WorldFileTerms Terms(double a, double e, double c, double f, double d = 0, double b = 0) {
  return WorldFileTerms{a, d, b, e, c, f};
}

}  // namespace

TEST(WorldFile, WholeWorldFromTenthDegreePixels) {
  auto r = ExtentsFromWorldFile(Terms(0.1, -0.1, -179.95, 89.95), 3600, 1800);
  ASSERT_TRUE(r.extents) << ToUtf8(r.message);
  EXPECT_EQ(r.extents->west, -648000);
  EXPECT_EQ(r.extents->east, 648000);
  EXPECT_EQ(r.extents->north, 324000);
  EXPECT_EQ(r.extents->south, -324000);
}

TEST(WorldFile, EdgesRoundHalfToEvenSeconds) {
  // Edges at 1/32 and 3/32 degree are 112.5" and 337.5" exactly: they round to 112 and 338.
  auto r = ExtentsFromWorldFile(Terms(0.25, -0.25, 0.125 + 1.0 / 32, -1.0 / 32), 16, 16);
  ASSERT_TRUE(r.extents) << ToUtf8(r.message);
  EXPECT_EQ(r.extents->west, 112);
  EXPECT_EQ(r.extents->east, 14512);
  EXPECT_EQ(r.extents->north, 338);
  EXPECT_EQ(r.extents->south, -14062);
}

TEST(WorldFile, RefusesRotationFlippedPixelsAndEdgesOutOfRange) {
  EXPECT_FALSE(ExtentsFromWorldFile(Terms(0.1, -0.1, 0, 0, 0.01, 0), 10, 10).extents);
  EXPECT_FALSE(ExtentsFromWorldFile(Terms(0.1, -0.1, 0, 0, 0, 0.01), 10, 10).extents);
  EXPECT_FALSE(ExtentsFromWorldFile(Terms(0.1, 0.1, 0, 0), 10, 10).extents);
  EXPECT_FALSE(ExtentsFromWorldFile(Terms(0.1, -0.1, 179.0, 0), 100, 10).extents);
  EXPECT_FALSE(ExtentsFromWorldFile(Terms(0.1, -0.1, 0, 89.99), 10, 10).extents);
  auto r = ExtentsFromWorldFile(Terms(1e300, -0.1, 0, 0), 10, 10);
  EXPECT_FALSE(r.extents);
  EXPECT_FALSE(r.message.empty());
}

// Edges that round to the same longitude would read as an area once round the globe.
TEST(WorldFile, RefusesAnAreaNarrowerThanThirtySecondsInLongitude) {
  auto r = ExtentsFromWorldFile(Terms(1e-6, -0.1, 10.0, 10.0), 16, 16);
  EXPECT_FALSE(r.extents);
  EXPECT_FALSE(r.message.empty());
  EXPECT_FALSE(ExtentsFromWorldFile(Terms(29.0 / 3600 / 16, -0.1, 10.0, 10.0), 16, 16).extents);
  EXPECT_TRUE(ExtentsFromWorldFile(Terms(30.0 / 3600 / 16, -0.1, 10.0, 10.0), 16, 16).extents);
}

TEST(WorldFile, ParsesSixNumbersAndRejectsOthers) {
  auto t = ParseWorldFile("0.1\r\n0\r\n0\r\n-0.1\r\n-179.95\r\n89.95\r\n");
  ASSERT_TRUE(t);
  EXPECT_DOUBLE_EQ(t->c, -179.95);
  EXPECT_DOUBLE_EQ(t->f, 89.95);
  EXPECT_FALSE(ParseWorldFile("0.1\n0\n0\n-0.1\n-179.95\n"));
  EXPECT_FALSE(ParseWorldFile("0.1\n0\n0\n-0.1\nwest\n89.95\n"));
}

// The window runs under the user's locale; a world file always writes a decimal point.
TEST(WorldFile, ParsesThePointWhateverTheLocale) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
    if (std::setlocale(LC_ALL, name)) {
      comma = name;
      break;
    }
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma installed";
  auto t = ParseWorldFile("0.25\n0\n0\n-0.25\n+120.125\n39.875\n");
  std::setlocale(LC_ALL, before.c_str());
  ASSERT_TRUE(t) << comma;
  EXPECT_DOUBLE_EQ(t->a, 0.25);
  EXPECT_DOUBLE_EQ(t->c, 120.125);
}

TEST(WorldFile, FoundBesideThePictureInAnyLetterCase) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "picmap_world_file_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "japan.png") << "x";
  EXPECT_EQ(FindWorldFile(FromUtf8((dir / "japan.png").string())), u"");
  std::ofstream(dir / "japan.PGW") << "0.1\n0\n0\n-0.1\n-179.95\n89.95\n";
  EXPECT_EQ(FindWorldFile(FromUtf8((dir / "japan.png").string())),
            FromUtf8((dir / "japan.PGW").string()));
  auto r = ExtentsForPicture(FromUtf8((dir / "japan.png").string()), 3600, 1800);
  ASSERT_TRUE(r.extents);
  EXPECT_EQ(r.extents->east, 648000);
  std::ofstream(dir / "photo.jpeg") << "x";
  std::ofstream(dir / "photo.wld") << "1\n0\n0\n-1\n0.5\n-0.5\n";
  r = ExtentsForPicture(FromUtf8((dir / "photo.jpeg").string()), 10, 10);
  ASSERT_TRUE(r.extents);
  EXPECT_EQ(r.extents->west, 0);
  EXPECT_EQ(r.extents->south, -36000);
  fs::remove_all(dir);
}

// ---- The menu action ----

namespace picmap::test {
namespace {

using WorldFileMenuTest = AppTest;

TEST_F(WorldFileMenuTest, SetsTheExtentsFromTheFileBesideThePicture) {
  StartWith(Solid(36, 18, 0x112233), "japan.png");
  folder.Write("japan.pgw", "10\n0\n0\n-10\n-175\n85\n");
  ASSERT_TRUE(logic->mnuWorldFile_Click());
  EXPECT_EQ(logic->State().west, -648000);
  EXPECT_EQ(logic->State().east, 648000);
  EXPECT_EQ(logic->State().north, 324000);
  EXPECT_EQ(logic->State().south, -324000);
  EXPECT_EQ(win.LabelText(Label::lblWest), u"西端経度：W180°00′00″");
}

TEST_F(WorldFileMenuTest, RefusalsShowAMessageAndChangeNothing) {
  ASSERT_TRUE(logic->Form_Load());
  EXPECT_FALSE(logic->mnuWorldFile_Click());  // no picture yet
  Open(Solid(36, 18, 0x112233), "japan.png");
  SetExtents(0, 36000, 36000, 0);
  EXPECT_FALSE(logic->mnuWorldFile_Click());  // no world file
  folder.Write("japan.pgw", "10\n0.5\n0.5\n0.025\n-175\n85\n");
  EXPECT_FALSE(logic->mnuWorldFile_Click());  // rows and columns the same way
  folder.Write("japan.pgw", "20\n0\n0\n-10\n-175\n85\n");
  EXPECT_FALSE(logic->mnuWorldFile_Click());  // east beyond 180°
  EXPECT_EQ(win.messages.size(), 4u);
  EXPECT_NE(win.LastMessage().find(u"180"), std::u16string::npos);
  EXPECT_EQ(logic->State().west, 0);
  EXPECT_EQ(logic->State().east, 36000);
  EXPECT_EQ(logic->State().north, 36000);
  EXPECT_EQ(logic->State().south, 0);
}

// A world file in metres with its CRS beside it (.prj) is read through the CRS, not as degrees
// that would lie far off the globe.
TEST_F(WorldFileMenuTest, AWorldFileInMetresWithItsCrsPlacesThePictureThroughIt) {
  StartWith(Solid(64, 48, 0x112233), "merc.png");
  ASSERT_TRUE(QImage(64, 48, QImage::Format_RGB32).save(QString::fromStdU16String(folder.File("merc.png"))));
  folder.Write("merc.pgw", "10000\n0\n0\n-10000\n14000000\n5700000\n");
  OGRSpatialReference mercator;
  mercator.importFromEPSG(3857);
  char* wkt = nullptr;
  mercator.exportToWkt(&wkt);
  folder.Write("merc.prj", wkt);
  CPLFree(wkt);
  ASSERT_TRUE(logic->mnuWorldFile_Click()) << ToUtf8(win.LastMessage());
  ASSERT_TRUE(logic->LastPlacement());
  EXPECT_TRUE(logic->LastPlacement()->warped);
  EXPECT_NEAR(logic->State().west / 3600.0, 125.719, 0.01);  // the corner of the pixel centred 14000 km east
  EXPECT_NEAR(logic->State().east / 3600.0, 131.469, 0.01);
  EXPECT_NEAR(logic->State().north / 3600.0, 45.53, 0.01);
  const int32_t warpedWidth = win.SourceWidth();
  EXPECT_NE(warpedWidth, 64);
  // Undone, the picture as opened comes back with the extents it had; redone, the warp.
  logic->mnuUndo_Click();
  EXPECT_EQ(win.SourceWidth(), 64);
  EXPECT_EQ(logic->State().west, -648000);
  logic->mnuRedo_Click();
  EXPECT_EQ(win.SourceWidth(), warpedWidth);
  EXPECT_NEAR(logic->State().west / 3600.0, 125.719, 0.01);
  // Opened again with other edges standing, it is placed by them at once, not stretched.
  SetExtents(0, 36000, 36000, 0);
  Open(Solid(64, 48, 0x112233), "merc.png");
  EXPECT_NEAR(logic->State().west / 3600.0, 125.719, 0.01);
  EXPECT_NEAR(logic->State().north / 3600.0, 45.53, 0.01);
}

// A small picture opened after an accepted one stands in the picture box: the world file
// is looked for beside it, not beside the picture before.
TEST_F(WorldFileMenuTest, LooksBesideThePictureInThePictureBox) {
  StartWith(Solid(36, 18, 0x112233), "japan.png");
  folder.Write("japan.pgw", "10\n0\n0\n-10\n-175\n85\n");
  Open(Solid(8, 8, 0x112233), "small.png");
  SetExtents(0, 36000, 36000, 0);
  EXPECT_FALSE(logic->mnuWorldFile_Click());
  EXPECT_NE(win.LastMessage().find(u"small.png"), std::u16string::npos);
  EXPECT_EQ(logic->State().west, 0);
  EXPECT_EQ(logic->State().east, 36000);
}

}  // namespace
}  // namespace picmap::test
