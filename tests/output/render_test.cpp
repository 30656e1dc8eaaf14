// Rendering: the painter surface's primitives, the longitude/latitude mapping, and maps drawn
// onto pictures and SVG documents with exact polygon coverage, hidden figures, thing colours
// and areas across the 180° meridian.
#include <gtest/gtest.h>

#include <QFile>
#include <fstream>
#include <QPainter>
#include <QXmlStreamReader>

#include "geometry/clsLine.h"
#include "geometry/clsRect.h"
#include "output/geo_area.h"
#include "output/map_renderer.h"
#include "output/qt_surface.h"
#include "../fault_injection.h"
#include "output_helpers.h"
#include "support/errors.h"
#include "support/platform.h"

namespace picmap::test {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

QImage Blank(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  return image;
}

// The filled pixels of one colour as a text of rows, '#' filled, '.' anything else.
std::string Coverage(const QImage& image, int32_t colour) {
  std::string rows;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) rows += PixelColour(image, x, y) == colour ? '#' : '.';
    rows += '\n';
  }
  return rows;
}

TEST(PainterSurface, PrimitivesFillTheirIntegerCoordinates) {
  QImage image = Blank(8, 8);
  QPainter painter(&image);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 0, 0));
  QPainterSurface surface(painter);
  const PolyPoint square[] = {{1, 1}, {4, 1}, {4, 3}, {1, 3}, {1, 1}};
  EXPECT_TRUE(surface.Polygon(square, 5));
  EXPECT_TRUE(surface.Rectangle(5, 5, 7, 8));
  painter.end();
  EXPECT_EQ(Coverage(image, kRed),
            "........\n"
            ".###....\n"
            ".###....\n"
            "........\n"
            "........\n"
            ".....##.\n"
            ".....##.\n"
            ".....##.\n");
}

TEST(PainterSurface, RefusesTooFewPointsAndAnInactivePainter) {
  QImage image = Blank(4, 4);
  QPainter painter(&image);
  QPainterSurface surface(painter);
  const PolyPoint one[] = {{1, 1}};
  EXPECT_FALSE(surface.Polygon(one, 1));
  EXPECT_FALSE(surface.Polyline(one, 1));
  EXPECT_FALSE(surface.Polygon(nullptr, 0));
  EXPECT_FALSE(surface.Rectangle(3, 0, 2, 2));  // reversed corners
  painter.end();
  EXPECT_FALSE(surface.Polyline(one, 1));
  EXPECT_FALSE(surface.LineTo(2, 2));
  EXPECT_FALSE(surface.Rectangle(0, 0, 2, 2));
}

TEST(PainterSurface, LinesFollowTheCurrentPositionAndReportThePreviousOne) {
  QImage image = Blank(6, 6);
  QPainter painter(&image);
  painter.setPen(QPen(QColor(0, 255, 0), 0));
  QPainterSurface surface(painter);
  PolyPoint previous{-1, -1};
  EXPECT_TRUE(surface.MoveTo(1, 2, &previous));
  EXPECT_EQ(previous, (PolyPoint{0, 0}));
  EXPECT_TRUE((clsLine{0, 4, 5, 4}.Draw(surface)));  // the segment's own MoveTo and LineTo
  EXPECT_TRUE(surface.MoveTo(2, 0, &previous));
  EXPECT_EQ(previous, (PolyPoint{5, 4}));
  painter.end();
  for (int x = 0; x <= 5; ++x) EXPECT_EQ(PixelColour(image, x, 4), kGreen) << x;
  EXPECT_EQ(PixelColour(image, 1, 1), -1);
}

TEST(PainterSurface, GeometryRectangleDrawsThroughTheSurface) {
  QImage image = Blank(8, 8);
  QPainter painter(&image);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 0, 255));
  QPainterSurface surface(painter);
  EXPECT_TRUE(clsRect(1, 1, 2, 3).Draw(surface));  // handed on as (1, 1, 4, 5)
  EXPECT_FALSE(clsRect(3, 3, 2, 2).Draw(surface));
  painter.end();
  EXPECT_EQ(Coverage(image, kBlue).substr(0, 9 * 6),
            "........\n"
            ".###....\n"
            ".###....\n"
            ".###....\n"
            ".###....\n"
            "........\n");
}

TEST(GeoMapping, EdgesOfTheAreaMeetTheEdgesOfTheTarget) {
  const GeoArea area{-3600, 7200, 1800, -1800};
  const QTransform t = GeoToPixel(area, QRectF(10, 20, 300, 100));
  EXPECT_EQ(t.map(QPointF(-3600, 1800)), QPointF(10, 20));
  EXPECT_EQ(t.map(QPointF(7200, -1800)), QPointF(310, 120));
  EXPECT_EQ(t.map(QPointF(1800, 0)), QPointF(160, 70));
  EXPECT_EQ(HeightForWidth(area, 300), 100);
  EXPECT_EQ(HeightForWidth(GeoArea{0, 100000, 1, 0}, 10), 1);
}

TEST(GeoMapping, EastAtOrBeforeWestGoesOnceAroundTheWorld) {
  EXPECT_EQ((GeoArea{612000, -612000, 10, 0}.LonSpan()), 72000);
  EXPECT_TRUE((GeoArea{612000, -612000, 10, 0}.CrossesAntimeridian()));
  EXPECT_EQ((GeoArea{5, 5, 10, 0}.LonSpan()), 1296000);
  EXPECT_FALSE((GeoArea{-648000, 648000, 324000, -324000}.CrossesAntimeridian()));
  EXPECT_TRUE((GeoArea{-648000, 648000, 324000, -324000}.IsValid()));
  EXPECT_FALSE((GeoArea{0, 10, 0, 0}.IsValid()));
  EXPECT_FALSE((GeoArea{0, 648001, 10, 0}.IsValid()));
  EXPECT_FALSE((GeoArea{0, 10, 324001, 0}.IsValid()));
}

TEST(GeoMapping, MapBoundsCoverEveryFigureWithGeometry) {
  ScopedScriptedPorts ports;
  clsMap map;
  EXPECT_FALSE(MapBounds(map).has_value());
  map.Add(NewRemark(u"# 地図コード：108000"));
  EXPECT_FALSE(MapBounds(map).has_value());
  map.Add(Symbol(100, 200, kRed));
  EXPECT_EQ(*MapBounds(map), (GeoArea{40, 160, 260, 140}));  // a point widened by a minute
  map.Add(Rectangle(-500, 900, 300, 50, kRed));
  map.Add(Line({{0, -700}, {1200, 0}}, kBlue));
  EXPECT_EQ(*MapBounds(map), (GeoArea{-500, 1200, 900, -700}));
}

// Islands either side of the 180° meridian (170°E .. 179°59′59″E and 179°59′59″W .. 170°W)
// are drawn as the 20° they span, not the whole world; a map reaching round most of the world
// keeps its own edges.
TEST(GeoMapping, MapBoundsOfAMapAcrossTheAntimeridianCrossIt) {
  ScopedScriptedPorts ports;
  clsMap map;
  map.Add(Rectangle(612000, -36000, 647999, -72000, kRed));
  map.Add(Rectangle(-647999, -40000, -612000, -80000, kBlue));
  const GeoArea area = *MapBounds(map);
  EXPECT_EQ(area, (GeoArea{612000, -612000, -36000, -80000}));
  EXPECT_TRUE(area.CrossesAntimeridian());
  EXPECT_EQ(area.LonSpan(), 72000);
  map.Add(Rectangle(-300000, 0, 300000, -10000, kRed));
  EXPECT_EQ(*MapBounds(map), (GeoArea{-647999, 647999, 0, -80000}));
}

// Figures on one meridian, even 180° E and 180° W at once, span no longitude: the area is
// widened to about the height they span, so a picture of it is neither empty nor a sliver.
TEST(GeoMapping, MapBoundsOfFiguresOnOneMeridianAreWidened) {
  ScopedScriptedPorts ports;
  for (const auto& [north, south] : {std::pair{-648000, 648000}, std::pair{36000, 36000}}) {
    clsMap map;
    map.Add(Symbol(north, 36000, kRed));  // the longitude of the northern point
    map.Add(Symbol(south, -36000, kRed));
    const GeoArea area = *MapBounds(map);
    EXPECT_GT(area.LonSpan(), 0) << north;
    const int32_t height = HeightForWidth(area, 1024);
    EXPECT_GE(height, 512) << north;
    EXPECT_LE(height, 2048) << north;
  }
}

class RenderTest : public ScratchTest {
 protected:
  ScopedScriptedPorts ports_;
  clsMap map_;
  // 0..1000″ both ways on 10 × 10 pixels: 100″ a pixel, pixel centres at 50, 150, ...
  const GeoArea area_{0, 1000, 1000, 0};
  QImage Draw(ThingLookup things = {}) const {
    return MapRenderer(map_, std::move(things)).RenderImage(area_, 10, 10);
  }
};

TEST_F(RenderTest, PolygonCoversExactlyThePixelCentresInside) {
  map_.Add(Rectangle(240, 860, 760, 540, kRed));  // centres 250..750 across, 850..550 down
  const QImage image = Draw();
  EXPECT_EQ(Coverage(image, kRed),
            "..........\n"
            "..######..\n"
            "..######..\n"
            "..######..\n"
            "..######..\n"
            "..........\n"
            "..........\n"
            "..........\n"
            "..........\n"
            "..........\n");
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_NE(PixelColour(image, x, y), -2) << x << "," << y;
}

TEST_F(RenderTest, NeighboursThatOverlapSlightlyKeepTheirOwnPixels) {
  // Like converted runs: each rectangle reaches a little into its neighbour's pixel.
  map_.Add(Rectangle(-3, 1000, 503, 0, kRed));
  map_.Add(Rectangle(497, 1000, 1000, 0, kGreen));
  const QImage image = Draw();
  for (int x = 0; x < 10; ++x) EXPECT_EQ(PixelColour(image, x, 3), x < 5 ? kRed : kGreen) << x;
}

TEST_F(RenderTest, LaterFiguresPaintOverEarlierOnesAndHiddenOnesAreSkipped) {
  map_.Add(Rectangle(0, 1000, 1000, 0, kRed));
  map_.Add(Rectangle(0, 1000, 500, 500, kGreen));
  auto hidden = Rectangle(500, 500, 1000, 0, kBlue);
  hidden->OwnShowMode(0);
  map_.Add(hidden);
  auto shown = Rectangle(0, 500, 500, 0, kBlue);
  shown->OwnShowMode(1);
  map_.Add(shown);
  const QImage image = Draw();
  EXPECT_EQ(PixelColour(image, 2, 2), kGreen);
  EXPECT_EQ(PixelColour(image, 7, 2), kRed);
  EXPECT_EQ(PixelColour(image, 7, 7), kRed);
  EXPECT_EQ(PixelColour(image, 2, 7), kBlue);
}

TEST_F(RenderTest, FiguresWithoutColourTakeTheirThingsForeElseGrey) {
  map_.FileName(UPath("coloured.MLL"));
  map_.Add(Rectangle(0, 1000, 300, 0, -1, 7));
  map_.Add(Rectangle(300, 1000, 600, 0, -1, 8));
  map_.Add(Rectangle(600, 1000, 1000, 0, -1, 9));
  // Without a thing file every uncoloured figure is grey.
  EXPECT_EQ(PixelColour(Draw(ThingLookup::BesideMap(map_.FileName())), 1, 5), kNeutralGrey);
  WriteThingFile(Path("coloured.THG"),
                 {{u"NUMBER=7", u"FIGURE=POLYGON", u"NAME=\"湖\"", u"CATEGORY=1",
                   u"FORE=&H00FF8000&"},
                  {u"NUMBER=8", u"FIGURE=POLYGON", u"NAME=\"森\"", u"CATEGORY=1"}});
  const ThingLookup things = ThingLookup::BesideMap(map_.FileName());
  ASSERT_TRUE(things.HasThings());
  EXPECT_EQ(things.NameOf(7).value_or(u""), u"湖");
  const QImage image = Draw(things);
  EXPECT_EQ(PixelColour(image, 1, 5), 0xFF8000);
  EXPECT_EQ(PixelColour(image, 4, 5), 0x000000);  // a thing without FORE is black
  EXPECT_EQ(PixelColour(image, 8, 5), kNeutralGrey);  // thing 9 is not in the file
}

TEST_F(RenderTest, AreaAcrossTheAntimeridianShowsBothSides) {
  // 170° E .. 170° W on 20 pixels: 3600″ a pixel, 180° at column 10.
  map_.Add(Rectangle(640800, 3600, 648000, 0, kRed));     // 178° E .. 180°
  map_.Add(Rectangle(-648000, 3600, -640800, 0, kBlue));  // 180° .. 178° W
  const QImage image =
      MapRenderer(map_, {}).RenderImage(GeoArea{612000, -612000, 3600, 0}, 20, 1);
  std::string row;
  for (int x = 0; x < 20; ++x) {
    const int32_t c = PixelColour(image, x, 0);
    row += c == kRed ? 'R' : c == kBlue ? 'B' : '.';
  }
  EXPECT_EQ(row, "........RRBB........");
}

TEST_F(RenderTest, DrawsIntoATargetRectangleOfAWindowOnly) {
  map_.Add(Rectangle(-5000, 5000, 5000, -5000, kGreen));  // far beyond the area
  QImage image = Blank(30, 30);
  QPainter painter(&image);
  painter.translate(5, 5);  // a window's own painter state is respected and restored
  MapRenderer(map_, {}).Render(painter, QRectF(5, 5, 10, 10), area_);
  EXPECT_EQ(painter.worldTransform(), QTransform::fromTranslate(5, 5));
  painter.end();
  EXPECT_EQ(PixelColour(image, 10, 10), kGreen);
  EXPECT_EQ(PixelColour(image, 19, 19), kGreen);
  EXPECT_EQ(PixelColour(image, 9, 9), -1);
  EXPECT_EQ(PixelColour(image, 20, 20), -1);
}

TEST_F(RenderTest, PolylinesSymbolsAndTextsLeaveTheirMarks) {
  map_.Add(Line({{50, 850}, {950, 850}}, kBlue));
  map_.Add(Symbol(500, 500, kRed));
  map_.Add(Label(100, 200, u"", u"", 0, kGreen));  // nothing to write
  const QImage image = Draw();
  int blue = 0;
  for (int x = 0; x < 10; ++x) blue += PixelColour(image, x, 1) == kBlue;
  EXPECT_GE(blue, 8);
  EXPECT_EQ(PixelColour(image, 5, 5), kRed);
  EXPECT_EQ(PixelColour(image, 1, 8), -1);
}

TEST_F(RenderTest, PngAndSvgFilesAreWritten) {
  map_.Add(Rectangle(240, 960, 760, 540, kRed));
  map_.Add(Label(500, 500, u"bell\u0001 & <tag>", u"", 0, kBlue));  // a control character is no XML
  const MapRenderer renderer(map_, {});
  ASSERT_TRUE(renderer.SavePng(UPath("out.png"), area_, 10, 10));
  QImage back(QString::fromStdString(Path("out.png")));
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(PixelColour(back.convertToFormat(QImage::Format_ARGB32), 3, 3), kRed);
  EXPECT_THROW(renderer.SavePng(UPath("missing/out.png"), area_, 10, 10), Error);
  if (!MapRenderer::SvgAvailable()) GTEST_SKIP() << "built without Qt SVG";
  ASSERT_TRUE(renderer.SaveSvg(UPath("out.svg"), area_, 10, 10));
  QFile svg(QString::fromStdString(Path("out.svg")));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  const QByteArray body = svg.readAll();
  EXPECT_TRUE(body.contains("<svg"));
  EXPECT_TRUE(body.contains("#ff0000"));
  QXmlStreamReader xml(body);
  while (!xml.atEnd()) xml.readNext();
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_THROW(renderer.SaveSvg(UPath("missing/out.svg"), area_, 10, 10), Error);
}

// A render that fails anywhere (a full disk, any step of putting the file in place) leaves the
// picture it was to replace as it was.
TEST_F(RenderTest, FailedRenderKeepsTheOldPicture) {
  map_.Add(Rectangle(240, 960, 760, 540, kRed));
  const MapRenderer renderer(map_, {});
  {
    std::ofstream(Path("out.png"), std::ios::binary) << "the old picture";
  }
  const auto old = [&] {
    std::ifstream in(Path("out.png"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {}) == "the old picture";
  };
  {
    const test::ScopedFileSizeLimit full(100);
    EXPECT_THROW(renderer.SavePng(UPath("out.png"), area_, 200, 200), Error);
  }
  EXPECT_TRUE(old());
  for (int step = 1;; ++step) {
    const test::SaveStepFault fail(step, test::SaveStepFault::Kind::Fail);
    try {
      renderer.SavePng(UPath("out.png"), area_, 10, 10);
    } catch (const Error&) {
    }
    if (!test::SaveStepFault::Reached()) break;
    EXPECT_TRUE(old()) << step;
    EXPECT_TRUE(test::TemporaryFiles(fs::path(Path("out.png")).parent_path()).empty()) << step;
  }
  EXPECT_FALSE(old());
}

// A small map of every figure kind, kept as test-output/render_small_map.png to look at.
TEST_F(RenderTest, SmallMapPictureIsKeptForInspection) {
  map_.Add(NewRemark(u"# 欧文地図名　　　：sample"));
  map_.Add(Rectangle(3600, 14400, 18000, 3600, 0x40A040));             // green land
  map_.Add(Rectangle(7200, 10800, 10800, 7200, 0xC08040));             // a blue lake on it
  auto hidden = Rectangle(18000, 14400, 25200, 3600, kRed);
  hidden->OwnShowMode(0);                                              // never visible
  map_.Add(hidden);
  map_.Add(Line({{0, 0}, {10800, 3600}, {21600, 1800}, {28800, 12600}}, kBlue));
  map_.Add(Symbol(14400, 12600, kRed));
  map_.Add(Label(3600, 16200, u"Sample Island", u"", 0, 0x000000));
  map_.Add(Label(21600, 5400, u"", u"東京", 45, 0x800080));
  const MapRenderer renderer(map_, {});
  const GeoArea area{0, 28800, 18000, 0};
  const fs::path kept = KeptOutputDir() / "render_small_map.png";
  ASSERT_TRUE(renderer.SavePng(FromUtf8(kept.string()), area, 320, HeightForWidth(area, 320)));
  const QImage image = renderer.RenderImage(area, 320, 200);
  EXPECT_EQ(PixelColour(image, 60, 120), 0x40A040);
  EXPECT_EQ(PixelColour(image, 100, 110), 0xC08040);
  EXPECT_EQ(PixelColour(image, 240, 120), -1);  // the hidden one
}

}  // namespace
}  // namespace picmap::test
