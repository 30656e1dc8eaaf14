// picmap-cli convert: runs the main window's conversion steps on a scripted window, answering
// its dialogs and input boxes from the command line.
#include <QCommandLineParser>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "app/cleanup.h"
#include "app/frm_main.h"
#include "app/language.h"
#include "app/program_folder.h"
#include "app/scripted_window.h"
#include "cli/cli.h"
#include "cli/common.h"
#include "map/clsMap.h"
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

int Usage(const std::string& message) { return Fail(message, kExitUsage); }

// The error messages the window showed since `from`, one line each with the program's name,
// its text and its detail.
void PrintErrors(const ScriptedWindow& win, size_t from) {
  for (size_t i = from; i < win.messages.size(); ++i) {
    if (!win.messages[i].errorIcon) continue;
    std::string line = TerminalText(win.messages[i].text);
    if (!win.messages[i].detail.empty()) line += "\n" + TerminalText(win.messages[i].detail);
    // Its lines become parts of one, the full stop before each colon dropped.
    for (size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) {
      const bool stop = at > 0 && line[at - 1] == '.';
      line.replace(stop ? at - 1 : at, stop ? 2 : 1, ": ");
    }
    Fail(line, kExitFailure);
  }
}

int Failure(const ScriptedWindow& win, size_t from) {
  PrintErrors(win, from);
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

std::string ReadCleanupOptions(const QCommandLineParser& p, Options& o) {
  CleanupOptions& c = o.cleanup;
  if (p.isSet("colors") && p.isSet("palette")) return "--colors and --palette exclude each other";
  bool ok = true;
  if (p.isSet("colors")) c.colours = p.value("colors").toInt(&ok);
  if (!ok || (p.isSet("colors") && (c.colours < 2 || c.colours > kMaxCleanColours)))
    return "--colors: expected a whole number from 2 to 256";
  if (p.isSet("sieve")) c.sieve = p.value("sieve").toInt(&ok);
  if (!ok || c.sieve < 0) return "--sieve: expected a whole number of pixels, 0 or more";
  c.regions = p.isSet("regions");
  if (p.isSet("simplify")) {
    if (!c.regions) return "--simplify: needs --regions";
    c.simplify = p.value("simplify").toDouble(&ok);
    if (!ok || !(c.simplify >= 0) || c.simplify > 1000)
      return "--simplify: expected a tolerance in pixels from 0 to 1000";
  }
  if (p.isSet("palette")) {
    try {
      c.palette = ReadPaletteFile(ToU16(p.value("palette")));
    } catch (const Error& e) {
      return "--palette: " + ToUtf8(e.Description());
    }
  }
  c.smooth = p.isSet("smooth");
  if (c.smooth && !c.regions) return "--smooth: needs --regions";
  if (c.regions) o.compressRuns = 0;
  return {};
}

void AddOptions(QCommandLineParser& p) {
  p.setApplicationDescription("Converts a picture of a map into a map file (.MLL) and a thing "
                              "file (.THG) beside it.");
  p.addPositionalArgument("PICTURE", "The picture (BMP, GIF, PNG or JPEG).");
  p.addOption({{"o", "output"}, "The map file (default: the picture's path with .MLL).", "MAP"});
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
  p.addOption({"lang", "The language of the conversion's messages, ja or en (default: English "
                       "under an English locale, else Japanese, as the window).", "LANG"});
}

// Fills `o` from the parsed command line; an empty result, or the usage error to report.
std::string ReadOptions(const QCommandLineParser& p, Options& o) {
  const QStringList pos = p.positionalArguments();
  if (pos.size() != 1) return "expected exactly one PICTURE (see --help)";
  o.picture = ToU16(pos[0]);
  if (p.isSet("output") && p.value("output").isEmpty()) return "-o/--output: the map file name is empty";
  o.map = p.isSet("output") ? ToU16(p.value("output")) : ChangeExtension(o.picture, u"MLL");
  if (p.isSet("things")) o.things = ToU16(p.value("things"));
  o.world = p.isSet("world");
  o.worldFile = p.isSet("world-file");
  o.noBackup = p.isSet("no-backup");
  for (int i = 0; i < 4; ++i)
    if (p.isSet(kEdgeOptions[i])) o.edges[i] = p.value(kEdgeOptions[i]);
  if (p.isSet("background") && p.isSet("background-at"))
    return "--background and --background-at exclude each other";
  if (p.isSet("background") && !ParseBackground(p.value("background"), o))
    return "--background: expected #RRGGBB, rgb(R,G,B), six digits BBGGRR or none, not '" +
           p.value("background").toStdString() + "'";
  if (p.isSet("background-at") && !ParsePoint(p.value("background-at"), o))
    return "--background-at: expected X,Y, not '" + p.value("background-at").toStdString() + "'";
  if (p.isSet("tone")) {
    const std::optional<int16_t> t = ToneIndexOf(p.value("tone"));
    if (!t) return "--tone: expected 256, 128, 64, 32 or 16";
    o.tone = *t;
  }
  if (p.isSet("compress")) {
    bool ok = false;
    o.compressRuns = p.value("compress").toInt(&ok);
    if (!ok || o.compressRuns < 0) return "--compress: expected a whole number of 0 or more";
  }
  return ReadCleanupOptions(p, o);
}

// Shows the running job's progress on a terminal.
void InstallProgress(ScriptedWindow& win, const std::string& phase) {
  if (!::isatty(2)) return;
  win.onProgress = [phase](int32_t value, int32_t maximum) {
    if (value == 0 || maximum <= 0) return;
    std::fprintf(stderr, "\r%s %d/%d ", phase.c_str(), value, maximum);
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
  return (logic.*enter[i])();
}

// Which limit an edge broke: the globe's, or the 30" between north and south.
std::string RangeHint(int edge, const QString& text) {
  if (edge < 2) return "longitudes lie within 180° east and west";
  int32_t sec = 0;
  try {
    sec = AngleSecStrToVal(AngleFormalStr(ToU16(text)));
  } catch (const Error&) {
  }
  if (sec > 324000 || sec < -324000) return "latitudes lie within 90° north and south";
  return "north must lie at least 30\" above south";
}

std::optional<int32_t> AngleOf(const std::u16string& text) {
  try {
    return AngleSecStrToVal(AngleFormalStr(text));
  } catch (const Error&) {
    return std::nullopt;
  }
}

// "90S" is 90 arc-seconds to the angle grammar (S after a number counts seconds), though
// whoever types it on --south means 90° south. Where a letter at the end reads otherwise than
// the same letter in front, say what it was read as and how to write the other.
void WarnOfTrailingLetter(int edge, const QString& given) {
  const QString text = given.trimmed();
  if (text.size() < 2 || !QString("SWENswen").contains(text.back())) return;
  const QString before = text.left(text.size() - 1).trimmed();
  if (before.isEmpty() || !before.back().isDigit()) return;
  const std::optional<int32_t> read = AngleOf(ToU16(text));
  const std::optional<int32_t> meant = AngleOf(ToU16(text.back() + before));
  if (!read || !meant || *read == *meant) return;
  const bool latitude = edge >= 2;
  const std::u16string readText = latitude ? LatToStr(*read) : LonToStr(*read);
  const QString letter = text.back().toUpper();
  const char* japanese = letter == "S" ? "南緯" : letter == "N" ? "北緯" : letter == "E" ? "東経" : "西経";
  std::fprintf(stderr,
               "picmap-cli convert: warning: --%s '%s' reads as %s (%s after a number counts "
               "arc-seconds there); for degrees write %s%s, %s°%s or %s%s度\n",
               kEdgeOptions[edge], qPrintable(given), Utf8(readText).c_str(), qPrintable(letter),
               qPrintable(letter), qPrintable(before), qPrintable(before), qPrintable(letter),
               japanese, qPrintable(before));
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
    const std::string text = o.edges[i]->toStdString();
    if (r == EdgeEntry::Unreadable || r == EdgeEntry::Cancelled)
      return Usage(std::string("--") + kEdgeOptions[i] + ": cannot read '" + text +
                   "' as an angle");
    if (r == EdgeEntry::OutOfRange)
      return Usage(std::string("--") + kEdgeOptions[i] + ": '" + text + "' is out of range (" +
                   RangeHint(i, *o.edges[i]) + ")");
  }
  return kExitOk;
}

int SetBackground(frmMainLogic& logic, ScriptedWindow& win, const Options& o) {
  std::optional<int32_t> colour = o.background;
  if (o.backgroundAt) {
    if (!win.SourcePicture().Contains(o.atX, o.atY))
      return Usage("--background-at: pixel " + std::to_string(o.atX) + "," +
                   std::to_string(o.atY) + " lies outside the picture");
    colour = win.SourcePixel(o.atX, o.atY);
  }
  if (!colour) return kExitOk;
  if (*colour >= 0) win.colorAnswers.push_back(*colour);  // none: the dialog is cancelled
  logic.mnuBackColor_Click();
  return kExitOk;
}

void PrintSettings(const frmMainLogic& logic, const ScriptedWindow& win, const Options& o) {
  const ConversionState& s = logic.State();
  std::printf("picture: %s (%d x %d pixels)\n", Utf8(o.picture).c_str(), win.SourceWidth(),
              win.SourceHeight());
  std::printf("extents: west %s, east %s, north %s, south %s\n", Utf8(LonToStr(s.west)).c_str(),
              Utf8(LonToStr(s.east)).c_str(), Utf8(LatToStr(s.north)).c_str(),
              Utf8(LatToStr(s.south)).c_str());
}

void PrintRegions(const RegionCounts& r) {
  std::printf("regions: %lld, border arcs: %lld", static_cast<long long>(r.regions),
              static_cast<long long>(r.arcs));
  if (r.arcsKeptFiner > 0)
    std::printf(" (%lld simplified less, as the tolerance would have crossed a border)",
                static_cast<long long>(r.arcsKeptFiner));
  if (r.arcsKeptCorners > 0)
    std::printf(" (%lld kept their corners, as rounding would have crossed a border)",
                static_cast<long long>(r.arcsKeptCorners));
  std::printf("\n");
}

// A folder that cannot be written is found before the picture is read and converted.
bool OutputsCanBeWritten(const std::u16string& chosen) {
  clsMap map;
  map.FileName(chosen);
  clsThings things;
  things.FileName(chosen);
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

int Convert(const Options& o) {
  if (!OutputsCanBeWritten(o.map)) return kExitFailure;
  ProgramInfo info = Program();
  info.folder = DataFolderFor(info.folder);
  SetProgramInfo(info);
  ScriptedWindow win;
  win.paintsPreview = false;  // the command line never reads the preview
  frmMainLogic logic(win);
  logic.KeepBackups(!o.noBackup);
  if (!o.things.empty()) logic.SetTemplateThingFile(o.things);
  if (!logic.Form_Load()) return Failure(win, 0);

  size_t mark = win.messages.size();
  win.openAnswers.push_back(o.picture);
  logic.mnuOpen_Click();
  if (win.loads.empty() || !win.loads.back().ok) return Failure(win, mark);
  if (!logic.State().pictureLoaded) {
    std::fprintf(stderr, "%s: the picture is smaller than 16 x 16 pixels\n",
                 Utf8(o.picture).c_str());
    return kExitFailure;
  }
  if (o.world) logic.mnuWorld_Click();
  mark = win.messages.size();
  if (o.worldFile && !logic.mnuWorldFile_Click()) return Failure(win, mark);
  if (int r = EnterEdges(logic, win, o); r != kExitOk) return r;
  if (int r = SetBackground(logic, win, o); r != kExitOk) return r;
  logic.mnuTone_Click();
  logic.mnuToneItem_Click(o.tone);

  mark = win.messages.size();
  logic.SetCleanup(o.cleanup);
  logic.CompressAlongGeneration(o.compressRuns > 0);
  InstallProgress(win, "generating rows");
  logic.mnuPolygon_Click();
  EndProgress(win);
  if (win.messages.size() <= mark || win.messages.back().errorIcon) return Failure(win, mark);
  PrintSettings(logic, win, o);
  std::printf("figures after generation: %d\n", logic.State().oMap->Count());
  if (o.cleanup.regions) PrintRegions(logic.LastRegions());

  for (int run = 1; run <= o.compressRuns; ++run) {
    InstallProgress(win, "compressing figures");
    logic.mnuCompress_Click();
    EndProgress(win);
    std::printf("compression run %d: removed %d, figures %d\n", run, logic.LastCompressResult(),
                logic.State().oMap->Count());
  }

  mark = win.messages.size();
  win.saveAnswers.push_back(o.map);
  InstallProgress(win, "saving percent");
  logic.mnuSave_Click();
  EndProgress(win);
  if (!logic.LastSaveSucceeded()) return Failure(win, mark);
  std::printf("wrote: %s\n", Utf8(logic.State().oMap->FileName()).c_str());
  std::printf("wrote: %s\n", Utf8(logic.State().things->FileName()).c_str());
  PrintKeptBackups(logic.LastKeptBackups());
  return EndVerb(*logic.State().oMap, kExitOk);
}

}  // namespace

int RunConvert(const QStringList& args) {
  QCommandLineParser parser;
  AddOptions(parser);
  if (int code = ParseVerb(parser, args, -1); code >= 0) return code;
  Options o;
  if (std::string e = ReadOptions(parser, o); !e.empty()) return Usage(e);
  std::optional<std::string> lang;
  if (parser.isSet("lang")) {
    lang = parser.value("lang").toStdString();
    if (!IsProgramLanguage(*lang)) return Usage("--lang: expected ja or en, not '" + *lang + "'");
  }
  UseLanguage(ChosenLanguage(lang));
  return Convert(o);
}

}  // namespace picmap::cli
