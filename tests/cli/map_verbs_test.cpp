// picmap-cli info, dump and copy on map files built in the test, and their failures.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map/map_rectangle.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::test {
namespace {

namespace fs = std::filesystem;

struct Result {
  int exit;
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class MapVerbsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("picmap_cli_map_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // `before` runs in the same shell first (a ulimit).
  Result Run(const std::string& args, const std::string& before = "") {
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    const std::string cmd = before + "QT_QPA_PLATFORM=offscreen " + locale_ + " '" + PICMAP_RUNTIME_DIR +
                            "/picmap-cli' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(("bash -c \"" + cmd + "\"").c_str());
    return {WEXITSTATUS(status), Slurp(out), Slurp(err)};
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // The messages' language follows the locale; English unless a test asks otherwise.
  std::string locale_ = "LC_ALL=en_US.UTF-8";

  // A map of a header line, a polygon, a symbol and a text, saved as `name`.
  void MakeMap(const std::string& name) {
    ScopedScriptedPorts ports;
    clsMap map;
    map.FileName(FromUtf8(Path(name)));
    map.Add(NewRemark(u"# 地図コード：310392"));
    map.Add(NewRemark(u"# 欧文地図名：Japan"));
    auto polygon = std::make_shared<clsMapPolygon>();
    polygon->Admin(1);
    polygon->Thing(2);
    polygon->OwnColor(0x0000FF);
    polygon->Poly()->SetRect(-10, -20, 30, 40);
    map.Add(polygon);
    auto symbol = std::make_shared<clsMapSymbol>();
    symbol->Admin(0);
    symbol->Thing(3);
    symbol->SetSymbolPoint({100, -50});
    map.Add(symbol);
    auto text = std::make_shared<clsMapText>();
    text->Admin(0);
    text->Thing(4);
    text->TextUnicode(1, u"To^kyo^");
    text->TextUnicode(2, u"東京");
    text->Angle(30);
    map.Add(text);
    ASSERT_EQ(map.Save(), 0);
  }
  void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  // A map of one polyline of n points, point(i) for i = 0 .. n - 1, saved as `name`.
  void MakeLineMap(const std::string& name, int32_t n,
                   const std::function<PolyPoint(int32_t)>& point) {
    ScopedScriptedPorts ports;
    clsMap map;
    map.FileName(FromUtf8(Path(name)));
    auto line = std::make_shared<clsMapPolyline>();
    line->Admin(0);
    line->Thing(1);
    for (int32_t i = 0; i < n; ++i) line->Poly()->AddPoint(point(i));
    map.Add(line);
    ASSERT_EQ(map.Save(), 0);
  }

  fs::path dir_;
};

TEST_F(MapVerbsTest, InfoSummarisesTheMap) {
  MakeMap("japan.MLL");
  const Result r = Run("info '" + Path("japan.MLL") + "'");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("Version: 1.06 (106)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("MapMode: 1\n"), std::string::npos);
  // The saved map also holds its last-update line.
  EXPECT_NE(r.out.find("Figures: 6, REM 3, POLYLINE 0, POLYGON 1, SYMBOL 1, TEXT 1\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("MapName(1): Japan\n"), std::string::npos);
  EXPECT_NE(r.out.find("MapName(2): japan.MLL\n"), std::string::npos);
  EXPECT_NE(r.out.find("MapCode: 310392\nKind: ベース地図\nCountry: 392\nLevel: 0\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("LastDate: "), std::string::npos);
  EXPECT_NE(r.out.find("Bounds: x -10 .. 100, y -50 .. 40\n"), std::string::npos) << r.out;
  // Without the closing line converted maps end with, a map cut where a figure ends looks whole.
  EXPECT_NE(r.err.find("does not end with the closing remark \"/ end of file\""), std::string::npos) << r.err;
  {
    ScopedScriptedPorts ports;
    clsMap map;
    map.FileName(FromUtf8(Path("japan.MLL")));
    ASSERT_EQ(map.Load(), 0);
    map.Add(NewRemark(u"/ end of file"));
    ASSERT_EQ(map.Save(), 0);
  }
  EXPECT_EQ(Run("info '" + Path("japan.MLL") + "'").err, "");
}

// A converted map can hold more figures than memory: info counts them without holding them,
// and still refuses damage past the header lines as a load would.
TEST_F(MapVerbsTest, InfoSummarisesAMapBiggerThanItsMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit under a data limit";
#endif
  constexpr int32_t kRectangles = 600000;
  {
    ScopedScriptedPorts ports;
    clsMap map;
    map.FileName(FromUtf8(Path("big.MLL")));
    map.Add(NewRemark(u"# 欧文地図名：Big"));
    for (int32_t i = 0; i < kRectangles; ++i)
      ASSERT_TRUE(map.AddRectangle(MapRectangle{NewFigureId(), i % 1000, i / 1000 + 1, i % 1000 + 1,
                                                i / 1000, 0xFF, 0, -1, true}));
    ASSERT_EQ(map.Save(), 0);
  }
  // Holding the map takes well over 40 MB.
  Result r = Run("info '" + Path("big.MLL") + "'", "ulimit -d 40000; ");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("POLYGON 600000,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("MapName(1): Big\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Bounds: x 0 .. 1000, y 0 .. 600\n"), std::string::npos) << r.out;

  std::string bytes = Slurp(dir_ / "big.MLL");
  bytes[bytes.size() - clsMapPolygon::kRectangleElement106] = 9;  // the last figure's code
  WriteBytes("big.MLL", bytes);
  r = Run("info '" + Path("big.MLL") + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("not a map file this program can read (invalid figure code"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST_F(MapVerbsTest, DumpPrintsEveryFigureAsJson) {
  MakeMap("japan.MLL");
  const Result r = Run("dump '" + Path("japan.MLL") + "'");
  ASSERT_EQ(r.exit, 0) << r.err;
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
  const QJsonObject o = doc.object();
  EXPECT_EQ(o["version"].toInt(), 106);
  EXPECT_EQ(o["mapMode"].toInt(), 1);
  EXPECT_EQ(o["count"].toInt(), 6);
  const QJsonArray figures = o["figures"].toArray();
  ASSERT_EQ(figures.size(), 6);
  EXPECT_EQ(figures[0].toObject()["comment"].toString(), QString::fromUtf8("# 地図コード：310392"));
  const QJsonObject polygon = figures[3].toObject();
  EXPECT_EQ(polygon["code"].toInt(), 3);
  EXPECT_EQ(polygon["admin"].toInt(), 1);
  EXPECT_EQ(polygon["thing"].toInt(), 2);
  EXPECT_EQ(polygon["color"].toInt(), 255);
  EXPECT_EQ(polygon["showMode"].toInt(), -1);
  EXPECT_EQ(polygon["points"].toArray().size(), 5);
  EXPECT_EQ(polygon["points"].toArray()[2].toArray()[0].toInt(), 30);
  EXPECT_GT(polygon["figId"].toDouble(), 1e14);
  EXPECT_TRUE(polygon.contains("jumpMark") && polygon.contains("reserve"));
  const QJsonObject symbol = figures[4].toObject();
  EXPECT_EQ(symbol["x"].toInt(), 100);
  EXPECT_EQ(symbol["y"].toInt(), -50);
  const QJsonObject text = figures[5].toObject();
  EXPECT_EQ(text["text1"].toString(), QString::fromUtf8("Tôkyô"));
  EXPECT_EQ(text["text2"].toString(), QString::fromUtf8("東京"));
  EXPECT_EQ(text["angle"].toInt(), 30);
  EXPECT_EQ(text["fix"].toInt(), 10);
}

TEST_F(MapVerbsTest, CopyWritesAnotherVersionAndKeepsABackup) {
  MakeMap("japan.MLL");
  WriteBytes("japan.THG", "[CATEGORY]\r\n1,\"c\"\r\n\r\n[THING]\r\nNUMBER=7\r\nNAME=\"mine\"\r\nCATEGORY=1\r\n");
  WriteBytes("out.MLL", "old");
  const Result r = Run("copy '" + Path("japan.MLL") + "' '" + Path("out.MLL") + "' --version 105");
  ASSERT_EQ(r.exit, 0) << r.err;
  int backups = 0;
  for (const auto& e : fs::directory_iterator(dir_))
    if (e.path().filename().string().rfind("out-", 0) == 0) ++backups;
  EXPECT_EQ(backups, 1);
  const Result info = Run("info '" + Path("out.MLL") + "'");
  ASSERT_EQ(info.exit, 0) << info.err;
  EXPECT_NE(info.out.find("Version: 1.05 (105)\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Bounds: x -10 .. 100, y -50 .. 40\n"), std::string::npos);
  // The thing file goes with the map, or the copy's things would have no names.
  EXPECT_NE(Slurp(dir_ / "out.THG").find("NAME=\"mine\""), std::string::npos);
  EXPECT_EQ(r.out.find("colours lost:"), std::string::npos) << r.out;  // 1.05 keeps them
  // Version 1.04 keeps no figure's own colour: the copy says so, not a silent grey map.
  const Result old = Run("copy '" + Path("japan.MLL") + "' '" + Path("old.MLL") + "' --version 104");
  ASSERT_EQ(old.exit, 0) << old.err;
  EXPECT_NE(old.out.find("colours lost: dropped the own colours of 1 figure(s) (version 1.04 keeps none)\n"),
            std::string::npos)
      << old.out;
  const Result same = Run("copy '" + Path("out.MLL") + "' '" + Path("again.MLL") + "'");
  ASSERT_EQ(same.exit, 0) << same.err;
  EXPECT_TRUE(fs::exists(dir_ / "again.MLL"));
  EXPECT_TRUE(same.err.empty()) << same.err;
}

TEST_F(MapVerbsTest, CopyToAnOldVersionTellsWhatThinningRemovedAndRefusesToFlattenSpikes) {
  // Steps one unit high: thinning within the allowed detour brings them under 65535 points.
  MakeLineMap("steps.MLL", 70000, [](int32_t i) { return PolyPoint{i, (i / 7) % 2}; });
  Result r = Run("copy '" + Path("steps.MLL") + "' '" + Path("out.MLL") + "' --version 104");
  ASSERT_EQ(r.exit, 0) << r.err;
  long removed = 0;
  const size_t at = r.out.find("thinned: ");
  ASSERT_NE(at, std::string::npos) << r.out;
  ASSERT_EQ(std::sscanf(r.out.c_str() + at, "thinned: %ld points removed", &removed), 1);
  EXPECT_NE(r.out.find(" points removed from 1 figure(s) to fit version 1.04\n", at),
            std::string::npos)
      << r.out;
  {
    ScopedScriptedPorts ports;
    clsMap out;
    out.FileName(FromUtf8(Path("out.MLL")));
    ASSERT_EQ(out.Load(), 0);
    int32_t kept = 0;
    for (const auto& f : out) {
      if (f->FigCode() == 2) kept = f->Poly()->Count();
    }
    EXPECT_EQ(70000 - kept, removed);
  }

  // Every other point 10 degrees high: fitting them would flatten the spikes.
  MakeLineMap("spikes.MLL", 200000,
              [](int32_t i) { return PolyPoint{i * 5 - 500000, (i % 2) * 36000}; });
  r = Run("copy '" + Path("spikes.MLL") + "' '" + Path("spiky.MLL") + "' --version 104");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("Points:200000"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "spiky.MLL"));
}

TEST_F(MapVerbsTest, CopyNamesTheFileWhenTheMapsModeChangesTheExtension) {
  MakeMap("japan.MLL");
  const Result r = Run("copy '" + Path("japan.MLL") + "' '" + Path("xy.MXY") + "'");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "xy.MXY"));
  EXPECT_TRUE(fs::exists(dir_ / "xy.MLL"));
  EXPECT_NE(r.err.find("written as " + Path("xy.MLL")), std::string::npos) << r.err;
}

TEST_F(MapVerbsTest, CopyOverItselfKeepsTheOriginalAsBackup) {
  MakeMap("japan.MLL");
  const std::string before = Slurp(dir_ / "japan.MLL");
  const Result r = Run("copy '" + Path("japan.MLL") + "' '" + Path("japan.MLL") + "'");
  ASSERT_EQ(r.exit, 0) << r.err;
  int backups = 0;
  for (const auto& e : fs::directory_iterator(dir_)) {
    if (e.path().filename().string().rfind("japan-", 0) != 0) continue;
    ++backups;
    EXPECT_EQ(Slurp(e.path()), before);
  }
  EXPECT_EQ(backups, 1);
  EXPECT_EQ(Run("info '" + Path("japan.MLL") + "'").exit, 0);
}

TEST_F(MapVerbsTest, FailuresAreReportedInTheSystemsWords) {
  Result r = Run("info --lang ja '" + Path("none.MLL") + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("地図図形ファイルが存在しません."), std::string::npos) << r.err;

  WriteBytes("empty.MLL", "");
  r = Run("dump --lang ja '" + Path("empty.MLL") + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("地図バージョン確認不能"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());

  // Header 1.03, then a polygon of two points.
  std::string bad("\x01\x00\x00\x00\x15\x00", 6);
  bad += "Map File Version 1.03";
  bad += std::string("\x03\x00\x00\x00\x00\x00\x02\x00", 8) + std::string(16, '\0');
  WriteBytes("bad.MLL", bad);
  r = Run("copy --lang ja '" + Path("bad.MLL") + "' '" + Path("x.MLL") + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("不正な図形内容(Line:1, Figure:3)"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "x.MLL"));
  r = Run("copy --lang en '" + Path("bad.MLL") + "' '" + Path("x.MLL") + "'");
  EXPECT_NE(r.err.find("not a map file this program can read (invalid figure content(Line:1, Figure:3))"),
            std::string::npos) << r.err;
}

// Japanese unless English is asked for, by the locale or --lang, as the window chooses; what
// scripts read stays the same.
TEST_F(MapVerbsTest, MessagesFollowTheLanguageAndInfoDoesNot) {
  MakeMap("japan.MLL");
  const std::string none = Path("none.MLL");
  locale_ = "LC_ALL=C";
  Result r = Run("info '" + none + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.err, "picmap-cli info: " + none + ": 地図図形ファイルが存在しません.\n");
  r = Run("copy '" + Path("japan.MLL") + "'");
  EXPECT_EQ(r.exit, 2);
  EXPECT_EQ(r.err, "picmap-cli copy: MAP OUT を指定してください; --help を参照してください\n");
  const Result japanese = Run("info '" + Path("japan.MLL") + "'");
  r = Run("--lang en info '" + none + "'");
  EXPECT_EQ(r.err, "picmap-cli info: " + none + ": The map file does not exist.\n");
  locale_ = "LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8";
  r = Run("copy '" + Path("japan.MLL") + "'");
  EXPECT_EQ(r.err, "picmap-cli copy: expected MAP OUT; see --help\n");
  const Result english = Run("info '" + Path("japan.MLL") + "'");
  ASSERT_EQ(english.exit, 0) << english.err;
  EXPECT_EQ(english.out, japanese.out);
  EXPECT_EQ(Run("info --lang xx '" + Path("japan.MLL") + "'").exit, 2);
}

// Every verb reads the file it is given, whatever its extension, and no other.
TEST_F(MapVerbsTest, VerbsReadExactlyTheNamedFileAndRefuseOthers) {
  MakeMap("a.MLL");
  fs::copy_file(dir_ / "a.MLL", dir_ / "a.bak");
  WriteBytes("a.MLL", "not a map any more");
  Result r = Run("info '" + Path("a.bak") + "'");
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.out.find("Figures: 6"), std::string::npos) << r.out;

  WriteBytes("japan.png", "\x89PNG\r\n\x1a\n0123456789");
  MakeMap("japan.MLL");  // beside the picture, and not what was asked for
  for (const char* verb : {"info", "dump", "style"}) {
    r = Run(std::string(verb) + " '" + Path("japan.png") + "'");
    EXPECT_EQ(r.exit, 1) << verb;
    EXPECT_NE(r.err.find(Path("japan.png") + ": not a map file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  EXPECT_FALSE(fs::exists(dir_ / "japan.qml"));
  r = Run("things '" + Path("japan.MLL") + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find(Path("japan.MLL") + ": not a thing file"), std::string::npos) << r.err;
  r = Run("things /dev/zero");  // read without end before
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("/dev/zero: not a thing file"), std::string::npos) << r.err;
}

// Nobody can answer a dialog on the command line: one line per failure, no retry question.
TEST_F(MapVerbsTest, FileErrorsAreOneLineNamingTheFileAndTheError) {
  MakeMap("a.MLL");
  Result r = Run("copy '" + Path("a.MLL") + "' '" + Path("missing/b.MLL") + "'");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.err, "picmap-cli copy: " + Path("missing/b.MLL") + ": No such folder (error 53)\n");
  r = Run("copy --verbose '" + Path("a.MLL") + "' '" + Path("missing/b.MLL") + "'");
  EXPECT_NE(r.err.find("*Code=53"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("再試行しますか"), std::string::npos) << r.err;
  // A dump whose output cannot be written whole (here past a 1 KB file-size limit) fails.
  r = Run("dump '" + Path("a.MLL") + "'", "ulimit -f 1; ");
  EXPECT_EQ(r.exit, 1) << r.out.size();
  EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << r.err;
}

// A file-size limit cuts the copy off anywhere: the map already there stays whole.
TEST_F(MapVerbsTest, CopyCutOffByAFileSizeLimitLeavesTheTargetAsItWas) {
  {
    ScopedScriptedPorts ports;
    clsMap big;  // some 360 KB
    big.FileName(FromUtf8(Path("a.MLL")));
    for (int32_t i = 0; i < 5000; ++i) {
      auto polygon = std::make_shared<clsMapPolygon>();
      polygon->Admin(0);
      polygon->Thing(1);
      polygon->Poly()->SetRect(i * 10, 0, i * 10 + 5, 5);
      big.Add(polygon);
    }
    ASSERT_EQ(big.Save(), 0);
  }
  WriteBytes("b.MLL", "the earlier b");
  // In blocks of 1 KiB; standard error, a file too, needs one.
  for (const char* blocks : {"1", "64"}) {
    const Result r = Run(std::string("copy '") + Path("a.MLL") + "' '" + Path("b.MLL") + "'",
                         std::string("ulimit -f ") + blocks + "; ");
    EXPECT_EQ(r.exit, 1) << r.err;
    EXPECT_NE(r.err.find("Disk full (error 61)"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(dir_ / "b.MLL"), "the earlier b");
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir_)) files += e.path().extension() != ".txt";
    EXPECT_EQ(files, 2u);  // a.MLL and b.MLL: no backup, no temporary file
  }
}

// Scripts may save one file several times a second; the backup name must not stop them.
TEST_F(MapVerbsTest, RepeatedCopiesWithinASecondAllSucceed) {
  MakeMap("a.MLL");
  for (int i = 0; i < 3; ++i) {
    const Result r = Run("copy '" + Path("a.MLL") + "' '" + Path("b.MLL") + "'");
    ASSERT_EQ(r.exit, 0) << i << r.err;
  }
}

TEST_F(MapVerbsTest, UsageErrorsAndHelp) {
  EXPECT_EQ(Run("info").exit, 2);
  EXPECT_EQ(Run("dump a b").exit, 2);
  EXPECT_EQ(Run("copy a").exit, 2);
  const Result bad = Run("copy a b --version 103");
  EXPECT_EQ(bad.exit, 2);
  EXPECT_NE(bad.err.find("--version"), std::string::npos);
  const Result help = Run("copy --help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("--version"), std::string::npos);
}

}  // namespace
}  // namespace picmap::test
