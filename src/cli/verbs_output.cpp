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
std::string ReadArea(const QString& text, GeoArea& area) {
  const QStringList parts = text.split(',');
  if (parts.size() != 4) return "--area needs WEST,EAST,NORTH,SOUTH";
  int32_t* edges[4] = {&area.west, &area.east, &area.north, &area.south};
  for (int i = 0; i < 4; ++i) {
    const std::optional<int32_t> sec = ReadAngle(parts[i]);
    if (!sec) return "--area: cannot read the angle '" + parts[i].toStdString() + "'";
    *edges[i] = *sec;
  }
  if (!area.IsValid())
    return "--area: longitudes must lie within 180°, latitudes within 90°, north above south";
  return {};
}

// A picture size option, `fallback` when not given; 0 after a usage error has been reported.
int32_t ReadPixels(const QCommandLineParser& parser, const char* option, int32_t fallback) {
  if (!parser.isSet(option)) return fallback;
  bool ok = false;
  const int pixels = parser.value(option).toInt(&ok);
  if (!ok || pixels < 1 || pixels > kMaxPixels) {
    Fail(std::string("--") + option + " must be a whole number from 1 to " + std::to_string(kMaxPixels),
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

// A height of 0 follows the area's aspect.
int WritePicture(const clsMap& map, const QString& out, const GeoArea& area, int32_t width,
                 int32_t height) {
  if (height == 0) height = HeightForWidth(area, width);
  if (height > kMaxPixels)
    return Fail("the picture would be too tall; give a smaller --width", kExitUsage);
  const MapRenderer renderer(map, ThingLookup::BesideMap(map.FileName()));
  bool ok = false;
  try {
    ok = KindOf(out) == PictureKind::Png ? renderer.SavePng(U(out), area, width, height)
                                         : renderer.SaveSvg(U(out), area, width, height);
  } catch (const Error& e) {
    ReportError(e, out);
    return kExitFailure;
  }
  if (!ok) return Fail(out.toStdString() + ": the picture could not be encoded");
  std::printf("wrote %s (%d x %d pixels)\n", qPrintable(out), width, height);
  return kExitOk;
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
    return Fail("OUT must end in .png or .svg", kExitUsage);
  if (KindOf(out) == PictureKind::Svg && !MapRenderer::SvgAvailable())
    return Fail("this build cannot write SVG");
  const int32_t width = ReadPixels(parser, "width", kDefaultWidth);
  const int32_t height = ReadPixels(parser, "height", -1);
  if (width == 0 || height == 0) return kExitUsage;
  GeoArea area;
  if (parser.isSet(areaOption)) {
    if (std::string e = ReadArea(parser.value(areaOption), area); !e.empty())
      return Fail(e, kExitUsage);
  }
  if (RefuseExistingOutput(out, parser.isSet("overwrite"))) return kExitFailure;
  clsMap map;
  if (!LoadMapFile(map, parser.positionalArguments()[0])) return kExitFailure;
  if (!parser.isSet(areaOption)) {
    const std::optional<GeoArea> bounds = MapBounds(map);
    if (!bounds) return Fail("the map has no figures to draw; give --area");
    area = *bounds;
  }
  return WritePicture(map, out, area, width, std::max(height, 0));
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
  if (!result.error.empty()) return Fail(result.error, result.usage ? kExitUsage : kExitFailure);
  if (parser.isSet(quietOption)) return kExitOk;
  std::printf("wrote %s (%s): %lld features", request.out.c_str(), result.format.c_str(),
              static_cast<long long>(result.features));
  if (request.dissolve)
    std::printf(" dissolved from %lld polygons", static_cast<long long>(result.figures));
  std::printf("\n");
  return kExitOk;
}

}  // namespace picmap::cli
