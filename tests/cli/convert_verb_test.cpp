// picmap-cli convert, end to end: a picture of several colour regions converted and read back,
// and the command line's own errors.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/figcodes.h"
#include "support/numeric.h"
#include "support/text.h"

namespace picmap::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int exit;
  std::string out, err;
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ConvertVerbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("picmap_cli_convert_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  RunResult Run(const std::string& args, const std::string& verb = "convert", const std::string& before = "") {
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    const std::string cmd = before + "QT_QPA_PLATFORM=offscreen " + locale_ + " '" + PICMAP_RUNTIME_DIR +
                            "/picmap-cli' " + verb + " " + args + " >'" + out.string() + "' 2>'" +
                            err.string() + "'";
    const int status = std::system(cmd.c_str());
    return {WEXITSTATUS(status), ReadAll(out), ReadAll(err)};
  }
  fs::path dir_;
  std::string locale_ = "LC_ALL=en_US.UTF-8";  // English unless a test asks otherwise
};

// 64 x 32 pixels: white background, a red left half with a white hole, green and blue
// quarters on the right, a yellow bar that crosses the 45-pixel limit.
QImage Regions() {
  QImage img(64, 32, QImage::Format_RGB32);
  img.fill(qRgb(255, 255, 255));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      QRgb c = qRgb(255, 255, 255);
      if (x < 30) c = qRgb(255, 0, 0);
      if (x >= 34 && y < 14) c = qRgb(0, 255, 0);
      if (x >= 34 && y >= 18) c = qRgb(0, 0, 255);
      if (x >= 8 && x < 14 && y >= 5 && y < 9) c = qRgb(255, 255, 255);
      if (y >= 26 && y < 29 && x >= 4 && x < 60) c = qRgb(255, 255, 0);
      img.setPixel(x, y, c);
    }
  return img;
}

int32_t Colour(QRgb c) { return qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16); }

// Columns s..j-1 and rows i0..i1 that a rectangle of 1000″ pixels (west 0, north 32000,
// east′ 64000) stands for, recovered from the generation formulas.
struct Cells {
  int s, j, i0, i1;
};
// The rectangle of a dumped polygon: its closed five-point ring.
Cells CellsOf(const QJsonArray& pts) {
  EXPECT_EQ(pts.size(), 5);
  auto at = [&pts](int i, int k) { return pts[i].toArray()[k].toInt(); };
  EXPECT_EQ(at(0, 0), at(4, 0));
  EXPECT_EQ(at(0, 1), at(4, 1));
  EXPECT_EQ(at(2, 0), at(1, 0));
  EXPECT_EQ(at(3, 1), at(2, 1));
  const int32_t left = at(0, 0), right = at(1, 0), top = at(0, 1), bottom = at(2, 1);
  Cells c{};
  c.s = static_cast<int>(RoundHalfEven(left / 1000.0 + 0.03));
  c.j = right == 64000 ? 64 : static_cast<int>(RoundHalfEven((right - 1) / 1000.0 - 0.03));
  c.i0 = static_cast<int>(RoundHalfEven((32000 - top) / 1000.0 - 0.03));
  c.i1 = static_cast<int>(RoundHalfEven((32000 - bottom - 1060) / 1000.0 - 0.03));
  return c;
}

TEST_F(ConvertVerbTest, EveryRectangleMatchesItsPixels) {
  const QImage img = Regions();
  ASSERT_TRUE(img.save(QString::fromStdString((dir_ / "regions.png").string()), "PNG"));
  const RunResult r = Run("'" + (dir_ / "regions.png").string() + "' -o '" +
                          (dir_ / "out.MLL").string() +
                          "' --west 0 --east 17°46′40″ --north N8°53′20″ --south 0"
                          " --background FFFFFF --compress 2");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("64 x 32 pixels"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("east E017°46′40″"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("figures after generation:"), std::string::npos);
  EXPECT_NE(r.out.find("compression run 2: removed 0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("out.THG"), std::string::npos);
  ASSERT_TRUE(fs::exists(dir_ / "out.THG"));

  // The map read back by the dump verb.
  const RunResult dump = Run("'" + (dir_ / "out.MLL").string() + "'", "dump");
  ASSERT_EQ(dump.exit, 0) << dump.err;
  const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(dump.out)).object();
  const QJsonArray figures = doc["figures"].toArray();
  ASSERT_FALSE(figures.isEmpty());
  std::vector<std::vector<int>> covered(32, std::vector<int>(64, 0));
  int polygons = 0;
  for (const QJsonValue& v : figures) {
    const QJsonObject f = v.toObject();
    if (f["code"].toInt() != figcode::kPolygon) continue;
    ++polygons;
    const int32_t colour = f["color"].toInt();
    const Cells c = CellsOf(f["points"].toArray());
    ASSERT_LT(c.s, c.j);
    ASSERT_LE(c.i0, c.i1);
    EXPECT_LE(c.j - c.s, 45);
    for (int y = c.i0; y <= c.i1; ++y)
      for (int x = c.s; x < c.j; ++x) {
        EXPECT_EQ(Colour(img.pixel(x, y)), colour) << "pixel " << x << "," << y;
        ++covered[y][x];
      }
  }
  EXPECT_GT(polygons, 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x)
      EXPECT_EQ(covered[y][x], img.pixel(x, y) == qRgb(255, 255, 255) ? 0 : 1)
          << "pixel " << x << "," << y;
}

TEST_F(ConvertVerbTest, DefaultsWriteBesideThePicture) {
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "Japan.png").string()), "PNG"));
  const RunResult r = Run("'" + (dir_ / "Japan.png").string() + "' --tone 16 --compress 0");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "Japan.MLL"));
  EXPECT_TRUE(fs::exists(dir_ / "Japan.THG"));
  EXPECT_EQ(r.out.find("compression run"), std::string::npos);
  // Two more runs into the same map within the second: each keeps its predecessor, and names
  // it; the thing file is kept only when someone edited it by hand.
  std::ofstream(dir_ / "Japan.THG", std::ios::app) << "; edited\r\n";
  for (int run = 2; run <= 3; ++run) {
    const RunResult again = Run("'" + (dir_ / "Japan.png").string() + "' --compress 0");
    ASSERT_EQ(again.exit, 0) << run << again.err;
    size_t kept = 0;
    for (size_t at = again.out.find("kept: " + (dir_ / "Japan-").string()); at != std::string::npos;
         at = again.out.find("kept: ", at + 1))
      ++kept;
    EXPECT_EQ(kept, run == 2 ? 2u : 1u) << again.out;
  }
}

// -o naming a folder puts the map into it under the picture's name, not beside it.
TEST_F(ConvertVerbTest, AnOutputFolderTakesTheMapUnderThePicturesName) {
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "Japan.png").string()), "PNG"));
  fs::create_directories(dir_ / "maps");
  for (const std::string slash : {"", "/"}) {
    const RunResult r = Run("'" + (dir_ / "Japan.png").string() + "' --compress 0 -o '" + (dir_ / "maps").string() + slash + "'");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "maps" / "Japan.MLL")) << slash;
    EXPECT_FALSE(fs::exists(dir_ / "maps.MLL")) << slash;
    fs::remove_all(dir_ / "maps"), fs::create_directories(dir_ / "maps");
  }
}

TEST_F(ConvertVerbTest, BadOptionsAreUsageErrors) {
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "r.png").string()), "PNG"));
  const std::string pic = "'" + (dir_ / "r.png").string() + "'";
  RunResult r = Run(pic + " --north 'N 35'");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("--north"), std::string::npos) << r.err;
  r = Run(pic + " --east 200");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("--east"), std::string::npos) << r.err;
  r = Run(pic + " --north N95");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("latitudes lie within 90°"), std::string::npos) << r.err;
  r = Run(pic + " -o ''");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("empty"), std::string::npos) << r.err;
  // The picture's own name given as the map's would have been written as r.MLL, over its map.
  r = Run(pic + " -o " + pic);
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("give a map file (.MLL)"), std::string::npos) << r.err;
  r = Run(pic + " --tone 100");
  EXPECT_EQ(r.exit, 2);
  r = Run(pic + " --background 12345");
  EXPECT_EQ(r.exit, 2);
  r = Run(pic + " --background-at 64,0");
  EXPECT_EQ(r.exit, 2);
  EXPECT_FALSE(fs::exists(dir_ / "r.MLL"));
}

// The clean-up options refuse what they cannot do before any picture is read; a picture of
// many colours is not sieved without reducing them first.
TEST_F(ConvertVerbTest, CleanupOptionsRefuseWhatTheyCannotDo) {
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "r.png").string()), "PNG"));
  const std::string pic = "'" + (dir_ / "r.png").string() + "'";
  RunResult r = Run(pic + " --simplify 1");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("--simplify: needs --regions"), std::string::npos) << r.err;
  r = Run(pic + " --colors 1");
  EXPECT_EQ(r.exit, 2);
  r = Run(pic + " --colors 4 --palette x.gpl");
  EXPECT_EQ(r.exit, 2);
  r = Run(pic + " --palette '" + (dir_ / "none.gpl").string() + "'");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("none.gpl: cannot be read"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "r.MLL"));
  QImage noisy(40, 40, QImage::Format_RGB32);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) noisy.setPixel(x, y, qRgb(x * 6, y * 6, (x * y) % 256));
  ASSERT_TRUE(noisy.save(QString::fromStdString((dir_ / "n.png").string()), "PNG"));
  r = Run("'" + (dir_ / "n.png").string() + "' --sieve 5");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("more than 256 colours"), std::string::npos) << r.err;
  r = Run("'" + (dir_ / "n.png").string() + "' --colors 6 --sieve 5 --regions --simplify 1 --smooth");
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("regions: "), std::string::npos) << r.out;
  // Asked for more colours than the picture holds, it says how many it kept.
  r = Run(pic + " --colors 12 --regions");
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("colours: 5 (of 12 asked"), std::string::npos) << r.out;
}

TEST_F(ConvertVerbTest, WorldFileSetsTheExtentsOrRefuses) {
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "r.png").string()), "PNG"));
  const std::string pic = "'" + (dir_ / "r.png").string() + "' --compress 0";
  RunResult r = Run(pic + " --world-file --lang ja");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("ワールドファイル"), std::string::npos) << r.err;
  // 64 x 32 pixels of 0.25 degree from 120°E 40°N: 120°E..136°E, 40°N..32°N.
  std::ofstream(dir_ / "r.pgw") << "0.25\n0\n0\n-0.25\n120.125\n39.875\n";
  r = Run(pic + " --world-file");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("west E120°00′00″, east E136°00′00″, north N40°00′00″, south N32°00′00″"),
            std::string::npos)
      << r.out;
  // Rotation terms: the picture is warped by them, its right edge raised 6.4° above its left.
  std::ofstream(dir_ / "r.pgw") << "0.25\n0.1\n0\n-0.25\n120.125\n39.875\n";
  r = Run(pic + " --world-file");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("west E120°00′00″, east E136°00′00″, north N46°2"), std::string::npos) << r.out;
}

// Edges given after the world file move the area as a pair: a new north below the world
// file's south is fine when the new south lies below it.
TEST_F(ConvertVerbTest, NorthAndSouthAfterTheWorldFileAreTakenAsAPair) {
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "r.png").string()), "PNG"));
  std::ofstream(dir_ / "r.pgw") << "0.25\n0\n0\n-0.25\n120.125\n39.875\n";  // N40..N32
  const std::string pic = "'" + (dir_ / "r.png").string() + "' --compress 0 --world-file";
  RunResult r = Run(pic + " --north N30 --south N20");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("north N30°00′00″, south N20°00′00″"), std::string::npos) << r.out;
  r = Run(pic + " --north N30 --south N35");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;
}

TEST_F(ConvertVerbTest, FailuresExitOneWithTheMessage) {
  RunResult r = Run("'" + (dir_ / "missing.png").string() + "' --lang ja");
  EXPECT_EQ(r.exit, 1);
  // One line with the program's name, the file and the reason.
  EXPECT_EQ(r.err, "picmap-cli convert: " + (dir_ / "missing.png").string() + ": ファイルが見つかりません.\n");
  // In the window's language: English when asked for.
  r = Run("'" + (dir_ / "missing.png").string() + "' --lang en");
  EXPECT_EQ(r.err, "picmap-cli convert: " + (dir_ / "missing.png").string() + ": File not found.\n");
  // 64 pixels over 360″ is finer than 10″ per pixel: the generation fails.
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "r.png").string()), "PNG"));
  r = Run("'" + (dir_ / "r.png").string() + "' --west 0 --east 0.1 --lang ja");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("ポリゴン生成に失敗しました: ピクセルサイズが細かすぎます: 5.6″x20250.0″"),
            std::string::npos)
      << r.err;
  // A picture cut off half-way is refused, not converted with its missing half black.
  ASSERT_TRUE(Regions().save(QString::fromStdString((dir_ / "cut.jpg").string()), "JPEG"));
  fs::resize_file(dir_ / "cut.jpg", fs::file_size(dir_ / "cut.jpg") / 2);
  r = Run("'" + (dir_ / "cut.jpg").string() + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("cut off before its end"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "cut.MLL"));
  // The background taken from a pixel (31,15 is white), with the template named.
  r = Run("'" + (dir_ / "r.png").string() + "' --background-at 31,15 --things '" +
          (fs::path(PICMAP_RUNTIME_DIR) / "PICMAP.THG").string() + "'");
  EXPECT_EQ(r.exit, 0) << r.err;
  // A picture given as the template would have been read as the thing file beside it.
  r = Run("'" + (dir_ / "r.png").string() + "' --background-at 31,15 --things '" + (dir_ / "r.png").string() + "'");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("--things: "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace picmap::test

namespace picmap::test {
namespace {

// What a new user types and meets first.
class FirstHourTest : public ConvertVerbTest {
 protected:
  std::string Picture() {
    const fs::path p = dir_ / "regions.png";
    EXPECT_TRUE(Regions().save(QString::fromStdString(p.string()), "PNG"));
    return "'" + p.string() + "'";
  }
  // The colours of the map's polygons, BBGGRR.
  std::vector<int32_t> ColoursIn(const fs::path& map) {
    const RunResult dump = Run("'" + map.string() + "'", "dump");
    std::vector<int32_t> colours;
    for (const auto f : QJsonDocument::fromJson(QByteArray::fromStdString(dump.out))["figures"].toArray())
      if (f.toObject()["code"].toInt() == figcode::kPolygon) colours.push_back(f.toObject()["color"].toInt());
    return colours;
  }
  bool Holds(const std::vector<int32_t>& colours, QRgb c) {
    return std::find(colours.begin(), colours.end(), Colour(c)) != colours.end();
  }
};

TEST_F(FirstHourTest, ColoursAreReadTheWayTheyAreWritten) {
  const fs::path map = dir_ / "m.MLL";
  for (const char* red : {"'#FF0000'", "'rgb(255, 0, 0)'", "0000FF"}) {
    ASSERT_EQ(Run(Picture() + " --no-backup -o '" + map.string() + "' --background " + red).exit, 0) << red;
    const std::vector<int32_t> colours = ColoursIn(map);
    EXPECT_FALSE(Holds(colours, qRgb(255, 0, 0))) << red;
    EXPECT_TRUE(Holds(colours, qRgb(0, 0, 255))) << red;
  }
  // With --no-backup nothing but the map and its companions is left.
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find("m-"), std::string::npos) << e.path();
  EXPECT_EQ(Run(Picture() + " --background '#FF00'").exit, 2);
}

TEST_F(FirstHourTest, AnEdgeEndingInALetterThatReadsOtherwiseIsToldOf) {
  RunResult r = Run(Picture() + " --west 0 --east 64 --north 46N --south 90S");
  EXPECT_NE(r.err.find("--south '90S' reads as N00°01′30″"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("S90, 90°S or 南緯90度"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("--north"), std::string::npos) << r.err;  // 46N is 46° north either way
}

// A west edge east of the east edge still crosses 180° (a picture of the Pacific), but the
// long way round is more often the two edges given the wrong way round.
TEST_F(FirstHourTest, EdgesTheWrongWayRoundAreToldOf) {
  RunResult r = Run(Picture() + " --west 131 --east 130 --north 36 --south 35");
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.err.find("E131°00′00″"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("359.0°"), std::string::npos) << r.err;
  r = Run(Picture() + " --west 131 --east 131 --north 36 --south 35");
  EXPECT_NE(r.err.find("E131°00′00″, so the picture goes once round the globe"), std::string::npos) << r.err;
  r = Run(Picture() + " --west 170 --east -170 --north 36 --south 35");
  EXPECT_EQ(r.err.find("--west"), std::string::npos) << r.err;  // 20° across 180°: meant
}

std::vector<std::string> FirstWords(const std::string& report) {
  std::vector<std::string> words;
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) words.push_back(line.substr(0, line.find(' ')));
  return words;
}

// Under the C locale the messages are Japanese; the report's first words, which scripts look
// for, are those of the English report.
TEST_F(FirstHourTest, TheReportKeepsItsFirstWordsInEveryLanguage) {
  locale_ = "LC_ALL=C";
  const RunResult ja = Run(Picture() + " --west 0 --east 64 --north 46N --south 90S -o '" +
                           (dir_ / "ja.MLL").string() + "'");
  ASSERT_EQ(ja.exit, 0) << ja.err;
  EXPECT_EQ(ja.err.rfind("picmap-cli convert: 警告: --south '90S' は N00°01′30″ と読まれます", 0), 0u)
      << ja.err;
  const RunResult en = Run(Picture() + " --west 0 --east 64 --north 46N --south 90S --lang en -o '" +
                           (dir_ / "en.MLL").string() + "'");
  ASSERT_EQ(en.exit, 0) << en.err;
  EXPECT_NE(ja.out, en.out);
  std::vector<std::string> words = FirstWords(en.out);
  EXPECT_EQ(words, (std::vector<std::string>{"picture:", "extents:", "figures", "compression", "wrote:",
                                             "wrote:"}));
  EXPECT_EQ(FirstWords(ja.out), words);
}

TEST_F(FirstHourTest, UsageErrorsExitTwoAndNameTheVerb) {
  EXPECT_EQ(Run("--bogus", "").exit, 2);
  RunResult r = Run(Picture() + " --backgrund FFFFFF");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("did you mean --background?"), std::string::npos) << r.err;
  r = Run("--help");
  EXPECT_EQ(r.out.rfind("Usage: picmap-cli convert [options] PICTURE", 0), 0u) << r.out;
}

TEST_F(FirstHourTest, AnOutputThatCannotBeWrittenIsFoundBeforeTheConversion) {
  const RunResult r = Run(Picture() + " -o '" + (dir_ / "no" / "m.MLL").string() + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, "");  // nothing was converted
  EXPECT_EQ(r.err, "picmap-cli convert: " + (dir_ / "no" / "m.MLL").string() + ": No such folder (error 53)\n");
  const fs::path locked = dir_ / "locked.MLL";
  std::ofstream(locked) << "kept";
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const RunResult readOnly = Run(Picture() + " -o '" + locked.string() + "'");
  EXPECT_EQ(readOnly.exit, 1);
  EXPECT_EQ(readOnly.out, "");
  EXPECT_EQ(readOnly.err, "picmap-cli convert: " + locked.string() + ": is a read-only file.\n");
  // A picture named like the map it would become is not written over, backup or not.
  const fs::path picture = dir_ / "scan.MLL";
  fs::rename(dir_ / "regions.png", picture);
  const std::string before = ReadAll(picture);
  const RunResult self = Run("'" + picture.string() + "' --no-backup");
  EXPECT_EQ(self.exit, 1);
  EXPECT_NE(self.err.find(picture.string() + ": "), std::string::npos) << self.err;
  EXPECT_EQ(ReadAll(picture), before);
}

TEST_F(FirstHourTest, APictureOfBackgroundOnlySaysTheMapIsEmpty) {
  QImage white(32, 32, QImage::Format_RGB32);
  white.fill(Qt::white);
  const fs::path picture = dir_ / "white.png";
  ASSERT_TRUE(white.save(QString::fromStdString(picture.string())));
  const RunResult r = Run("'" + picture.string() + "' --background FFFFFF");
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.err.find(picture.string() + ": the map is empty"), std::string::npos) << r.err;
  EXPECT_EQ(Run(Picture()).err, "");
}

TEST_F(FirstHourTest, ExportSpeaksGdalsOptionsAndWritesWhatItsNameSays) {
  const fs::path map = dir_ / "m.MLL";
  ASSERT_EQ(Run(Picture() + " -o '" + map.string() + "'").exit, 0);
  const fs::path csv = dir_ / "m.csv", dat = dir_ / "m.dat";
  RunResult r = Run("-q -overwrite '" + map.string() + "' '" + csv.string() + "'", "export");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(ReadAll(csv).find("\"POLYGON (("), std::string::npos);
  r = Run("-of FlatGeobuf '" + map.string() + "' '" + dat.string() + "'", "export");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(dat));
}

// A picture within the machine's size limit but beyond the memory left (a limit of the shell,
// other programs) is refused in one line, where the process used to abort.
TEST_F(ConvertVerbTest, APictureBeyondTheMemoryLeftIsRefusedInOneLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit under a data limit";
#endif
  // Below a quarter of the machine's memory, past which a picture is refused as too large.
  if (int64_t{sysconf(_SC_PHYS_PAGES)} * sysconf(_SC_PAGE_SIZE) / 4 < int64_t{2} << 30)
    GTEST_SKIP() << "the machine refuses the picture as too large first";
  const std::string tif = (dir_ / "huge.tif").string();  // 1.6 GB of pixels in a few KB
  ASSERT_EQ(std::system(("gdal_create -q -of GTiff -outsize 20000 20000 -bands 3 -co TILED=YES "
                         "-co SPARSE_OK=TRUE '" + tif + "'").c_str()), 0);
  const std::string map = (dir_ / "huge.MLL").string();
  const RunResult r = Run("'" + tif + "' -o '" + map + "' --background '#FFFFFF'", "convert", "ulimit -d 1000000; ");
  EXPECT_EQ(r.exit, 1) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("huge.tif: There is not enough memory"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(map));
}

}  // namespace
}  // namespace picmap::test
