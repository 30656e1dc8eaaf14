// picmap-cli verbs on map files: info (a summary), dump (the whole document as JSON) and
// copy (load and save again, optionally in another file version). The document's own
// messages (missing file, version errors, invalid elements) reach standard error through the
// message port.
#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>

#include "cli/cli.h"
#include "cli/common.h"
#include "map/clsMap.h"
#include "map/layer_style.h"
#include "map/map_elements.h"
#include "map/clsMapRem.h"
#include "map/converter_header.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "support/binfile.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/text.h"
#include "support/ui_text.h"
#include "things/clsThings.h"

namespace picmap::cli {

namespace {

void PrintLine(const std::u16string& text) { std::printf("%s\n", ToUtf8(text).c_str()); }

// Whole numbers as JSON integers (the writer would print a large real as 4.5e+14).
QJsonValue NumberValue(double v) {
  if (std::trunc(v) == v && std::fabs(v) < 9007199254740992.0) return QJsonValue(static_cast<qint64>(v));
  return QJsonValue(v);
}

QJsonArray PointsJson(const clsPoly& poly) {
  QJsonArray points;
  for (const PolyPoint& p : poly.Points()) points.append(QJsonArray{p.x, p.y});
  return points;
}

QJsonObject FigureJson(const clsMapFigure& f) {
  QJsonObject o;
  o["code"] = f.FigCode();
  o["figId"] = NumberValue(f.FigID());
  o["admin"] = f.Admin();
  o["thing"] = f.Thing();
  o["color"] = f.OwnColor();
  o["showMode"] = f.OwnShowMode();
  o["jumpMark"] = f.JumpMark();
  o["reserve"] = f.Reserve();
  if (const auto* rem = dynamic_cast<const clsMapRem*>(&f)) {
    o["comment"] = Q(rem->Comment());
  } else if (const auto* text = dynamic_cast<const clsMapText*>(&f)) {
    o["x"] = text->mx();
    o["y"] = text->my();
    o["fix"] = text->TextFix();
    o["angle"] = text->Angle();
    o["text1"] = Q(text->TextUnicode(1));
    o["text2"] = Q(text->TextUnicode(2));
  } else if (const auto* symbol = dynamic_cast<const clsMapSymbol*>(&f)) {
    o["x"] = symbol->mx();
    o["y"] = symbol->my();
  } else {
    o["points"] = PointsJson(*f.Poly());
  }
  return o;
}

// The smallest rectangle holding every point of every figure with geometry.
struct Bounds {
  bool any = false;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  void Add(int32_t x, int32_t y) {
    if (!any) {
      left = right = x;
      top = bottom = y;
      any = true;
      return;
    }
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  }
};

// What a walk over every element of a map file finds: how many figures of each kind, and
// where the figures with points lie.
struct FigureTally {
  int64_t total = 0;
  int64_t counts[6] = {};
  Bounds bounds;
  bool closed = false;  // the last element is the closing line every converted map ends with
};

// Walks the file element by element, so that a map too big to load is summarised in the
// memory of one figure; refuses a file Load would refuse, with Load's message.
bool TallyMapFile(const QString& path, FigureTally& tally) {
  try {
    BinaryReader reader(U(path));
    int16_t version = 0;
    MapElement last;
    WalkMapElements(reader, version, [&](const MapElement& e) {
      if (!e.right) RaiseInvalidElement(Tr("clsMap", "不正な図形内容"), e.position, e.code);
      last = e;
      ++tally.total;
      ++tally.counts[e.code];
      if (e.code == figcode::kRemark || !e.bounded) return;
      tally.bounds.Add(e.minX, e.minY);
      tally.bounds.Add(e.maxX, e.maxY);
    });
    if (last.position > 0 && last.code == figcode::kRemark)
      tally.closed = IsMapsClosingLine(MapElementReader(reader, version).Read(last.offset, last.position));
    return true;
  } catch (const Error& e) {
    ReportMapReadError(e, path);
    return false;
  }
}

std::u16string Number(int64_t v) { return FromUtf8(std::to_string(v)); }

// A header fact whose line cannot be read is shown as the error instead of ending the verb.
std::u16string Fact(const std::function<std::u16string()>& read) {
  try {
    return read();
  } catch (const Error& e) {
    return u"(error " + Number(e.Number()) + u": " + e.Description() + u")";
  }
}

void PrintInfo(const clsMap& map, const FigureTally& tally) {
  const int16_t ver = map.Version();
  PrintLine(u"Version: " + DoubleToText(ver / 100.0) + u" (" + Number(ver) + u")");
  PrintLine(u"MapMode: " + Number(map.MapMode()));
  std::u16string figures = u"Figures: " + Number(tally.total);
  for (int32_t code = 1; code <= 5; ++code)
    figures += u", " + FigureName(code, 1) + u" " + Number(tally.counts[code]);
  PrintLine(figures);
  PrintLine(u"MapName(1): " + Fact([&] { return map.MapName(1); }));
  PrintLine(u"MapName(2): " + Fact([&] { return map.MapName(2); }));
  PrintLine(u"MapCode: " + Fact([&] { return Number(map.MapCode()); }));
  PrintLine(u"Kind: " + Fact([&] { return map.Kind(); }));
  PrintLine(u"Country: " + Fact([&] { return Number(map.Country()); }));
  PrintLine(u"Level: " + Fact([&] { return Number(map.Level()); }));
  PrintLine(u"LastDate: " + GeneralDateText(map.LastDate()));
  const Bounds& b = tally.bounds;
  // As ranges: in a longitude/latitude map the smaller y is the southern edge, so "top" and
  // "bottom" would mislead.
  PrintLine(b.any ? u"Bounds: x " + Number(b.left) + u" .. " + Number(b.right) + u", y " +
                        Number(b.top) + u" .. " + Number(b.bottom)
                  : std::u16string(u"Bounds: none"));
}

// Fitting versions 1.04 and 1.05 may have thinned long figures: the user is told how much.
void PrintThinning(const clsMap& map) {
  const clsMap::Thinning t = map.ThinnedByLastSave();
  if (t.points == 0) return;
  Report("thinned:", TrQ("picmap-cli", "%1 点を %2 個の図形から間引きました (版 %3 に合わせるため)")
                         .arg(static_cast<long long>(t.points))
                         .arg(t.figures)
                         .arg(Q(DoubleToText(map.Version() / 100.0))));
}

// A version before 1.05 keeps no colour of a figure's own: the copy says how many lost theirs.
void PrintColoursLost(const clsMap& map) {
  if (map.Version() >= 105) return;
  int64_t coloured = 0;
  for (int32_t i = 1; i <= map.Count(); ++i) coloured += map.Item(i)->OwnColor() >= 0;
  if (coloured == 0) return;
  Report("colours lost:", TrQ("picmap-cli", "%1 個の図形の色を捨てました (版 %2 は図形ごとの色を持たないため)")
                              .arg(static_cast<long long>(coloured))
                              .arg(Q(DoubleToText(map.Version() / 100.0))));
}

}  // namespace

int RunMapInfo(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Prints a summary of a map file (.MLL or .MXY).");
  parser.addPositionalArgument("MAP", "The map file.");
  if (int code = ParseVerb(parser, args, 1); code >= 0) return code;
  const QString path = parser.positionalArguments()[0];
  clsMap header;
  FigureTally tally;
  if (!LoadMapFile(header, path, MapPart::kHeader) || !TallyMapFile(path, tally)) return kExitFailure;
  PrintInfo(header, tally);
  if (!tally.closed)
    Fail(TrQ("picmap-cli", "注意: %1: 地図が閉じの注記 \"/ end of file\" で終わっていません: 図形の切れ目で途中から切れているかもしれません")
             .arg(path),
         kExitOk);
  return kExitOk;
}

int RunMapDump(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Prints a whole map file (.MLL or .MXY) as one JSON object.");
  parser.addPositionalArgument("MAP", "The map file.");
  if (int code = ParseVerb(parser, args, 1); code >= 0) return code;
  clsMap map;
  if (!LoadMapFile(map, parser.positionalArguments()[0])) return kExitFailure;
  QJsonArray figures;
  for (const auto& f : map) figures.append(FigureJson(*f));
  QJsonObject o;
  o["version"] = map.Version();
  o["mapMode"] = map.MapMode();
  o["count"] = map.Count();
  o["figures"] = figures;
  const QByteArray json = QJsonDocument(o).toJson(QJsonDocument::Indented);
  std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
  return kExitOk;
}

int RunMapCopy(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Loads a map file and saves it under another name, with the thing file beside it (an\n"
      "existing map there is kept under a time-stamped backup name), optionally in another\n"
      "file version.");
  parser.addPositionalArgument("MAP", "The map file to read.");
  parser.addPositionalArgument("OUT", "The map file to write.");
  const QCommandLineOption versionOption("version", "File version to write: 104, 105 or 106.",
                                         "VERSION");
  parser.addOption(versionOption);
  parser.addOption({"no-backup", "Replace an existing OUT without keeping it under a backup name."});
  if (int code = ParseVerb(parser, args, 2); code >= 0) return code;
  int16_t version = 0;
  if (parser.isSet(versionOption)) {
    const QString v = parser.value(versionOption);
    if (v != "104" && v != "105" && v != "106") {
      return Fail(TrQ("picmap-cli", "--version: 104, 105 または 106 を指定してください ('%1' ではなく)")
                      .arg(v),
                  kExitUsage);
    }
    version = static_cast<int16_t>(v.toInt());
  }
  clsMap map;
  if (!LoadMapFile(map, parser.positionalArguments()[0])) return kExitFailure;
  // The thing file beside the map goes with it: without it the copy's things have no names.
  clsThings things;
  things.FileName(U(parser.positionalArguments()[0]));
  const bool withThings = QFileInfo(Q(things.FileName())).isFile() && things.Load() == 0;
  try {
    if (version != 0) map.Version(version);
    const std::u16string out = U(parser.positionalArguments()[1]);
    map.FileName(out);
    map.Modify(true);  // a copy is written even when nothing changed
    if (SaveMap(map, !parser.isSet("no-backup"), withThings ? &things : nullptr) != 0) return kExitFailure;
    PrintThinning(map);
    PrintColoursLost(map);
    // The extension follows the map's mode (".MLL" or ".MXY"), which may differ from OUT's.
    if (map.FileName() != out)
      Fail(TrQ("picmap-cli", "%1 として書き込みました").arg(Q(map.FileName())), kExitOk);
    return EndVerb(map, kExitOk);
  } catch (const Error& e) {
    ReportError(e, Q(map.FileName()));
    return kExitFailure;
  }
}

int RunMapStyle(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Writes NAME.qml beside the map file NAME.MLL: QGIS takes it as the layers' default style\n"
      "and draws every figure in its own colour (convert and ogr2ogr -f MLL write it too).");
  parser.addPositionalArgument("MAP", "The map file.");
  if (int code = ParseVerb(parser, args, 1); code >= 0) return code;
  const QString map = parser.positionalArguments()[0];
  // Only a map gets a style: beside anything else the file would style nothing.
  clsMap header;
  if (!LoadMapFile(header, map, MapPart::kHeader)) return kExitFailure;
  try {
    WriteQgisStyleBeside(U(map));
  } catch (const Error& e) {
    ReportError(e, Q(QgisStyleFileOf(U(map))));
    return kExitFailure;
  }
  std::printf("wrote: %s\n", ToUtf8(QgisStyleFileOf(U(map))).c_str());
  return kExitOk;
}

}  // namespace picmap::cli
