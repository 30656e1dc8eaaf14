// picmap-cli render and export: a picture converted and drawn back pixel for pixel, pictures
// of a map in PNG and SVG, the GeoJSON export (through the map file driver) read by GDAL and
// parsed back to the map's arc-seconds, and the verbs' usage errors.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "map/clsMap.h"
#include "support/figcodes.h"
#include "support/numeric.h"
#include "support/text.h"

namespace picmap::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exit;
  std::string out, err;
};

std::string Contents(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Outcome Shell(const std::string& command, const fs::path& dir) {
  const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
  const std::string cmd = command + " >'" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(cmd.c_str());
  return {WEXITSTATUS(status), Contents(out), Contents(err)};
}

// Colour regions on white: runs longer than 45 pixels, a hole, touching regions of
// different colours, single pixels and neighbours that differ only in the lowest bits.
QImage FlatRegions(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(qRgb(255, 255, 255));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      QRgb c = qRgb(255, 255, 255);
      if (x < w / 2 && y < h / 2) c = qRgb(200, 30, 30);
      if (x >= w / 3 && y >= h / 3) c = qRgb(20, 120, 220);
      if (x > 5 && x < 12 && y > 4 && y < 9) c = qRgb(255, 255, 255);
      if (y >= h - 6 && y < h - 3) c = qRgb(250, 250, 0);
      if (y >= h - 6 && y < h - 3 && x % 7 == 0) c = qRgb(251, 250, 1);
      if ((x * 13 + y * 7) % 97 == 0) c = qRgb(0, 0, 0);
      img.setPixel(x, y, c);
    }
  return img;
}

// Pixels compared between the picture (after its tone mask) and the rendering.
struct Fidelity {
  int64_t total = 0, equal = 0, mapped = 0, background = 0;
  int64_t wrongColour = 0, holes = 0, bleeding = 0;
  double Share() const { return total ? static_cast<double>(equal) / total : 0.0; }
};

// `background` is the colour not mapped (or -1 for none), `mask` the tone mask.
Fidelity Compare(const QImage& picture, const QImage& rendered, QRgb background, bool hasBackground,
                 uint32_t mask) {
  Fidelity f;
  const QImage a = picture.convertToFormat(QImage::Format_RGB32);
  const QImage b = rendered.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      ++f.total;
      const QRgb p = a.pixel(x, y) & 0xFFFFFF, r = b.pixel(x, y);
      const bool isBackground = hasBackground && p == (background & 0xFFFFFF);
      if (isBackground) {
        ++f.background;
        if (qAlpha(r) == 0) ++f.equal;
        else ++f.bleeding;
        continue;
      }
      ++f.mapped;
      if (qAlpha(r) == 0) ++f.holes;
      else if (qAlpha(r) == 255 && (r & 0xFFFFFF) == (p | mask)) ++f.equal;
      else ++f.wrongColour;
    }
  return f;
}

class OutputVerbsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("picmap_cli_output_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Cli(const std::string& args) {
    return Shell(std::string("QT_QPA_PLATFORM=offscreen LC_ALL=en_US.UTF-8 '") + PICMAP_RUNTIME_DIR + "/picmap-cli' " + args,
                 dir_);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Quoted(const std::string& name) const { return std::string("'").append(Path(name)).append("'"); }

  // Converts `picture` (already saved under that name) to map.MLL; the extents as texts.
  void Convert(const std::string& picture, const std::string& extents, const std::string& more) {
    const Outcome r = Cli("convert " + Quoted(picture) + " -o " + Quoted("map.MLL") + " " +
                          extents + " " + more);
    ASSERT_EQ(r.exit, 0) << r.err << r.out;
  }
  QImage Render(const std::string& area, QSize size, const std::string& name = "back.png") {
    const Outcome r = Cli("render " + Quoted("map.MLL") + " " + Quoted(name) + " --width " +
                          std::to_string(size.width()) + " --height " +
                          std::to_string(size.height()) + " --area '" + area + "' --overwrite");
    EXPECT_EQ(r.exit, 0) << r.err;
    return QImage(QString::fromStdString(Path(name)));
  }
  fs::path dir_;
};

struct FidelityCase {
  int width, height;
  const char* edges;  // convert options
  const char* area;   // the same extents for render
  const char* compress;
};

TEST_F(OutputVerbsTest, ConvertedFlatRegionsRenderBackPixelForPixel) {
  const FidelityCase cases[] = {
      // 360″ a pixel
      {100, 60, "--west E130 --east E140 --north N40 --south N34", "E130,E140,N40,N34", "1"},
      // pixels of a fraction of a second wide and high, uncompressed
      {97, 61, "--west E130 --east E140 --north N40 --south N34", "E130,E140,N40,N34", "0"},
      // the whole world, compressed twice
      {128, 64, "--world", "W180,E180,N90,S90", "2"},
  };
  for (const FidelityCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " + c.edges);
    const QImage picture = FlatRegions(c.width, c.height);
    ASSERT_TRUE(picture.save(QString::fromStdString(Path("regions.png")), "PNG"));
    Convert("regions.png", c.edges, std::string("--tone 256 --background FFFFFF --compress ") + c.compress);
    const QImage back = Render(c.area, picture.size());
    ASSERT_EQ(back.size(), picture.size());
    const Fidelity f = Compare(picture, back, qRgb(255, 255, 255), true, 0);
    std::printf("fidelity %dx%d: %lld of %lld pixels equal (%.4f %%), %lld mapped, %lld background\n",
                c.width, c.height, static_cast<long long>(f.equal), static_cast<long long>(f.total),
                100.0 * f.Share(), static_cast<long long>(f.mapped), static_cast<long long>(f.background));
    RecordProperty("equal_share_" + std::to_string(c.width) + "x" + std::to_string(c.height),
                   std::to_string(f.Share()));
    EXPECT_EQ(f.equal, f.total);
    EXPECT_EQ(f.wrongColour, 0);
    EXPECT_EQ(f.holes, 0);
    EXPECT_EQ(f.bleeding, 0);
    EXPECT_GT(f.background, 0);
    fs::remove(dir_ / "map.MLL");
  }
}

// The world picture at 16 tones: every pixel mapped (no background), rendered at its size.
TEST_F(OutputVerbsTest, EarthPictureAtSixteenTones) {
  const fs::path earth = "/usr/share/xplanet/images/earth.jpg";
  if (!fs::exists(earth)) GTEST_SKIP() << earth << " is not installed";
  const QImage picture(QString::fromStdString(earth.string()));
  ASSERT_FALSE(picture.isNull());
  const Outcome r = Cli("convert '" + earth.string() + "' -o " + Quoted("map.MLL") +
                        " --world --tone 16 --background none --compress 1");
  ASSERT_EQ(r.exit, 0) << r.err;
  const QImage back = Render("W180,E180,N90,S90", picture.size());
  ASSERT_EQ(back.size(), picture.size());
  const Fidelity f = Compare(picture, back, 0, false, 0x0F0F0F);
  std::printf("earth.jpg %dx%d at 16 tones: %lld of %lld pixels equal (%.4f %%)\n", picture.width(),
              picture.height(), static_cast<long long>(f.equal), static_cast<long long>(f.total),
              100.0 * f.Share());
  RecordProperty("earth_equal_share", std::to_string(f.Share()));
  EXPECT_EQ(f.equal, f.total);
}

TEST_F(OutputVerbsTest, RenderWritesPngAndSvgOfTheMapsExtentByDefault) {
  ASSERT_TRUE(FlatRegions(90, 45).save(QString::fromStdString(Path("r.png")), "PNG"));
  Convert("r.png", "--west E130 --east E139 --north N40 --south N35.5", "--background FFFFFF");
  Outcome r = Cli("render " + Quoted("map.MLL") + " " + Quoted("default.png"));
  ASSERT_EQ(r.exit, 0) << r.err;
  // The map's extent reaches a little beyond the picture's: rectangles overlap their edges.
  const QImage image(QString::fromStdString(Path("default.png")));
  EXPECT_EQ(image.width(), 1024);
  EXPECT_NEAR(image.height(), 512, 1);
  EXPECT_NE(r.out.find("(1024 x " + std::to_string(image.height()) + " pixels)"), std::string::npos)
      << r.out;
  EXPECT_EQ(image.pixel(300, 150), qRgb(200, 30, 30));
  EXPECT_EQ(image.pixel(100, 80), qRgba(0, 0, 0, 0));  // the hole
  const fs::path kept = fs::path(PICMAP_RUNTIME_DIR).parent_path() / "test-output";
  fs::create_directories(kept);
  fs::copy_file(dir_ / "default.png", kept / "render_converted_regions.png",
                fs::copy_options::overwrite_existing);
  r = Cli("render " + Quoted("map.MLL") + " " + Quoted("map.SVG") + " --width 300");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(Contents(dir_ / "map.SVG").find("<svg"), std::string::npos);
}

TEST_F(OutputVerbsTest, RenderRefusesBadArguments) {
  ASSERT_TRUE(FlatRegions(32, 32).save(QString::fromStdString(Path("r.png")), "PNG"));
  Convert("r.png", "--world", "--background FFFFFF");
  const std::string map = Quoted("map.MLL") + " ";
  EXPECT_EQ(Cli("render " + map + Quoted("x.jpg")).exit, 2);
  EXPECT_EQ(Cli("render " + map + Quoted("x.png") + " --width 0").exit, 2);
  EXPECT_EQ(Cli("render " + map + Quoted("x.png") + " --width wide").exit, 2);
  EXPECT_EQ(Cli("render " + map + Quoted("x.png") + " --height -4").exit, 2);
  Outcome r = Cli("render " + map + Quoted("x.png") + " --area E130,E140,N40");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("WEST,EAST,NORTH,SOUTH"), std::string::npos) << r.err;
  r = Cli("render " + map + Quoted("x.png") + " --area E130,E140,N30,N40");  // north below south
  EXPECT_EQ(r.exit, 2);
  r = Cli("render " + map + Quoted("x.png") + " --area E130,somewhere,N40,N30");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("somewhere"), std::string::npos) << r.err;
  EXPECT_EQ(Cli("render " + Quoted("none.MLL") + " " + Quoted("x.png")).exit, 1);
  EXPECT_EQ(Cli("render " + map + Quoted("no/such/dir/x.png")).exit, 1);
  EXPECT_EQ(Cli("render " + map).exit, 2);
  EXPECT_FALSE(fs::exists(dir_ / "x.png"));
}

// Numbers of a WKT geometry in GDAL's text, as whole arc-seconds.
std::vector<PolyPoint> WktSeconds(const std::string& wkt) {
  std::vector<PolyPoint> points;
  static const QRegularExpression pair("(-?[0-9.eE+-]+) (-?[0-9.eE+-]+)");
  auto it = pair.globalMatch(QString::fromStdString(wkt));
  while (it.hasNext()) {
    const auto m = it.next();
    points.push_back({CLng(m.captured(1).toDouble() * 3600.0), CLng(m.captured(2).toDouble() * 3600.0)});
  }
  return points;
}

std::vector<PolyPoint> Reversed(std::span<const PolyPoint> points) {
  return {points.rbegin(), points.rend()};
}

TEST_F(OutputVerbsTest, ExportOfAConvertedPictureReadsBackExactly) {
  ASSERT_TRUE(FlatRegions(100, 60).save(QString::fromStdString(Path("r.png")), "PNG"));
  Convert("r.png", "--west E130°00′07″ --east E140°00′01″ --north N40°00′03″ --south N34",
          "--background FFFFFF");
  const Outcome r = Cli("export " + Quoted("map.MLL") + " " + Quoted("map.geojson"));
  ASSERT_EQ(r.exit, 0) << r.err;

  clsMap map;
  map.FileName(FromUtf8(Path("map.MLL")));
  ASSERT_EQ(map.Load(), 0);
  std::vector<std::shared_ptr<clsMapFigure>> polygons;
  for (const auto& f : map)
    if (f->FigCode() == figcode::kPolygon) polygons.push_back(f);
  ASSERT_FALSE(polygons.empty());
  EXPECT_NE(r.out.find(std::to_string(polygons.size()) + " features"), std::string::npos) << r.out;

  QFile file(QString::fromStdString(Path("map.geojson")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
  const QJsonArray features = o["features"].toArray();
  ASSERT_EQ(features.size(), static_cast<qsizetype>(polygons.size()));
  for (size_t i = 0; i < polygons.size(); ++i) {
    std::vector<PolyPoint> ring;
    for (const QJsonValue& p : features[static_cast<qsizetype>(i)]["geometry"]["coordinates"][0].toArray())
      ring.push_back({CLng(p[0].toDouble() * 3600.0), CLng(p[1].toDouble() * 3600.0)});
    // Generated rectangles run clockwise; the export turns them round.
    ASSERT_EQ(ring, Reversed(polygons[i]->Poly()->Points())) << "feature " << i;
    const QJsonObject props = features[static_cast<qsizetype>(i)]["properties"].toObject();
    ASSERT_EQ(props["thing_name"].toString(), QString::fromUtf8("画像ポリゴン"));
  }

  const std::string summary = Shell("ogrinfo -ro -al -so " + Quoted("map.geojson"), dir_).out;
  if (summary.empty()) GTEST_SKIP() << "ogrinfo is not installed";
  EXPECT_NE(summary.find("Feature Count: " + std::to_string(polygons.size())), std::string::npos)
      << summary;
  const std::string first = Shell("ogrinfo -ro -al -fid 0 " + Quoted("map.geojson"), dir_).out;
  const size_t at = first.find("POLYGON ((");
  ASSERT_NE(at, std::string::npos) << first;
  EXPECT_EQ(WktSeconds(first.substr(at, first.find("))", at) - at)),
            Reversed(polygons[0]->Poly()->Points()));
}

// The source picture lies right beside the map: writing over it must be asked for.
TEST_F(OutputVerbsTest, ExistingOutputIsReplacedOnlyWithOverwrite) {
  ASSERT_TRUE(FlatRegions(32, 32).save(QString::fromStdString(Path("r.png")), "PNG"));
  Convert("r.png", "--world", "--background FFFFFF");
  const std::string picture = Contents(Path("r.png"));
  for (const std::string verb : {"render", "export"}) {
    Outcome r = Cli(verb + " " + Quoted("map.MLL") + " " + Quoted("r.png"));
    EXPECT_EQ(r.exit, 1) << verb;
    EXPECT_NE(r.err.find(Path("r.png") + ": exists already"), std::string::npos) << r.err;
    EXPECT_EQ(Contents(Path("r.png")), picture);
  }
  EXPECT_EQ(Cli("render " + Quoted("map.MLL") + " " + Quoted("r.png") + " --overwrite").exit, 0);
  EXPECT_NE(Contents(Path("r.png")), picture);
}

TEST_F(OutputVerbsTest, ExportFailuresExitOne) {
  EXPECT_EQ(Cli("export " + Quoted("none.MLL") + " " + Quoted("x.geojson")).exit, 1);
  EXPECT_EQ(Cli("export " + Quoted("none.MLL")).exit, 2);
  ASSERT_TRUE(FlatRegions(32, 32).save(QString::fromStdString(Path("r.png")), "PNG"));
  Convert("r.png", "--world", "--background FFFFFF");
  const Outcome r = Cli("export " + Quoted("map.MLL") + " " + Quoted("no/dir/x.geojson"));
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("no/dir/x.geojson: cannot write: No such folder"), std::string::npos) << r.err;
  // A map cut short is named as the cause, not the output, and nothing is written.
  fs::copy_file(Path("map.MLL"), Path("cut.MLL"));
  fs::copy_file(Path("map.THG"), Path("cut.THG"));
  fs::resize_file(Path("cut.MLL"), fs::file_size(Path("cut.MLL")) - 7);
  // Also into a format of one layer, where the figures are gathered before the writing.
  for (const std::string out : {"cut.gpkg", "cut.geojson"}) {
    const Outcome cut = Cli("export " + Quoted("cut.MLL") + " " + Quoted(out));
    EXPECT_EQ(cut.exit, 1) << out;
    EXPECT_NE(cut.err.find("cut.MLL: cannot be read whole: "), std::string::npos) << cut.err;
    EXPECT_FALSE(fs::exists(Path(out)));
  }
  EXPECT_EQ(Cli("export " + Quoted("map.MLL") + " " + Quoted("x.unknown")).exit, 2);
  EXPECT_EQ(Cli("export " + Quoted("map.MLL") + " " + Quoted("x") + " -f NoSuchFormat").exit, 2);
}

}  // namespace
}  // namespace picmap::test
