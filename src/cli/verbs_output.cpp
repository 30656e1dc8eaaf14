// picmap-cli verbs that take a map out of the map file formats: render (a PNG or SVG picture
// of the map in the equirectangular projection) and export (any vector format of GDAL).
// Both use the thing file beside the map, when there is one, for thing colours and names.
#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "cli/common.h"
#include "map/clsMap.h"
#include "output/geo_area.h"
#include "cli/export_loader.h"
#include "output/map_renderer.h"
#include "things/thing_lookup.h"
#include "support/angle.h"
#include "support/errors.h"
#include "support/text.h"

namespace picmap::cli {

namespace {

constexpr int32_t kDefaultWidth = 1024;
constexpr int32_t kMaxPixels = 32768;

// Parses the verb's two positional arguments and --overwrite; -1 to go on, else the exit code.
int ParseArgs(QCommandLineParser& parser, const QStringList& args) {
  parser.addOption({"overwrite", "Replace OUT when it exists already (-overwrite too)."});
  return ParseVerb(parser, args, 2);
}

// One angle text in arc-seconds; none for a text the angle reader refuses.
std::optional<int32_t> ReadAngle(const QString& text) {
  try {
    return AngleSecStrToVal(AngleFormalStr(U(text.trimmed())));
  } catch (const Error&) {
    return std::nullopt;
  }
}

// "WEST,EAST,NORTH,SOUTH" as angle texts; an error message when it cannot be used.
QString ReadArea(const QString& text, GeoArea& area) {
  const QStringList parts = text.split(',');
  if (parts.size() != 4) return TrQ("picmap-cli", "--area: WEST,EAST,NORTH,SOUTH を指定してください");
  int32_t* edges[4] = {&area.west, &area.east, &area.north, &area.south};
  for (int i = 0; i < 4; ++i) {
    const std::optional<int32_t> sec = ReadAngle(parts[i]);
    if (!sec) return TrQ("picmap-cli", "--area: '%1' を角度として読めません").arg(parts[i]);
    *edges[i] = *sec;
  }
  if (!area.IsValid())
    return TrQ("picmap-cli",
               "--area: 経度は 180° 以内, 緯度は 90° 以内, 北端は南端より北にしてください");
  return {};
}

// A picture size option, `fallback` when not given; 0 after a usage error has been reported.
int32_t ReadPixels(const QCommandLineParser& parser, const char* option, int32_t fallback) {
  if (!parser.isSet(option)) return fallback;
  bool ok = false;
  const int pixels = parser.value(option).toInt(&ok);
  if (!ok || pixels < 1 || pixels > kMaxPixels) {
    Fail(TrQ("picmap-cli", "--%1: 1 から %2 までの整数を指定してください")
             .arg(QString::fromLatin1(option))
             .arg(kMaxPixels),
         kExitUsage);
    return 0;
  }
  return pixels;
}

enum class PictureKind { Png, Svg, Unknown };

PictureKind KindOf(const QString& out) {
  if (out.endsWith(".png", Qt::CaseInsensitive)) return PictureKind::Png;
  if (out.endsWith(".svg", Qt::CaseInsensitive)) return PictureKind::Svg;
  return PictureKind::Unknown;
}

// A height of 0 follows the area's aspect; a map far taller than wide then takes the tallest
// picture with a width to match, unless the width was given.
int WritePicture(const clsMap& map, const QString& out, const GeoArea& area, int32_t width,
                 int32_t height, bool widthGiven) {
  if (height == 0) height = HeightForWidth(area, width);
  if (height > kMaxPixels && !widthGiven) {
    width = std::max<int32_t>(1, static_cast<int32_t>(int64_t{width} * kMaxPixels / height));
    height = kMaxPixels;
  }
  if (height > kMaxPixels)
    return Fail(TrQ("picmap-cli", "画像の高さが大きすぎます. --width を小さくしてください"),
                kExitUsage);
  const MapRenderer renderer(map, ThingLookup::BesideMap(map.FileName()));
  bool ok = false;
  try {
    ok = KindOf(out) == PictureKind::Png ? renderer.SavePng(U(out), area, width, height)
                                         : renderer.SaveSvg(U(out), area, width, height);
  } catch (const Error& e) {
    ReportError(e, out);
    return kExitFailure;
  }
  if (!ok) return Fail(TrQ("picmap-cli", "%1: 画像を符号化できませんでした").arg(out));
  Report("wrote", TrQ("picmap-cli", "%1 (%2 x %3 画素)").arg(out).arg(width).arg(height));
  return kExitOk;
}

// The export's failure in the chosen language; GDAL's own words as GDAL gives them.
QString ExportFailure(const ogr::ExportResult& result) {
  if (!result.reason) return QString::fromStdString(result.error);
  const QString text = TrQ("MapExport", result.reason);
  QStringList v;
  for (const std::string& value : result.values) v << Q(InWords(FromUtf8(value)));
  switch (v.size()) {
    case 1: return text.arg(v[0]);
    case 2: return text.arg(v[0], v[1]);
    case 3: return text.arg(v[0], v[1], v[2]);
    default: return text;
  }
}

}  // namespace

int RunRender(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Draws a longitude/latitude map as a PNG or SVG picture (equirectangular projection).\n"
      "Figures without a colour of their own take the colour of their thing from the thing\n"
      "file beside the map, else grey.");
  parser.addPositionalArgument("MAP", "The map file.");
  parser.addPositionalArgument("OUT", "The picture to write, ending in .png or .svg.");
  const QCommandLineOption widthOption("width", "Picture width (default 1024).", "PIXELS");
  const QCommandLineOption heightOption(
      "height", "Picture height (default: from the width and the area's aspect).", "PIXELS");
  const QCommandLineOption areaOption(
      "area", "The area drawn, as angle texts (default: the map's extent).",
      "WEST,EAST,NORTH,SOUTH");
  parser.addOption(widthOption);
  parser.addOption(heightOption);
  parser.addOption(areaOption);
  if (int code = ParseArgs(parser, args); code >= 0) return code;
  const QString out = parser.positionalArguments()[1];
  if (KindOf(out) == PictureKind::Unknown)
    return Fail(TrQ("picmap-cli", "OUT の拡張子は .png か .svg にしてください"), kExitUsage);
  if (KindOf(out) == PictureKind::Svg && !MapRenderer::SvgAvailable())
    return Fail(TrQ("picmap-cli", "このビルドは SVG を書き出せません"));
  const int32_t width = ReadPixels(parser, "width", kDefaultWidth);
  const int32_t height = ReadPixels(parser, "height", -1);
  if (width == 0 || height == 0) return kExitUsage;
  GeoArea area;
  if (parser.isSet(areaOption)) {
    if (QString e = ReadArea(parser.value(areaOption), area); !e.isEmpty())
      return Fail(e, kExitUsage);
  }
  if (RefuseExistingOutput(out, parser.isSet("overwrite"))) return kExitFailure;
  clsMap map;
  if (!LoadMapFile(map, parser.positionalArguments()[0])) return kExitFailure;
  if (!parser.isSet(areaOption)) {
    const std::optional<GeoArea> bounds = MapBounds(map);
    if (!bounds) return Fail(TrQ("picmap-cli", "地図に描く図形がありません. --area を指定してください"));
    area = *bounds;
  }
  return WritePicture(map, out, area, width, std::max(height, 0), parser.isSet("width"));
}

int RunExport(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Writes a map in a vector format of GDAL (GeoPackage, Shapefile, FlatGeobuf, GeoJSON\n"
      "(RFC 7946), KML, ...), one layer per kind of figure, with the thing names of the thing\n"
      "file beside the map.");
  parser.addPositionalArgument("MAP", "The map file.");
  parser.addPositionalArgument("OUT", "The file to write.");
  const QCommandLineOption formatOption(
      QStringList{"f", "format", "of"}, "GDAL's name of the format (default: from OUT's extension).",
      "FORMAT");
  const QCommandLineOption dissolveOption(
      "dissolve", "Merge the polygons of one colour and thing into one per connected region.");
  const QCommandLineOption quietOption(QStringList{"q", "quiet"}, "Print nothing on success.");
  const QCommandLineOption layerOption("lco", "A layer creation option of the format, as ogr2ogr's -lco (repeatable).", "NAME=VALUE");
  const QCommandLineOption datasetOption("dsco", "A dataset creation option, as ogr2ogr's -dsco (repeatable).", "NAME=VALUE");
  const QCommandLineOption nameOption("nln", "The name of the one layer written, as ogr2ogr's -nln.", "NAME");
  for (const QCommandLineOption& o : {formatOption, dissolveOption, quietOption, layerOption, datasetOption, nameOption})
    parser.addOption(o);
  if (int code = ParseArgs(parser, args); code >= 0) return code;
  const QString out = parser.positionalArguments()[1];
  if (RefuseExistingOutput(out, parser.isSet("overwrite"))) return kExitFailure;
  ogr::ExportRequest request;
  request.map = parser.positionalArguments()[0].toStdString();
  request.out = out.toStdString();
  request.format = parser.value(formatOption).toStdString();
  request.dissolve = parser.isSet(dissolveOption);
  request.overwrite = parser.isSet("overwrite");
  for (const QString& o : parser.values(layerOption)) request.layerOptions.push_back(o.toStdString());
  for (const QString& o : parser.values(datasetOption)) request.datasetOptions.push_back(o.toStdString());
  request.layerName = parser.value(nameOption).toStdString();
  const ogr::ExportResult result = ExportThroughModule(request);
  if (!result.error.empty()) return Fail(ExportFailure(result), result.usage ? kExitUsage : kExitFailure);
  if (parser.isSet(quietOption)) return kExitOk;
  QString what = TrQ("picmap-cli", "%1 (%2): %3 地物")
                     .arg(out, QString::fromStdString(result.format))
                     .arg(static_cast<long long>(result.features));
  if (request.dissolve)
    what += TrQ("picmap-cli", " (%1 個のポリゴンを統合)").arg(static_cast<long long>(result.figures));
  Report("wrote", what);
  for (const std::string& backup : result.keptBackups) std::printf("kept: %s\n", backup.c_str());
  return kExitOk;
}

}  // namespace picmap::cli
