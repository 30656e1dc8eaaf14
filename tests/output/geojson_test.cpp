// GeoJSON export: geometry in degrees with closed counter-clockwise rings, the properties and
// header, exact round trips of whole seconds, failures, and GDAL reading the result.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "output/geojson.h"
#include "output_helpers.h"
#include "support/platform.h"

namespace picmap::test {
namespace {

QJsonObject ReadJson(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

std::vector<PolyPoint> SecondsOf(const QJsonArray& positions) {
  std::vector<PolyPoint> points;
  for (const QJsonValue& p : positions)
    points.push_back({DegreesToSec(p[0].toDouble()), DegreesToSec(p[1].toDouble())});
  return points;
}

class GeoJsonTest : public ScratchTest {
 protected:
  ScopedScriptedPorts ports_;
  clsMap map_;
  QJsonObject Export(const ThingLookup& things = {}) {
    GeoJsonSummary summary;
    EXPECT_EQ(ExportGeoJson(map_, things, UPath("out.geojson"), &summary), 0);
    summary_ = summary;
    return ReadJson(Path("out.geojson"));
  }
  GeoJsonSummary summary_;
};

TEST_F(GeoJsonTest, GeneratedRectangleBecomesAClosedCounterClockwiseRing) {
  // Generation's order (left, top), (right, top), ... runs clockwise with north up.
  map_.Add(Rectangle(3600, 7200, 10800, 1800, 0x123456));
  const QJsonObject o = Export();
  EXPECT_EQ(o["type"].toString(), "FeatureCollection");
  const QJsonObject g = o["features"][0]["geometry"].toObject();
  EXPECT_EQ(g["type"].toString(), "Polygon");
  const std::vector<PolyPoint> ring = SecondsOf(g["coordinates"][0].toArray());
  EXPECT_EQ(ring, (std::vector<PolyPoint>{
                      {3600, 7200}, {3600, 1800}, {10800, 1800}, {10800, 7200}, {3600, 7200}}));
  EXPECT_DOUBLE_EQ(g["coordinates"][0][1][0].toDouble(), 1.0);
  EXPECT_DOUBLE_EQ(g["coordinates"][0][1][1].toDouble(), 0.5);
}

TEST_F(GeoJsonTest, OpenOutlineIsClosedAndCounterClockwiseOneKept) {
  auto p = std::make_shared<clsMapPolygon>();
  p->Admin(0);
  p->Thing(0);
  for (PolyPoint pt : {PolyPoint{0, 0}, {100, 0}, {100, 100}, {0, 100}}) p->Poly()->AddPoint(pt);
  const std::optional<QJsonObject> f = FeatureOf(*p, {});
  ASSERT_TRUE(f);
  EXPECT_EQ(SecondsOf((*f)["geometry"]["coordinates"][0].toArray()),
            (std::vector<PolyPoint>{{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}));
  auto flat = std::make_shared<clsMapPolygon>();
  flat->Poly()->AddXandY(0, 0);
  flat->Poly()->AddXandY(5, 5);
  EXPECT_FALSE(FeatureOf(*flat, {}));  // two points make no ring
  auto dot = std::make_shared<clsMapPolyline>();
  dot->Poly()->AddXandY(1, 1);
  EXPECT_FALSE(FeatureOf(*dot, {}));
  EXPECT_FALSE(FeatureOf(*NewRemark(u"x"), {}));
}

TEST_F(GeoJsonTest, EveryFigureKindWithItsProperties) {
  map_.FileName(UPath("kinds.MLL"));
  map_.Add(NewRemark(u""));
  map_.Add(NewRemark(u"# 地図コード　　　：108000"));
  auto line = Line({{0, 0}, {3600, 3600}, {7200, 0}}, -1, 7);
  line->Admin(12);
  map_.Add(line);
  map_.Add(Symbol(-1, 1, 0xFF8000, 9));
  map_.Add(Label(648000, -324000, u"Tokyo", u"東京", -30, 0x0000FF, 7));
  map_.Add(NewRemark(u"/ end of file"));
  WriteThingFile(Path("kinds.THG"),
                 {{u"NUMBER=7", u"FIGURE=POLYLINE", u"NAME=\"川\"", u"CATEGORY=1"}});
  const QJsonObject o = Export(ThingLookup::BesideMap(map_.FileName()));
  EXPECT_EQ(o["header"].toArray(), (QJsonArray{"", "# 地図コード　　　：108000"}));
  const QJsonArray features = o["features"].toArray();
  ASSERT_EQ(features.size(), 3);
  EXPECT_EQ(summary_.features, 3);
  EXPECT_EQ(summary_.skipped, 0);

  const QJsonObject lp = features[0]["properties"].toObject();
  EXPECT_EQ(features[0]["geometry"]["type"].toString(), "LineString");
  EXPECT_EQ(SecondsOf(features[0]["geometry"]["coordinates"].toArray()),
            (std::vector<PolyPoint>{{0, 0}, {3600, 3600}, {7200, 0}}));
  EXPECT_EQ(lp["thing"].toInt(), 7);
  EXPECT_EQ(lp["thingName"].toString(), "川");
  EXPECT_EQ(lp["admin"].toInt(), 12);
  EXPECT_TRUE(lp["color"].isNull());
  EXPECT_EQ(lp["figId"].toDouble(), line->FigID());
  EXPECT_FALSE(lp.contains("text1"));

  const QJsonObject sp = features[1]["properties"].toObject();
  EXPECT_EQ(features[1]["geometry"]["type"].toString(), "Point");
  EXPECT_EQ(sp["color"].toString(), "#0080FF");  // 0x00BBGGRR: red 00, green 80, blue FF
  EXPECT_TRUE(sp["thingName"].isNull());          // thing 9 is not in the file

  const QJsonObject tp = features[2]["properties"].toObject();
  EXPECT_EQ(SecondsOf(QJsonArray{features[2]["geometry"]["coordinates"]}),
            (std::vector<PolyPoint>{{648000, -324000}}));
  EXPECT_EQ(tp["text1"].toString(), "Tokyo");
  EXPECT_EQ(tp["text2"].toString(), "東京");
  EXPECT_EQ(tp["angle"].toInt(), -30);
  EXPECT_EQ(tp["color"].toString(), "#FF0000");
}

TEST_F(GeoJsonTest, WithoutThingFileNoThingNames) {
  map_.Add(Symbol(0, 0, 0, 3));
  const QJsonObject p = Export()["features"][0]["properties"].toObject();
  EXPECT_FALSE(p.contains("thingName"));
  EXPECT_EQ(p["color"].toString(), "#000000");
}

TEST_F(GeoJsonTest, WholeSecondsSurviveTheRoundTrip) {
  const std::vector<PolyPoint> points = {{-648000, -324000}, {648000, 324000}, {1, -1},
                                         {647999, 323999}, {-12345, 54321}, {7, 3599},
                                         {-647999, 1801}, {0, 0}};
  map_.Add(Line(points, 0));
  for (int32_t x = -648000; x <= 648000; x += 9973) map_.Add(Symbol(x, x / 2, 0));
  const QJsonArray features = Export()["features"].toArray();
  EXPECT_EQ(SecondsOf(features[0]["geometry"]["coordinates"].toArray()), points);
  int32_t x = -648000;
  for (qsizetype i = 1; i < features.size(); ++i, x += 9973) {
    const QJsonArray c = features[i]["geometry"]["coordinates"].toArray();
    ASSERT_EQ(DegreesToSec(c[0].toDouble()), x);
    ASSERT_EQ(DegreesToSec(c[1].toDouble()), x / 2);
  }
  // The written text itself, not only Qt's reading of it, carries enough digits.
  QFile f(QString::fromStdString(Path("out.geojson")));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray text = f.readAll();
  EXPECT_TRUE(text.contains("[-3.4291666666666"));  // -12345″
}

TEST_F(GeoJsonTest, UnwritableTargetFailsAndLeavesNoFile) {
  map_.Add(Symbol(0, 0, 0));
  EXPECT_NE(ExportGeoJson(map_, {}, UPath("missing/out.geojson")), 0);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  // An earlier export stays whole when a later one cannot be written over it.
  ASSERT_EQ(ExportGeoJson(map_, {}, UPath("out.geojson")), 0);
  const auto before = fs::file_size(dir_ / "out.geojson");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  const int32_t failed = ExportGeoJson(map_, {}, UPath("out.geojson"));
  fs::permissions(dir_, fs::perms::owner_all);
  if (::geteuid() != 0) {
    EXPECT_NE(failed, 0);
  }
  EXPECT_EQ(fs::file_size(dir_ / "out.geojson"), before);
}

#ifdef PICMAP_OGRINFO
std::string RunOgrinfo(const std::string& args) {
  const std::string cmd = std::string(PICMAP_OGRINFO) + " " + args + " 2>&1";
  std::string out;
  if (FILE* pipe = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
    ::pclose(pipe);
  }
  return out;
}

TEST_F(GeoJsonTest, GdalReadsTheExport) {
  map_.Add(NewRemark(u"# プロジェクト　　：KARTOVA"));
  map_.Add(Rectangle(3600, 7200, 10800, 1800, 0x123456));
  map_.Add(Line({{0, 0}, {3600, 3600}}, 0));
  map_.Add(Label(1800, 1800, u"A", u"あ", 10, 0));
  Export();
  const std::string summary = RunOgrinfo("-ro -al -so '" + Path("out.geojson") + "'");
  EXPECT_NE(summary.find("Feature Count: 3"), std::string::npos) << summary;
  const std::string all = RunOgrinfo("-ro -al '" + Path("out.geojson") + "'");
  EXPECT_NE(all.find("POLYGON ((1 2,1.0 0.5,3.0 0.5,3 2,1 2))"), std::string::npos) << all;
  EXPECT_NE(all.find("LINESTRING (0 0,1 1)"), std::string::npos) << all;
  EXPECT_NE(all.find("text2 (String) = あ"), std::string::npos) << all;
  EXPECT_NE(all.find("color (String) = #563412"), std::string::npos) << all;
}
#endif

}  // namespace
}  // namespace picmap::test
