// picmap-cli convert: runs the main window's conversion steps on a scripted window, answering
// its dialogs and input boxes from the command line.
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "app/raster_picture.h"
#include "app/cleanup.h"
#include "app/frm_main.h"
#include "app/georef.h"
#include "app/program_folder.h"
#include "app/scripted_window.h"
#include "cli/cli.h"
#include "cli/common.h"
#include "map/clsMap.h"
#include "map/layer_style.h"
#include "support/angle.h"
#include "support/colorlib.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/platform.h"
#include "support/stagedfile.h"
#include "support/text.h"
#include "things/clsThings.h"

namespace picmap::cli {

namespace {

std::u16string ToU16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<size_t>(s.size()));
}
std::string Utf8(const std::u16string& s) { return ToUtf8(s); }

// A window message on a terminal: lines end in LF alone.
std::string TerminalText(const std::u16string& text) {
  std::string bytes = Utf8(text);
  std::erase(bytes, '\r');
  return bytes;
}

int Usage(const QString& message) { return Fail(message, kExitUsage); }

// The error messages the window showed since `from`, one line each with the program's name,
// the file (`file` where the message does not name it), its text and its detail.
void PrintErrors(const ScriptedWindow& win, size_t from, const std::u16string& file) {
  for (size_t i = from; i < win.messages.size(); ++i) {
    if (!win.messages[i].errorIcon) continue;
    std::string line = TerminalText(win.messages[i].text);
    if (!win.messages[i].detail.empty()) line.append("\n").append(TerminalText(win.messages[i].detail));
    // Its lines become parts of one, the full stop before each colon dropped.
    for (size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) {
      const bool stop = at > 0 && line[at - 1] == '.';
      line.replace(stop ? at - 1 : at, stop ? 2 : 1, ": ");
    }
    QString text = QString::fromStdString(line);
    const QString named = Q(file);
    if (!named.isEmpty() && text.startsWith(named + ": "))
      text = named + ": " + WithoutParticle(text.mid(named.size() + 2));
    else if (!named.isEmpty() && !text.contains(named))
      text = named + ": " + text;
    Fail(text);
  }
}

int Failure(const ScriptedWindow& win, size_t from, const std::u16string& file = {}) {
  PrintErrors(win, from, file);
  return kExitFailure;
}

struct Options {
  std::u16string picture, map, things;
  bool world = false;
  bool worldFile = false;
  std::optional<QString> edges[4];  // west, east, north, south
  std::optional<int32_t> background;
  bool backgroundAt = false;
  int32_t atX = 0, atY = 0;
  int16_t tone = 0;
  int compressRuns = 1;
  bool noBackup = false;
  // Georeferencing: any of these places the picture by it instead of by its edges.
  std::optional<std::string> sourceCrs, gcpCrs;  // as given; CrsFromUserInput reads them
  QStringList gcps;
  std::u16string gcpFile, saveGcpFile;
  std::optional<TransformKind> transform;
  int64_t warpLimitBytes = 0;
  std::optional<ControlPointSet> pictureOwnPoints;  // no points given, and the picture carries its own
  bool PointsInPicture() const { return pictureOwnPoints.has_value(); }
  bool GeoreferenceAsked() const {
    return sourceCrs || !gcps.isEmpty() || !gcpFile.empty() || transform;
  }
  bool EdgesGiven() const {
    return world || worldFile || edges[0] || edges[1] || edges[2] || edges[3];
  }
  CleanupOptions cleanup;
};

constexpr const char* kEdgeOptions[4] = {"west", "east", "north", "south"};

std::optional<int16_t> ToneIndexOf(const QString& levels) {
  const char* names[] = {"256", "128", "64", "32", "16"};
  for (int16_t i = 0; i < 5; ++i)
    if (levels == names[i]) return i;
  return std::nullopt;
}

// #RRGGBB, rgb(R,G,B), BBGGRR as the colour label shows a colour, or "none".
bool ParseBackground(const QString& text, Options& o) {
  if (text.compare("none", Qt::CaseInsensitive) == 0) {
    o.background = -1;
    return true;
  }
  o.background = ParseColorText(ToU16(text.trimmed()));
  return o.background.has_value();
}

bool ParsePoint(const QString& text, Options& o) {
  const QStringList parts = text.split(',');
  if (parts.size() != 2) return false;
  bool okX = false, okY = false;
  o.atX = parts[0].trimmed().toInt(&okX);
  o.atY = parts[1].trimmed().toInt(&okY);
  o.backgroundAt = okX && okY;
  return o.backgroundAt;
}

// ---- Clean-up of real pictures ----

void AddCleanupOptions(QCommandLineParser& p) {
  p.addOption({"colors", "Reduce the picture to N representative colours (2 to 256) before "
                         "generation; the background colour is kept as one of them.", "N"});
  p.addOption({"palette", "Snap every pixel to the nearest colour of FILE (one #RRGGBB a line, "
                          "or a GIMP .gpl palette).", "FILE"});
  p.addOption({"sieve", "Merge every 8-connected region smaller than N pixels into the "
                        "neighbour it shares the longest border with.", "N"});
  p.addOption({"regions", "One polygon per connected region of one colour instead of "
                          "rectangles (no compression runs)."});
  p.addOption({"simplify", "Simplify the regions' shared borders within TOL pixels "
                           "(with --regions).", "TOL"});
  p.addOption({"smooth", "Round the corners of the regions' shared borders (with --regions)."});
}

QString ReadCleanupOptions(const QCommandLineParser& p, Options& o) {
  CleanupOptions& c = o.cleanup;
  if (p.isSet("colors") && p.isSet("palette"))
    return TrQ("picmap-cli", "--colors と --palette は同時に指定できません");
  bool ok = true;
  if (p.isSet("colors")) c.colours = p.value("colors").toInt(&ok);
  if (!ok || (p.isSet("colors") && (c.colours < 2 || c.colours > kMaxCleanColours)))
    return TrQ("picmap-cli", "--colors: 2 から 256 までの整数を指定してください");
  if (p.isSet("sieve")) c.sieve = p.value("sieve").toInt(&ok);
  if (!ok || c.sieve < 0) return TrQ("picmap-cli", "--sieve: 0 以上の画素数を指定してください");
  c.regions = p.isSet("regions");
  if (p.isSet("simplify")) {
    if (!c.regions) return TrQ("picmap-cli", "--simplify: --regions と共に指定してください");
    c.simplify = p.value("simplify").toDouble(&ok);
    if (!ok || !(c.simplify >= 0) || c.simplify > 1000)
      return TrQ("picmap-cli", "--simplify: 0 から 1000 までの画素数で許容差を指定してください");
  }
  if (p.isSet("palette")) {
    try {
      c.palette = ReadPaletteFile(ToU16(p.value("palette")));
    } catch (const Error& e) {
      return "--palette: " + Q(e.Description());
    }
  }
  c.smooth = p.isSet("smooth");
  if (c.smooth && !c.regions) return TrQ("picmap-cli", "--smooth: --regions と共に指定してください");
  if (c.regions && p.isSet("compress") && o.compressRuns > 0)
    Fail(TrQ("picmap-cli", "注意: --regions の領域はすでに一つずつの図形なので, --compress は行いません"), kExitOk);
  if (c.regions) o.compressRuns = 0;
  return {};
}

void AddOptions(QCommandLineParser& p) {
  p.setApplicationDescription(
      "Converts a picture of a map into a map file (.MLL) and a thing file (.THG) beside it.\n"
      "\n"
      "A picture is placed by its edges (a longitude/latitude box), or by georeferencing: "
      "its own (a GeoTIFF's geotransform and CRS, a world file with a .prj or .aux.xml, "
      "control points stored in the file), a CRS given with --source-crs, or control points. "
      "A picture in any other CRS than WGS 84 longitude/latitude, or placed by control "
      "points, is warped onto a longitude/latitude grid first (nearest neighbour: no new "
      "colours; never finer than 10\" per pixel); what lies outside it is never mapped.\n"
      "\n"
      "Examples:\n"
      "  picmap-cli convert sheet.tif                  a GeoTIFF, placed by its own CRS\n"
      "  picmap-cli convert web.png --world-file --source-crs EPSG:3857\n"
      "                                                a Web Mercator picture with a world file\n"
      "  picmap-cli convert scan.jpg --gcp 120,80,E135.5,N35 --gcp 1800,95,E136.5,N35 \\\n"
      "      --gcp 1790,1400,E136.5,N34.5 --gcp 130,1390,E135.5,N34.5 --transform poly1 \\\n"
      "      --save-gcp-file scan.points                 four control points, residuals printed\n"
      "  picmap-cli convert scan.jpg --gcp-file scan.points --transform tps");
  p.addPositionalArgument("PICTURE", "The picture: BMP, GIF, PNG, JPEG, or any raster GDAL reads "
                                     "(GeoTIFF, JPEG 2000, PNM, ...) of 8-bit grey, palette, RGB "
                                     "or RGBA.");
  p.addOption({{"o", "output"}, "The map file, ending in .MLL, or a folder (default: the picture's path with .MLL).", "MAP"});
  p.addOption({"world", "Place the picture on the whole world (the default)."});
  p.addOption({"world-file",
               "Take the extents from the world file beside the picture (.pgw, .jgw, .gfw, "
               ".bpw, .tfw or .wld); edge options given as well are applied after it."});
  p.addOption({"west", "Longitude of the picture's left edge.", "TEXT"});
  p.addOption({"east", "Longitude of the picture's right edge.", "TEXT"});
  p.addOption({"north", "Latitude of the picture's top edge.", "TEXT"});
  p.addOption({"south", "Latitude of the picture's bottom edge.", "TEXT"});
  p.addOption({"no-backup", "Replace an existing map and thing file without keeping them under "
                            "a time-stamped backup name."});
  p.addOption({"background",
               "Colour not to be mapped: #RRGGBB or rgb(R,G,B) (red first), six bare digits "
               "BBGGRR (blue first, the order of the window's colour code and of map files: "
               "FF0000 is blue), or none.",
               "COLOUR"});
  p.addOption({"background-at", "Take the colour not to be mapped from pixel X,Y.", "X,Y"});
  p.addOption({"tone", "Levels per colour channel: 256, 128, 64, 32 or 16.", "N"});
  p.addOption({"compress", "Number of compression runs (default 1).", "N"});
  AddCleanupOptions(p);
  p.addOption({"things", "Template thing file (default: PICMAP.THG of the program).", "THG"});
  p.addOption({"source-crs",
               "The CRS of the picture's georeferencing (EPSG:32654, WKT or a PROJ string): "
               "of its geotransform or world file, replacing any the file names.", "CRS"});
  p.addOption({"gcp",
               "A control point: picture pixel PX,PY (from the top-left corner) at LON,LAT "
               "(angle texts as the edges, or decimal degrees; X,Y in --gcp-crs). Repeat it "
               "for each point.", "PX,PY,LON,LAT"});
  p.addOption({"gcp-crs", "The CRS of the --gcp coordinates (default: WGS 84 longitude and "
                          "latitude).", "CRS"});
  p.addOption({"gcp-file", "Control points from a QGIS georeferencer .points file.", "FILE"});
  p.addOption({"save-gcp-file", "Write the control points with their residuals to a .points "
                                "file once the map is saved.", "FILE"});
  p.addOption({"transform",
               "How control points place the picture: linear, helmert, poly1 (default), poly2, "
               "poly3, tps or projective.", "KIND"});
  p.addOption({"warp-limit", "The most memory the warped picture may take, in MB (default: a "
                             "quarter of the machine's memory).", "MB"});
}

QString ReadGeoreferenceOptions(const QCommandLineParser& p, Options& o) {
  if (p.isSet("source-crs")) o.sourceCrs = p.value("source-crs").toStdString();
  if (p.isSet("gcp-crs")) o.gcpCrs = p.value("gcp-crs").toStdString();
  o.gcps = p.values("gcp");
  if (p.isSet("gcp-file")) o.gcpFile = ToU16(p.value("gcp-file"));
  if (p.isSet("save-gcp-file")) o.saveGcpFile = ToU16(p.value("save-gcp-file"));
  if (p.isSet("transform")) {
    o.transform = TransformKindNamed(p.value("transform").toStdString());
    if (!o.transform)
      return TrQ("picmap-cli", "--transform: linear, helmert, poly1, poly2, poly3, tps または "
                               "projective を指定してください ('%1' ではなく)")
          .arg(p.value("transform"));
  }
  const bool points = !o.gcps.isEmpty() || !o.gcpFile.empty();
  // A picture that carries control points of its own takes them as given points: fitted by the
  // transformation asked for, with their residuals told and saved when asked.
  if (!points && !o.sourceCrs && !o.EdgesGiven()) o.pictureOwnPoints = ControlPointsOfFile(o.picture);
  if (!o.gcps.isEmpty() && !o.gcpFile.empty())
    return TrQ("picmap-cli", "--gcp と --gcp-file は同時に指定できません");
  if ((o.gcpCrs && !points) || ((o.transform || !o.saveGcpFile.empty()) && !points && !o.PointsInPicture()))
    return TrQ("picmap-cli", "--transform, --gcp-crs, --save-gcp-file は基準点 (--gcp, --gcp-file, "
                             "または座標参照系つきで画像に収められ, 座標変換式も端の指定もないときの基準点) に使います");
  if (o.GeoreferenceAsked() && (o.world || o.edges[0] || o.edges[1] || o.edges[2] || o.edges[3]))
    return TrQ("picmap-cli", "--world と端の指定は位置参照 (--source-crs, --gcp, --gcp-file) と"
                             "同時に指定できません");
  if (points && o.sourceCrs)
    return TrQ("picmap-cli", "--source-crs は座標変換式に使います. 基準点の座標参照系は "
                             "--gcp-crs で指定してください");
  if (p.isSet("warp-limit")) {
    bool ok = false;
    o.warpLimitBytes = p.value("warp-limit").toLongLong(&ok) << 20;
    if (!ok || o.warpLimitBytes <= 0)
      return TrQ("picmap-cli", "--warp-limit: メガバイト数を指定してください");
  }
  return {};
}

// The map file -o names: in a folder it names (or one its trailing '/' marks), the map takes
// the picture's name, as cp and mv put a file into a folder.
std::u16string MapPathFromOutput(const QString& output, const std::u16string& picture) {
  // A name of an ending alone (".mymap") would be saved as ".MLL".
  if (!output.endsWith('/') && !QFileInfo(output).isDir())
    return ToU16(QFileInfo(output).completeBaseName().isEmpty() ? output + QStringLiteral(".MLL") : output);
  const QString name = QFileInfo(QString::fromStdU16String(picture)).fileName();
  return ChangeExtension(ToU16(QDir(output).filePath(name)), u"MLL");
}

// Fills `o` from the parsed command line; an empty result, or the usage error to report.
QString ReadOptions(const QCommandLineParser& p, Options& o) {
  const QStringList pos = p.positionalArguments();
  if (pos.size() != 1) return TrQ("picmap-cli", "PICTURE をひとつ指定してください; --help を参照してください");
  o.picture = ToU16(pos[0]);
  if (p.isSet("output") && p.value("output").isEmpty())
    return TrQ("picmap-cli", "-o/--output: 地図ファイルの名前が空です");
  // A map is saved under the name ending in .MLL: another ending would be changed silently, and
  // the map written over whatever map bears that name (the picture's, for -o PICTURE).
  if (const QFileInfo out(p.value("output")); p.isSet("output") && !out.isDir() && !p.value("output").endsWith('/') &&
                                              !out.completeBaseName().isEmpty() && !out.suffix().isEmpty() &&
                                              out.suffix().compare(QStringLiteral("MLL"), Qt::CaseInsensitive) != 0)
    return TrQ("picmap-cli", "-o/--output: 地図ファイル (.MLL) を指定してください ('%1' ではなく)").arg(p.value("output"));
  // Beside a picture in a zip or on a server there is nowhere to write.
  if (!p.isSet("output") && IsGdalVirtualPath(o.picture))
    return TrQ("picmap-cli", "-o/--output: GDAL の仮想ファイル (%1) の隣には書けません. 地図ファイルを指定してください")
        .arg(pos[0]);
  o.map = p.isSet("output") ? MapPathFromOutput(p.value("output"), o.picture) : ChangeExtension(o.picture, u"MLL");
  if (p.isSet("things")) o.things = ToU16(p.value("things"));
  // The thing file is always read under the name ending in .THG, whatever the name ends in.
  if (const QString suffix = QFileInfo(p.value("things")).suffix(); p.isSet("things") && !suffix.isEmpty() &&
      suffix.compare(QStringLiteral("THG"), Qt::CaseInsensitive) != 0)
    return TrQ("picmap-cli", "--things: 事象ファイル (.THG) を指定してください ('%1' ではなく)").arg(p.value("things"));
  o.world = p.isSet("world");
  o.worldFile = p.isSet("world-file");
  o.noBackup = p.isSet("no-backup");
  for (int i = 0; i < 4; ++i)
    if (p.isSet(kEdgeOptions[i])) o.edges[i] = p.value(kEdgeOptions[i]);
  if (p.isSet("background") && p.isSet("background-at"))
    return TrQ("picmap-cli", "--background と --background-at は同時に指定できません");
  if (p.isSet("background") && !ParseBackground(p.value("background"), o))
    return TrQ("picmap-cli", "--background: #RRGGBB, rgb(R,G,B), 6 桁の BBGGRR または none を"
                             "指定してください ('%1' ではなく)")
        .arg(p.value("background"));
  if (p.isSet("background-at") && !ParsePoint(p.value("background-at"), o))
    return TrQ("picmap-cli", "--background-at: X,Y を指定してください ('%1' ではなく)")
        .arg(p.value("background-at"));
  if (p.isSet("tone")) {
    const std::optional<int16_t> t = ToneIndexOf(p.value("tone"));
    if (!t) return TrQ("picmap-cli", "--tone: 256, 128, 64, 32 または 16 を指定してください");
    o.tone = *t;
  }
  if (QString e = ReadGeoreferenceOptions(p, o); !e.isEmpty()) return e;
  if (p.isSet("compress")) {
    bool ok = false;
    o.compressRuns = p.value("compress").toInt(&ok);
    if (!ok || o.compressRuns < 0)
      return TrQ("picmap-cli", "--compress: 0 以上の整数を指定してください");
  }
  return ReadCleanupOptions(p, o);
}

// Shows the running job's progress on a terminal.
void InstallProgress(ScriptedWindow& win, const QString& phase) {
  if (!::isatty(2)) return;
  win.onProgress = [phase](int32_t value, int32_t maximum) {
    if (value == 0 || maximum <= 0) return;
    std::fprintf(stderr, "\r%s %d/%d ", qPrintable(phase), value, maximum);
    std::fflush(stderr);
  };
}

void EndProgress(ScriptedWindow& win) {
  if (win.onProgress) std::fputs("\r\033[K", stderr);
  win.onProgress = nullptr;
}

EdgeEntry EnterEdge(frmMainLogic& logic, ScriptedWindow& win, const Options& o, int i) {
  EdgeEntry (frmMainLogic::*enter[4])() = {&frmMainLogic::mnuWest_Click,
                                           &frmMainLogic::mnuEast_Click,
                                           &frmMainLogic::mnuNorth_Click,
                                           &frmMainLogic::mnuSouth_Click};
  win.inputAnswers.push_back(ToU16(*o.edges[i]));
  // A letter after the number keeps its reading, as the warning before has told.
  if (LetterInFrontReading(ToU16(*o.edges[i]))) win.questionAnswers.push_back(MsgAnswer::No);
  return (logic.*enter[i])();
}

// Which limit an edge broke: the globe's, or the 30" between north and south.
QString RangeHint(int edge, const QString& text) {
  if (edge < 2) return TrQ("picmap-cli", "経度は東西 180° 以内です");
  int32_t sec = 0;
  try {
    sec = AngleSecStrToVal(AngleFormalStr(ToU16(text)));
  } catch (const Error&) {
  }
  if (sec > 324000 || sec < -324000) return TrQ("picmap-cli", "緯度は南北 90° 以内です");
  return TrQ("picmap-cli", "北端は南端より 30\" 以上北にしてください");
}

std::optional<int32_t> AngleOf(const std::u16string& text) {
  try {
    return AngleSecStrToVal(AngleFormalStr(text));
  } catch (const Error&) {
    return std::nullopt;
  }
}

// Where a letter at the end reads otherwise than the same letter in front ("90S" on --south),
// say what it was read as and how to write the other.
void WarnOfTrailingLetter(int edge, const QString& given) {
  const std::optional<int32_t> read = AngleOf(ToU16(given));
  if (!read || !LetterInFrontReading(ToU16(given))) return;
  const QString text = given.trimmed();
  const QString before = text.left(text.size() - 1).trimmed();
  const bool latitude = edge >= 2;
  const std::u16string readText = latitude ? LatToStr(*read) : LonToStr(*read);
  const QString letter = text.back().toUpper();
  const char* japanese = letter == "S" ? "南緯" : letter == "N" ? "北緯" : letter == "E" ? "東経" : "西経";
  Fail(TrQ("picmap-cli", "警告: --%1 '%2' は %3 と読まれます (数の後の %4 は秒を表します). "
                         "度を表すには %4%5, %5°%4 または %6%5度 と書いてください")
           .arg(QString::fromLatin1(kEdgeOptions[edge]), given, Q(readText), letter, before,
                QString::fromUtf8(japanese)),
       kExitOk);
}

// A west edge east of the east edge places the picture across the 180° meridian, the long way
// round: meant for a picture of the Pacific, more often two edges given the wrong way round.
void WarnOfAWideCrossing(const ConversionState& s, const Options& o) {
  constexpr int32_t kHalfTurn = 648000;
  if (!o.edges[0] || !o.edges[1] || s.east > s.west || s.east - s.west + 2 * kHalfTurn <= kHalfTurn) return;
  if (s.east == s.west) {  // a world map drawn from that meridian round, or one edge given twice
    Fail(TrQ("picmap-cli", "注意: 西端と東端がともに %1 のため, 地球を一周する 360° の幅に置きました")
             .arg(Q(LonToStr(s.west))),
         kExitOk);
    return;
  }
  Fail(TrQ("picmap-cli", "注意: 西端 %1 が東端 %2 より東にあるため, 180° 経線をまたいで %3° の幅に置きました "
                         "(--west と --east が入れ違いではありませんか?)")
           .arg(Q(LonToStr(s.west)), Q(LonToStr(s.east)))
           .arg((s.east - s.west + 2 * kHalfTurn) / 3600.0, 0, 'f', 1),
       kExitOk);
}

// North is checked against the current south and south against the current north, so a pair
// that moves the area below its old south is entered south first.
int EnterEdges(frmMainLogic& logic, ScriptedWindow& win, const Options& o) {
  constexpr int kNorth = 2, kSouth = 3;
  bool southDone = false;
  for (int i = 0; i < 4; ++i)
    if (o.edges[i]) WarnOfTrailingLetter(i, *o.edges[i]);
  for (int i = 0; i < 4; ++i) {
    if (!o.edges[i] || (i == kSouth && southDone)) continue;
    EdgeEntry r = EnterEdge(logic, win, o, i);
    if (i == kNorth && r == EdgeEntry::OutOfRange && o.edges[kSouth] &&
        EnterEdge(logic, win, o, kSouth) == EdgeEntry::Stored) {
      southDone = true;
      r = EnterEdge(logic, win, o, kNorth);
    }
    if (r == EdgeEntry::Unreadable || r == EdgeEntry::Cancelled)
      return Usage(TrQ("picmap-cli", "--%1: '%2' を角度として読めません")
                       .arg(QString::fromLatin1(kEdgeOptions[i]), *o.edges[i]));
    if (r == EdgeEntry::OutOfRange)
      return Usage(TrQ("picmap-cli", "--%1: '%2' は範囲外です (%3)")
                       .arg(QString::fromLatin1(kEdgeOptions[i]), *o.edges[i], RangeHint(i, *o.edges[i])));
  }
  WarnOfAWideCrossing(logic.State(), o);
  return kExitOk;
}

// The colour at --background-at's pixel of the picture as its file holds it: read before a
// warp, which moves every pixel (and the corners of a projected picture off it).
int ColourAtGivenPixel(const ScriptedWindow& win, const Options& o, std::optional<int32_t>& colour) {
  colour = o.background;
  if (!o.backgroundAt) return kExitOk;
  if (!win.SourcePicture().Contains(o.atX, o.atY))
    return Usage(TrQ("picmap-cli", "--background-at: 画素 %1,%2 は画像の外にあります (%3 は %4 x %5 画素)")
                     .arg(o.atX)
                     .arg(o.atY)
                     .arg(Q(o.picture))
                     .arg(win.SourceWidth())
                     .arg(win.SourceHeight()));
  // Outside the picture's data (its alpha, no-data or mask) nothing is mapped: the colour GDAL
  // holds there is none of the picture's, and taking it mapped the sea.
  if (!win.SourcePicture().Inside(o.atX, o.atY))
    return Usage(TrQ("picmap-cli", "--background-at: 画素 %1,%2 は %3 のデータのない (透明な) 部分にあり, 地図にはなりません. 背景の色の画素を指定してください")
                     .arg(o.atX)
                     .arg(o.atY)
                     .arg(Q(o.picture)));
  colour = win.SourcePixel(o.atX, o.atY);
  return kExitOk;
}

int SetBackground(frmMainLogic& logic, ScriptedWindow& win, const std::optional<int32_t>& colour) {
  if (!colour) return kExitOk;
  if (*colour >= 0) win.colorAnswers.push_back(*colour);  // none: the dialog is cancelled
  logic.mnuBackColor_Click();
  return kExitOk;
}

void PrintSettings(const frmMainLogic& logic, const ScriptedWindow& win, const Options& o) {
  const ConversionState& s = logic.State();
  // The picture's own size: a warp's grid is on the line of its own.
  const Picture& opened = logic.OpenedPicture().Empty() ? win.SourcePicture() : logic.OpenedPicture();
  Report("picture:", TrQ("picmap-cli", "%1 (%2 x %3 画素)").arg(Q(o.picture)).arg(opened.width).arg(opened.height));
  // Equal edges are once round the globe, which the two longitudes alone do not show.
  Report("extents:", TrQ("picmap-cli", "西端 %1, 東端 %2, 北端 %3, 南端 %4")
                             .arg(Q(LonToStr(s.west)), Q(LonToStr(s.east)), Q(LatToStr(s.north)),
                                  Q(LatToStr(s.south))) +
                         (s.west == s.east ? " (360°)" : ""));
}

// Fewer colours than asked for come out when the picture shows no more that can be told apart
// (the rest would be noise of a JPEG or blends along its borders).
void PrintColours(int kept, int asked) {
  Report("colours:", kept < asked ? TrQ("picmap-cli", "%1 (指定 %2 のうち, 画像で見分けられる色はこれだけ)").arg(kept).arg(asked)
                                  : QString::number(kept));
}

void PrintRegions(const RegionCounts& r) {
  QString text = TrQ("picmap-cli", "%1, 境界線 %2").arg(r.regions).arg(r.arcs);
  if (r.arcsKeptFiner > 0)
    text += TrQ("picmap-cli", " (%1 本は許容差のままでは他の境界と交わるため控えめに単純化)")
                .arg(r.arcsKeptFiner);
  if (r.arcsKeptCorners > 0)
    text += TrQ("picmap-cli", " (%1 本は丸めると他の境界と交わるため角を保持)").arg(r.arcsKeptCorners);
  Report("regions:", text);
}

// Two names for one file: the same path, or links to one file.
bool SameFile(const std::u16string& a, const std::u16string& b) {
  const QFileInfo fa(Q(a)), fb(Q(b));
  if (fa.exists() && fb.exists()) return fa.canonicalFilePath() == fb.canonicalFilePath();
  return fa.absoluteFilePath() == fb.absoluteFilePath();
}

// A picture named like one of the outputs (pic.MLL, pic.THG) would be replaced by the map.
bool OutputsSpareTheInputs(const Options& o, const std::u16string& mapFile, const std::u16string& thingFile) {
  // Control points written back over their own file are the user's choice.
  const std::u16string outputs[] = {mapFile, thingFile, QgisStyleFileOf(mapFile), o.saveGcpFile};
  for (const std::u16string& input : {o.picture, o.gcpFile})
    for (const std::u16string& output : outputs)
      if (!input.empty() && !output.empty() && !(input == o.gcpFile && output == o.saveGcpFile) &&
          SameFile(input, output)) {
        Fail(TrQ("picmap-cli", "%1: 入力のファイルに出力を書き込むことになります. -o で別の名前を指定してください")
                 .arg(Q(input)));
        return false;
      }
  return true;
}

// A folder that cannot be written, a read-only map the save would refuse to replace, or an
// output that would replace an input is found before the picture is read and converted.
bool OutputsCanBeWritten(const Options& o) {
  clsMap map;
  map.FileName(o.map);
  clsThings things;
  things.FileName(o.map);
  if (!OutputsSpareTheInputs(o, map.FileName(), things.FileName())) return false;
  if (IsReadOnlyFile(map.FileName(), true)) return false;
  for (const std::u16string& file : {map.FileName(), things.FileName()}) {
    try {
      StagedFile probe;
      probe.Create(file);
    } catch (const Error& e) {
      ReportError(e, Q(file));
      return false;
    }
  }
  return true;
}

// ---- Georeferencing ----

std::string CrsNamed(const char* option, const std::string& text) {
  try {
    return CrsFromUserInput(text);
  } catch (Error& e) {
    e.SetDescription(FromUtf8(option) + u": " + e.Description());
    throw;
  }
}

std::optional<double> Degrees(const QString& text) {
  bool ok = false;
  const double plain = text.trimmed().toDouble(&ok);
  if (ok) return plain;
  if (const std::optional<int32_t> sec = AngleOf(ToU16(text.trimmed()))) return *sec / 3600.0;
  return std::nullopt;
}

// PX,PY,LON,LAT: the map pair as angle texts or decimal degrees, or plain numbers in --gcp-crs.
std::optional<ControlPoint> PointOfOption(const QString& text, bool plainNumbers) {
  const QStringList f = text.split(',');
  if (f.size() != 4) return std::nullopt;
  ControlPoint p;
  bool okX = false, okY = false;
  p.pixelX = f[0].trimmed().toDouble(&okX);
  p.pixelY = f[1].trimmed().toDouble(&okY);
  bool okMap = true;
  if (plainNumbers) {
    bool a = false, b = false;
    p.mapX = f[2].trimmed().toDouble(&a);
    p.mapY = f[3].trimmed().toDouble(&b);
    okMap = a && b;
  } else {
    const std::optional<double> x = Degrees(f[2]), y = Degrees(f[3]);
    okMap = x && y;
    p.mapX = x.value_or(0);
    p.mapY = y.value_or(0);
  }
  if (!okX || !okY || !okMap || !std::isfinite(p.mapX) || !std::isfinite(p.mapY)) return std::nullopt;
  return p;
}

ControlPointSet GivenPoints(const Options& o) {
  if (!o.gcpFile.empty()) return ReadPointsFile(o.gcpFile);
  if (o.PointsInPicture()) return *o.pictureOwnPoints;
  ControlPointSet set;
  if (o.gcpCrs) set.crs = CrsNamed("--gcp-crs", *o.gcpCrs);
  for (const QString& g : o.gcps) {
    const std::optional<ControlPoint> p = PointOfOption(g, o.gcpCrs.has_value());
    if (!p)
      throw Error(5, u"convert",
                  ToU16(TrQ("picmap-cli", "--gcp: PX,PY,LON,LAT を指定してください ('%1' ではなく)").arg(g)));
    set.points.push_back(*p);
  }
  return set;
}

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  if (std::string_view(buf).find_first_of("123456789") == std::string_view::npos)
    std::snprintf(buf, sizeof buf, "%.*f", decimals, 0.0);  // no "-0.000"
  return buf;
}

// `eachPoint` false leaves out the line of each point: a GeoTIFF may carry hundreds.
void PrintResiduals(const ControlPointFit& fit, TransformKind kind, bool eachPoint) {
  int enabled = 0;
  for (size_t i = 0; i < fit.points.size(); ++i) {
    const ControlPoint& p = fit.points[i];
    enabled += p.enabled;
    if (!eachPoint) continue;
    Report("gcp", TrQ("picmap-cli", "%1: 画素 %2,%3 は %4,%5: 残差 %6,%7 = %8 px%9")
                      .arg(i + 1)
                      .arg(QString::fromStdString(Fixed(p.pixelX, 2)), QString::fromStdString(Fixed(p.pixelY, 2)),
                           QString::fromStdString(Fixed(p.mapX, 8)), QString::fromStdString(Fixed(p.mapY, 8)),
                           QString::fromStdString(Fixed(p.residualX, 3)),
                           QString::fromStdString(Fixed(p.residualY, 3)),
                           QString::fromStdString(Fixed(p.Residual(), 3)),
                           p.enabled ? QString() : TrQ("picmap-cli", " (無効)")));
  }
  const QString rms = QString::fromStdString(Fixed(fit.rmsPixels, 3));
  Report("rms:", TrQ("picmap-cli", "%1 px (有効な基準点 %2 点, %3)")
                     .arg(rms).arg(enabled).arg(TransformName(kind)));
  if (fit.rmsPixels > 1)
    Fail(TrQ("picmap-cli", "警告: 残差の二乗平均平方根 %1 px が 1 画素を超えています. 基準点を見直すか, "
                           "別の --transform を選んでください")
             .arg(rms),
         kExitOk);
}

// `fitted` keeps the points with their residuals for --save-gcp-file.
std::optional<Georeference> GeoreferenceByPoints(const Options& o, const ScriptedWindow& win,
                                                 ControlPointSet& fitted) {
  ControlPointSet set = GivenPoints(o);
  const TransformKind kind =
      o.transform.value_or(o.PointsInPicture() ? DefaultKindForFilePoints(set.points.size()) : TransformKind::Poly1);
  const ControlPointFit fit = FitControlPoints(set, kind, win.SourceWidth(), win.SourceHeight());
  PrintResiduals(fit, kind, !o.PointsInPicture() || set.points.size() <= 20);
  set.points = fit.points;
  fitted = set;
  const auto enabled = std::count_if(set.points.begin(), set.points.end(), [](const ControlPoint& p) { return p.enabled; });
  // The points a file carries are named in the words its own placement by them uses.
  return Georeference{set.crs, fit.transform,
                      (o.PointsInPicture() ? TrQ("georef", "画像に収められた基準点 %1 点, %2")
                                         : TrQ("picmap-cli", "基準点 %1 点, %2"))
                          .arg(enabled)
                          .arg(QString::fromStdString(TransformName(kind)))
                          .toStdString()};
}

// Edges typed for a picture that carries its own georeferencing place it by the edges alone;
// with some edges missing, those keep the whole world's, and the picture lands far from where
// the file puts it. Neither is what a user of a GeoTIFF expects without a word.
void NoteGeoreferenceSetAside(const Options& o) {
  if (o.worldFile || o.world || o.GeoreferenceAsked()) return;
  QStringList given;
  for (int i = 0; i < 4; ++i)
    if (o.edges[i]) given << QStringLiteral("--") + QString::fromLatin1(kEdgeOptions[i]);
  if (given.isEmpty()) return;
  try {
    if (!GeoreferenceOfFile(o.picture)) return;
  } catch (const Error&) {
    return;  // a georeferencing that could not be used is no loss to tell of
  }
  Fail(given.size() < 4
           ? TrQ("picmap-cli", "注意: %1: 画像自身の位置参照は使わず, 指定の端 (%2) で配置しました. "
                               "指定のない端は全世界のままです")
                 .arg(Q(o.picture), given.join(QStringLiteral(", ")))
           : TrQ("picmap-cli", "注意: %1: 画像自身の位置参照は使わず, 指定の端で配置しました")
                 .arg(Q(o.picture)),
       kExitOk);
}

// Places the picture by control points, the CRS given, or the georeferencing the file carries
// (only when no edge option says otherwise). kExitOk also when nothing georeferences it.
int PlaceByGeoreference(frmMainLogic& logic, ScriptedWindow& win, const Options& o,
                        ControlPointSet& fitted) {
  std::optional<Georeference> g;
  std::string note;
  try {
    if (!o.gcps.isEmpty() || !o.gcpFile.empty() || o.PointsInPicture())
      g = GeoreferenceByPoints(o, win, fitted);
    else if (o.GeoreferenceAsked() || !o.EdgesGiven())
      g = GeoreferenceOfFile(o.picture, &note,
                             o.sourceCrs ? CrsNamed("--source-crs", *o.sourceCrs) : std::string());
    else if (o.worldFile) {
      g = ProjectedWorldFile(o.picture);
      const Picture& opened = logic.OpenedPicture();
      if (!g) g = RotatedWorldFile(o.picture, opened.width, opened.height);
    }
  } catch (const Error& e) {
    return Fail(Utf8(o.gcpFile.empty() ? o.picture : o.gcpFile) + ": " +
                    TerminalText(e.Description()),
                kExitFailure);
  }
  if (!g) {
    NoteGeoreferenceSetAside(o);
    if (o.sourceCrs)
      return Fail(TrQ("picmap-cli", "%1: --source-crs: 画像に座標変換式もワールドファイルもありません. "
                                    "基準点 (--gcp, --gcp-file) を指定してください")
                      .arg(Q(o.picture)),
                  kExitFailure);
    if (!note.empty() && !o.EdgesGiven())
      Fail(TrQ("picmap-cli", "注意: %1: 座標変換式 (またはワールドファイル) はありますが座標参照系が"
                             "ありません. その位置で変換するには --source-crs を, 度として読むには "
                             "--world-file を指定してください")
               .arg(Q(o.picture)),
           kExitOk);
    return kExitOk;
  }
  const size_t mark = win.messages.size();
  WarpLimits limits;
  limits.maxBytes = o.warpLimitBytes;
  InstallProgress(win, "warping");
  const bool placed = logic.PlaceByGeoreference(*g, limits);
  EndProgress(win);
  if (!placed) return Failure(win, mark);
  const PlacedPicture& p = *logic.LastPlacement();
  Report("georeference:", TrQ("picmap-cli", "%1 (%2)")
                             .arg(QString::fromStdString(g->origin), QString::fromStdString(CrsDisplayName(g->crs))));
  const int32_t span = p.east > p.west ? p.east - p.west : p.east - p.west + 1296000;
  if (p.warped)
    Report("warped:", TrQ("picmap-cli", "%1 x %2 画素, 1 画素 %3 x %4 秒")
                          .arg(win.SourceWidth())
                          .arg(win.SourceHeight())
                          .arg(QString::fromStdString(Fixed(double(span) / win.SourceWidth(), 3)),
                               QString::fromStdString(Fixed(double(p.north - p.south) / win.SourceHeight(), 3))));
  if (p.warped && p.ownSeconds > 0 && p.ownSeconds < 0.95 * kFinestPixelSeconds)
    Fail(TrQ("picmap-cli", "注意: 画像の画素 (約 %1 秒) は地図で扱える 10 秒より細かいため, 粗い格子に載せました")
             .arg(QString::fromStdString(Fixed(p.ownSeconds, 2))),
         kExitOk);
  return kExitOk;
}

bool SaveControlPoints(const Options& o, const ControlPointSet& fitted) {
  try {
    WritePointsFile(o.saveGcpFile, fitted);
  } catch (const Error& e) {
    ReportError(e, Q(o.saveGcpFile));
    return false;
  }
  std::printf("wrote: %s\n", Utf8(o.saveGcpFile).c_str());
  return true;
}

int Convert(const Options& o) {
  if (!OutputsCanBeWritten(o)) return kExitFailure;
  ProgramInfo info = Program();
  info.folder = DataFolderFor(info.folder);
  SetProgramInfo(info);
  ScriptedWindow win;
  win.paintsPreview = false;  // the command line never reads the preview
  frmMainLogic logic(win);
  logic.KeepBackups(!o.noBackup);
  logic.PlaceRastersOnOpening(false);
  if (!o.things.empty()) logic.SetTemplateThingFile(o.things);
  if (!logic.Form_Load()) return Failure(win, 0);

  size_t mark = win.messages.size();
  win.openAnswers.push_back(o.picture);
  logic.mnuOpen_Click();
  if (win.loads.empty() || !win.loads.back().ok) return Failure(win, mark, o.picture);
  if (!logic.State().pictureLoaded) {
    return Fail(TrQ("picmap-cli", "%1: 画像が 16 x 16 画素より小さいです (%2 x %3 画素)")
                    .arg(Q(o.picture))
                    .arg(win.SourceWidth())
                    .arg(win.SourceHeight()));
  }
  std::optional<int32_t> background;
  if (int r = ColourAtGivenPixel(win, o, background); r != kExitOk) return r;
  ControlPointSet fitted;
  if (int r = PlaceByGeoreference(logic, win, o, fitted); r != kExitOk) return r;
  if (o.world) logic.mnuWorld_Click();
  mark = win.messages.size();
  // A world file in a CRS (given, or projected beside it) has placed the picture already; read
  // again as degrees, metres would fall off the globe.
  const bool worldFileRead = logic.LastPlacement() && o.gcps.isEmpty() && o.gcpFile.empty();
  if (o.worldFile && !worldFileRead && !logic.mnuWorldFile_Click()) return Failure(win, mark, o.picture);
  if (int r = EnterEdges(logic, win, o); r != kExitOk) return r;
  if (int r = SetBackground(logic, win, background); r != kExitOk) return r;
  logic.mnuTone_Click();
  logic.mnuToneItem_Click(o.tone);

  mark = win.messages.size();
  logic.SetCleanup(o.cleanup);
  logic.CompressAlongGeneration(o.compressRuns > 0);
  InstallProgress(win, TrQ("picmap-cli", "行を生成中"));
  logic.mnuPolygon_Click();
  EndProgress(win);
  if (win.messages.size() <= mark || win.messages.back().errorIcon)
    return Failure(win, mark, o.picture);
  PrintSettings(logic, win, o);
  Report("figures", TrQ("picmap-cli", "(生成後): %1").arg(logic.State().oMap->Count()));
  if (logic.CleanedGrain() > 0)
    Report("grain:", TrQ("picmap-cli", "約 %1 階調 (色を選ぶ前に平らにしました)").arg(logic.CleanedGrain(), 0, 'f', 1));
  if (o.cleanup.colours > 0) PrintColours(logic.CleanedColours(), o.cleanup.colours);
  if (logic.BackgroundUnseen())
    Fail(TrQ("picmap-cli", "注意: %1: 背景色 %2 の部分が画像にありません: どの画素も地図に入ります")
             .arg(Q(o.picture), QString::fromStdU16String(HtmlColorStr(logic.State().backColor))),
         kExitOk);
  if (o.cleanup.regions) PrintRegions(logic.LastRegions());
  const clsMap& generated = *logic.State().oMap;
  if (std::none_of(generated.begin(), generated.end(), [](const auto& f) { return f->FigCode() == figcode::kPolygon; }))
    Fail(TrQ("picmap-cli", "注意: %1: 地図は空です (どの画素も背景色か, 整理で取り除かれました)").arg(Q(o.picture)), kExitOk);

  for (int run = 1; run <= o.compressRuns; ++run) {
    InstallProgress(win, TrQ("picmap-cli", "図形を圧縮中"));
    logic.mnuCompress_Click();
    EndProgress(win);
    Report("compression", TrQ("picmap-cli", "%1 回目: 削減 %2, 図形 %3")
                              .arg(run)
                              .arg(logic.LastCompressResult())
                              .arg(logic.State().oMap->Count()));
  }

  mark = win.messages.size();
  win.saveAnswers.push_back(o.map);
  InstallProgress(win, TrQ("picmap-cli", "保存中 (%)"));
  logic.mnuSave_Click();
  EndProgress(win);
  if (!logic.LastSaveSucceeded()) return Failure(win, mark, o.map);
  std::printf("wrote: %s\n", Utf8(logic.State().oMap->FileName()).c_str());
  std::printf("wrote: %s\n", Utf8(logic.State().things->FileName()).c_str());
  PrintKeptBackups(logic.LastKeptBackups());
  if (!o.saveGcpFile.empty() && !SaveControlPoints(o, fitted)) return kExitFailure;
  return EndVerb(*logic.State().oMap, kExitOk);
}

}  // namespace

int RunConvert(const QStringList& args) {
  QCommandLineParser parser;
  AddOptions(parser);
  if (int code = ParseVerb(parser, args, -1); code >= 0) return code;
  Options o;
  if (QString e = ReadOptions(parser, o); !e.isEmpty()) return Usage(e);
  return Convert(o);
}

}  // namespace picmap::cli
