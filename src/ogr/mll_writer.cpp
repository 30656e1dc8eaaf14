#include "ogr/mll_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <fstream>
#include <cstring>

#include <cpl_string.h>
#include <ogr_featurestyle.h>

#include "geometry/keyhole.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map/converter_header.h"
#include "map/layer_style.h"
#include "ogr/cpl_messages.h"
#include "ogr/mll_features.h"
#include "support/errors.h"
#include "support/stagedfile.h"
#include "support/library.h"
#include "support/text.h"
#include "things/clsThings.h"

namespace picmap::ogr {

namespace {

constexpr int32_t kMaxLongitude = 648000;
constexpr int32_t kMaxLatitude = 324000;
constexpr int32_t kFullTone = 256;
constexpr char16_t kImagePolygon[] = u"画像ポリゴン";

// The text of a point that is to be a text figure.
struct PointLabel {
  std::string japanese, latin;
  int32_t angle = 0;
  int32_t fix = 0;
  bool HasText() const { return !japanese.empty() || !latin.empty(); }
};

// The attributes every figure of one feature gets.
struct FigureAttributes {
  int32_t color = -1;
  int32_t thing = 0;
  int32_t admin = 0;
  int32_t showMode = -1;
  int32_t jumpMark = 0;
};

// Where the features' figures go, and what names a failing feature in messages.
struct FigureSink {
  std::vector<std::shared_ptr<clsMapFigure>>& figures;
  const FigureAttributes& attributes;
  bool degrees;
  std::string feature;  // "feature 12 of layer roads"
  LayerLosses& losses;
  const PointLabel* label = nullptr;
};

bool ToMapUnit(double v, bool degrees, int32_t limit, int32_t& out) {
  const double scaled = std::nearbyint(degrees ? v * 3600.0 : v);  // halves to even
  if (!(std::fabs(scaled) <= limit)) return false;
  out = static_cast<int32_t>(scaled);
  return true;
}

bool ToMapPoint(double x, double y, const FigureSink& sink, PolyPoint& p) {
  const int32_t lonLimit = sink.degrees ? kMaxLongitude : INT32_MAX;
  const int32_t latLimit = sink.degrees ? kMaxLatitude : INT32_MAX;
  if (ToMapUnit(x, sink.degrees, lonLimit, p.x) && ToMapUnit(y, sink.degrees, latLimit, p.y))
    return true;
  CPLError(CE_Failure, CPLE_AppDefined,
           "MLL: %s has the point (%.10g, %.10g) outside the map's range%s", sink.feature.c_str(),
           x, y, sink.degrees ? " (longitude -180 to 180, latitude -90 to 90 degrees)" : "");
  return false;
}

void Attach(const std::shared_ptr<clsMapFigure>& fig, const FigureSink& sink) {
  const FigureAttributes& a = sink.attributes;
  fig->Admin(a.admin);
  fig->Thing(a.thing);
  fig->OwnColor(a.color);
  fig->OwnShowMode(a.showMode);
  fig->JumpMark(a.jumpMark);
  sink.figures.push_back(fig);
}

bool AddLine(const OGRSimpleCurve& curve, const FigureSink& sink) {
  if (curve.getNumPoints() < 2) {
    ++sink.losses.shortLines;
    return true;
  }
  auto fig = std::make_shared<clsMapPolyline>();
  clsPoly& poly = *fig->Poly();
  bool moves = false, movesOnGrid = false;  // a point away from the first, in the source, on the map
  PolyPoint first{};
  for (int i = 0; i < curve.getNumPoints(); ++i) {
    PolyPoint p;
    if (!ToMapPoint(curve.getX(i), curve.getY(i), sink, p)) return false;
    if (i == 0) first = p;
    moves = moves || curve.getX(i) != curve.getX(0) || curve.getY(i) != curve.getY(0);
    movesOnGrid = movesOnGrid || p.x != first.x || p.y != first.y;
    poly.AddXandY(p.x, p.y);
  }
  // Shorter than the map's unit, a line becomes one point on its grid; a line of one point
  // repeated is a figure of the map itself and stays.
  if (moves && !movesOnGrid) {
    ++sink.losses.shortLines;
    return true;
  }
  Attach(fig, sink);
  return true;
}

bool RingPoints(const OGRLinearRing& ring, const FigureSink& sink, Ring& out) {
  out.clear();
  for (int i = 0; i < ring.getNumPoints(); ++i) {
    PolyPoint p;
    if (!ToMapPoint(ring.getX(i), ring.getY(i), sink, p)) return false;
    out.push_back(p);
  }
  return true;
}

void AddRing(const Ring& ring, const FigureSink& sink) {
  auto fig = std::make_shared<clsMapPolygon>();
  clsPoly& poly = *fig->Poly();
  for (const PolyPoint& p : ring) poly.AddXandY(p.x, p.y);
  Attach(fig, sink);
}

// A map polygon has no holes: a polygon with holes becomes one ring that walks into each hole
// and back along a bridge of zero width, which every reader fills exactly as the polygon.
void AddOutline(const Ring& outer, const std::vector<Ring>& holes, const FigureSink& sink) {
  if (holes.empty()) {
    AddRing(outer, sink);
    return;
  }
  if (const std::optional<Ring> joined = JoinHoles(outer, holes)) {
    AddRing(*joined, sink);
    return;
  }
  CPLError(CE_Warning, CPLE_AppDefined,
           "MLL: %s: its %zu hole(s) cannot be joined to the outline; only the outline is stored",
           sink.feature.c_str(), holes.size());
  AddRing(outer, sink);
}

// Whether the ring comes back to a corner it has left (a point repeated at once is no visit).
bool PassesACornerTwice(const Ring& ring) {
  std::vector<uint64_t> corners;
  corners.reserve(ring.size());
  for (size_t i = 0; i + 1 < ring.size(); ++i)  // the closing point repeats the first
    if (i == 0 || ring[i].x != ring[i - 1].x || ring[i].y != ring[i - 1].y)
      corners.push_back(uint64_t{static_cast<uint32_t>(ring[i].x)} << 32 | static_cast<uint32_t>(ring[i].y));
  if (corners.size() > 1 && corners.front() == corners.back()) corners.pop_back();
  std::sort(corners.begin(), corners.end());
  return std::adjacent_find(corners.begin(), corners.end()) != corners.end();
}

struct Lobe {
  Ring outer;
  std::vector<Ring> holes;
};

OGRLinearRing* OgrRing(const Ring& ring) {
  auto* r = new OGRLinearRing;
  for (const PolyPoint& p : ring) r->addPoint(p.x, p.y);
  r->closeRings();
  return r;
}

Ring MapRing(const OGRLinearRing& ring) {
  Ring out;
  for (int i = 0; i < ring.getNumPoints(); ++i)
    out.push_back({static_cast<int32_t>(std::nearbyint(ring.getX(i))), static_cast<int32_t>(std::nearbyint(ring.getY(i)))});
  return out;
}

// A neck narrower than an arc-second closes on the grid: the outline, valid in the source,
// then passes one corner twice, which GIS tools read as an invalid polygon. Parted at that
// corner (GEOS, on the grid), each lobe is a figure of its own. Null when GEOS cannot part it.
std::optional<std::vector<Lobe>> LobesOf(const Ring& outer, const std::vector<Ring>& holes) {
  OGRPolygon onGrid;
  onGrid.addRingDirectly(OgrRing(outer));
  for (const Ring& hole : holes) onGrid.addRingDirectly(OgrRing(hole));
  static const char* const kStructure[] = {"METHOD=STRUCTURE", nullptr};
  CPLErrorStateBackuper keepLastError;
  CPLErrorHandlerPusher quiet(CPLQuietErrorHandler, nullptr);
  const std::unique_ptr<OGRGeometry> parted(onGrid.MakeValid(kStructure));
  if (!parted) return std::nullopt;
  std::vector<const OGRPolygon*> parts;
  if (wkbFlatten(parted->getGeometryType()) == wkbPolygon) parts.push_back(parted->toPolygon());
  else if (wkbFlatten(parted->getGeometryType()) == wkbMultiPolygon)
    for (const OGRPolygon* part : *parted->toMultiPolygon()) parts.push_back(part);
  else return std::nullopt;
  std::vector<Lobe> lobes;
  for (const OGRPolygon* part : parts) {
    Lobe lobe{MapRing(*part->getExteriorRing()), {}};
    for (int i = 0; i < part->getNumInteriorRings(); ++i) lobe.holes.push_back(MapRing(*part->getInteriorRing(i)));
    if (lobe.outer.size() >= 4 && DoubleSignedArea(lobe.outer) != 0) lobes.push_back(std::move(lobe));
  }
  if (lobes.empty()) return std::nullopt;
  return lobes;
}

bool AddPolygon(const OGRPolygon& polygon, const FigureSink& sink) {
  if (polygon.IsEmpty()) return true;
  Ring outer;
  if (!RingPoints(*polygon.getExteriorRing(), sink, outer)) return false;
  if (outer.size() < 4) {
    ++sink.losses.shortPolygons;
    return true;
  }
  if (DoubleSignedArea(outer) == 0) {
    ++sink.losses.noArea;
    return true;
  }
  std::vector<Ring> holes;
  for (int i = 0; i < polygon.getNumInteriorRings(); ++i) {
    Ring hole;
    if (!RingPoints(*polygon.getInteriorRing(i), sink, hole)) return false;
    if (hole.size() >= 4 && DoubleSignedArea(hole) != 0) holes.push_back(std::move(hole));
  }
  if (PassesACornerTwice(outer)) {
    if (const std::optional<std::vector<Lobe>> lobes = LobesOf(outer, holes)) {
      for (const Lobe& lobe : *lobes) AddOutline(lobe.outer, lobe.holes, sink);
      return true;
    }
  }
  AddOutline(outer, holes, sink);
  return true;
}

bool AddGeometry(const OGRGeometry& g, const FigureSink& sink);
bool AddPolygonalParts(const OGRGeometry& g, const FigureSink& sink);

// An invalid polygon (a ring crossing itself, parts that GDAL forced into one polygon as holes
// outside its shell) is repaired first, so that every part with area becomes a figure.
bool AddAreas(const OGRGeometry& g, const FigureSink& sink) {
  CPLPushErrorHandler(CPLQuietErrorHandler);
  const bool valid = g.IsValid();
  std::unique_ptr<OGRGeometry> repaired(valid ? nullptr : g.MakeValid());
  CPLPopErrorHandler();
  if (valid || !repaired) return wkbFlatten(g.getGeometryType()) == wkbPolygon
                                     ? AddPolygon(*g.toPolygon(), sink)
                                     : AddGeometry(g, sink);
  // A polygon without area (a spike, a ring back and forth along a line) repairs into lines
  // alone: nothing of it is stored, and it is told as left out, not as repaired.
  const size_t before = sink.figures.size();
  const bool added = AddPolygonalParts(*repaired, sink);
  if (added && sink.figures.size() == before) ++sink.losses.noArea;
  else ++sink.losses.repaired;
  return added;
}

// Language 1 keeps one byte a character ("^" after a vowel is its notation for a circumflex,
// no loss), language 2 code page 932.
bool StorableTexts(const std::u16string& latin, const std::u16string& japanese) {
  return std::all_of(latin.begin(), latin.end(), [](char16_t c) { return c <= 0xFF; }) &&
         FromCp932(ToCp932(japanese)) == japanese;
}

// A point with a text (the `text`/`text_latin` fields a map's texts are exported with, or an
// OGR LABEL style) is a text figure again; any other point a symbol.
bool AddPoint(const OGRPoint& point, const FigureSink& sink) {
  if (point.IsEmpty()) return true;
  PolyPoint p;
  if (!ToMapPoint(point.getX(), point.getY(), sink, p)) return false;
  if (sink.label && sink.label->HasText()) {
    auto fig = std::make_shared<clsMapText>();
    fig->SetTextPoint(p);
    const std::u16string latin = FromUtf8(sink.label->latin), japanese = FromUtf8(sink.label->japanese);
    fig->TextUnicode(1, latin);
    fig->TextUnicode(2, japanese);
    sink.losses.alteredTexts += !StorableTexts(latin, japanese);
    fig->Angle(sink.label->angle);
    fig->TextFix(sink.label->fix);
    Attach(fig, sink);
    return true;
  }
  auto fig = std::make_shared<clsMapSymbol>();
  fig->SetSymbolPoint(p);
  Attach(fig, sink);
  return true;
}

bool AddPolygonalParts(const OGRGeometry& g, const FigureSink& sink) {
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbPolygon: return AddPolygon(*g.toPolygon(), sink);
    case wkbMultiPolygon:
    case wkbGeometryCollection:
      for (const OGRGeometry* part : *g.toGeometryCollection())
        if (!AddPolygonalParts(*part, sink)) return false;
      return true;
    default: return true;  // what a repair left without area
  }
}

bool AddGeometry(const OGRGeometry& g, const FigureSink& sink) {
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbPolygon: return AddAreas(g, sink);
    case wkbLineString: return AddLine(*g.toLineString(), sink);
    case wkbPoint: return AddPoint(*g.toPoint(), sink);
    case wkbMultiPolygon: {
      CPLPushErrorHandler(CPLQuietErrorHandler);
      const bool valid = g.IsValid();
      CPLPopErrorHandler();
      if (!valid) return AddAreas(g, sink);
      for (const OGRGeometry* part : *g.toGeometryCollection())
        if (!AddPolygon(*part->toPolygon(), sink)) return false;
      return true;
    }
    case wkbMultiLineString:
    case wkbMultiPoint:
    case wkbGeometryCollection:
      for (const OGRGeometry* part : *g.toGeometryCollection())
        if (!AddGeometry(*part, sink)) return false;
      return true;
    default: {  // curves and surfaces: their straight-line approximation
      std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
      if (!linear || wkbFlatten(linear->getGeometryType()) == wkbFlatten(g.getGeometryType())) {
        CPLError(CE_Failure, CPLE_NotSupported, "MLL: %s: geometry type %s cannot be stored",
                 sink.feature.c_str(), OGRGeometryTypeToName(g.getGeometryType()));
        return false;
      }
      return AddGeometry(*linear, sink);
    }
  }
}

std::string StringField(OGRFeature& f, const char* name) {
  const int i = f.GetFieldIndex(name);
  return i >= 0 && f.IsFieldSetAndNotNull(i) ? f.GetFieldAsString(i) : std::string();
}

// The text of a LABEL style part (t:"...") and its angle.
bool StyleLabel(OGRFeature& f, PointLabel& label) {
  OGRStyleMgr manager;
  manager.InitFromFeature(&f);
  for (int i = 0; i < manager.GetPartCount(); ++i) {
    std::unique_ptr<OGRStyleTool> tool(manager.GetPart(i));
    if (!tool || tool->GetType() != OGRSTCLabel) continue;
    auto* style = static_cast<OGRStyleLabel*>(tool.get());
    GBool isNull = TRUE;
    const char* text = style->TextString(isNull);
    if (isNull || !text || !*text) continue;
    label.japanese = text;
    const double angle = style->Angle(isNull);
    if (!isNull) label.angle = static_cast<int32_t>(std::nearbyint(angle));
    return true;
  }
  return false;
}

// A `thing` or `admin` value that is no number in range is the feature's fault, not a 0.
bool CheckedNumberField(OGRFeature& f, const char* name, int32_t hi, const std::string& feature) {
  const int i = f.GetFieldIndex(name);
  if (i < 0 || !f.IsFieldSetAndNotNull(i)) return true;
  const std::string text = f.GetFieldAsString(i);
  if (text.empty()) return true;  // an empty cell of a CSV file: no value, as a null is
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end == '\0' && v >= 0 && v <= hi) return true;
  CPLError(CE_Failure, CPLE_AppDefined, "MLL: %s: %s '%s' is not a number from 0 to %d",
           feature.c_str(), name, text.c_str(), hi);
  return false;
}

// An integer field of the feature within [lo, hi]; `fallback` when absent, null or empty.
// A value that is no whole number in range ("abc", 2.5, 99 for 0 .. 24) is counted, for a
// reader's "abc" is no 0. An angle is rounded to whole degrees first (45.4 is 45, not counted).
int32_t IntField(OGRFeature& f, const char* name, int32_t lo, int32_t hi, int32_t fallback,
                 LayerLosses& losses, bool round = false) {
  const int i = f.GetFieldIndex(name);
  if (i < 0 || !f.IsFieldSetAndNotNull(i)) return fallback;
  const char* text = f.GetFieldAsString(i);
  while (*text == ' ') ++text;
  if (!*text) return fallback;
  char* end = nullptr;
  double v = CPLStrtod(text, &end);
  while (*end == ' ') ++end;
  if (round) v = std::nearbyint(v);
  if (*end == '\0' && std::isfinite(v) && v == std::floor(v) && v >= lo && v <= hi)
    return static_cast<int32_t>(v);
  ++losses.ignoredValues[name];
  if (losses.firstIgnoredAt == 0) losses.firstIgnoredAt = losses.current;
  return fallback;
}

PointLabel LabelOf(OGRFeature& f, LayerLosses& losses) {
  PointLabel label;
  label.japanese = StringField(f, "text");
  label.latin = StringField(f, "text_latin");
  if (!label.HasText()) {
    StyleLabel(f, label);
    return label;
  }
  label.angle = IntField(f, "angle", INT32_MIN, INT32_MAX, 0, losses, true);
  label.fix = IntField(f, "text_fix", 0, 24, 0, losses);
  return label;
}

// The first colour of the feature's style: a brush's fill, else a pen's, symbol's or label's.
int32_t StyleColor(OGRFeature& f) {
  OGRStyleMgr manager;
  manager.InitFromFeature(&f);
  int32_t found = -1;
  for (int i = 0; i < manager.GetPartCount() && found < 0; ++i) {
    std::unique_ptr<OGRStyleTool> tool(manager.GetPart(i));
    if (!tool) continue;
    GBool isNull = TRUE;
    const char* c = nullptr;
    switch (tool->GetType()) {
      case OGRSTCBrush: c = static_cast<OGRStyleBrush*>(tool.get())->ForeColor(isNull); break;
      case OGRSTCPen: c = static_cast<OGRStylePen*>(tool.get())->Color(isNull); break;
      case OGRSTCSymbol: c = static_cast<OGRStyleSymbol*>(tool.get())->Color(isNull); break;
      case OGRSTCLabel: c = static_cast<OGRStyleLabel*>(tool.get())->ForeColor(isNull); break;
      default: break;
    }
    if (!isNull) found = ColorFromHex(c);
  }
  return found;
}

// A `color` field's text: #RRGGBB, or #RRGGBBAA stored without its alpha; anything else is
// counted and left unset.
int32_t ColorField(const char* text, LayerLosses& losses) {
  const int32_t color = ColorFromHex(text);
  if (color < 0 && *text) ++losses.badColours;
  if (color >= 0 && std::strlen(text) == 9) ++losses.alphaColours;
  return color;
}

FigureAttributes AttributesOf(OGRFeature& f, int16_t defaultThing, LayerLosses& losses) {
  FigureAttributes a;
  const int ci = f.GetFieldIndex("color");
  if (ci >= 0 && f.IsFieldSetAndNotNull(ci)) a.color = ColorField(f.GetFieldAsString(ci), losses);
  // A map's own layers have the field, empty for a figure drawn in its thing's colour, and a
  // style drawn in that colour: it must not become the figure's own.
  if (ci < 0) a.color = StyleColor(f);
  a.thing = IntField(f, "thing", 0, 999, defaultThing, losses);
  a.admin = IntField(f, "admin", 0, 999, 0, losses);
  a.showMode = IntField(f, "show_mode", -1, 1, -1, losses);
  a.jumpMark = IntField(f, "jump_mark", 0, 9, 0, losses);
  return a;
}

bool EndsWithIgnoringCase(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && EQUAL(s.c_str() + s.size() - n, tail);
}

// The template thing file, or nothing with `why` it cannot be read told once by the caller.
std::shared_ptr<clsThings> LoadTemplate(const std::string& file, std::string* why = nullptr) {
  auto things = std::make_shared<clsThings>();
  things->AssignFileName(FromUtf8(file));
  CplMessages messages(true);
  std::string reason;
  try {
    if (things->Load() == 0) return things;
    reason = messages.LastLine();
  } catch (const Error& e) {
    reason = DescriptionText(e);
  }
  if (why) *why = reason;
  return nullptr;
}

// Longitudes and latitudes that lie within a metre of WGS 84's everywhere (JGD2000, JGD2011,
// ETRS89 ...): a transformation PROJ knows (no "ballpark" guess) moves test points less than that.
bool SameAsWgs84(const OGRSpatialReference& srs) {
  OGRSpatialReference wgs84;
  wgs84.importFromEPSG(4326);
  if (srs.IsSame(&wgs84)) return true;
  OGRSpatialReference source(srs);
  source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRCoordinateTransformationOptions options;
  options.SetBallparkAllowed(false);
  CPLPushErrorHandler(CPLQuietErrorHandler);
  std::unique_ptr<OGRCoordinateTransformation> toWgs84(
      OGRCreateCoordinateTransformation(&source, &wgs84, options));
  CPLPopErrorHandler();
  if (!toWgs84) return false;
  constexpr double kMetreInDegrees = 1.0 / 111000.0;
  double x[] = {139.7, 135.0, 2.3, -74.0, 151.2, 0.0};
  double y[] = {35.7, 34.7, 48.9, 40.7, -33.9, 0.0};
  double xs[6], ys[6];
  std::copy(x, x + 6, xs);
  std::copy(y, y + 6, ys);
  int ok[6] = {};
  if (!toWgs84->Transform(6, xs, ys, nullptr, ok)) return false;
  for (int i = 0; i < 6; ++i)
    if (ok[i] && (std::fabs(xs[i] - x[i]) > kMetreInDegrees || std::fabs(ys[i] - y[i]) > kMetreInDegrees))
      return false;
  return true;
}

}  // namespace

namespace {

// The fields a map's own layers carry: the figure's attributes, or what is made of them.
bool MapField(const char* name) {
  static const char* const kKnown[] = {"fig_index", "fig_id", "fig_date", "thing", "thing_name",
                                       "category", "category_name", "admin", "color", "show_mode",
                                       "jump_mark", "text", "text_latin", "angle", "text_fix"};
  for (const char* known : kKnown)
    if (EQUAL(known, name)) return true;
  return false;
}


// A figure keeps the identifier its map gave it (fig_id, carried through a GeoPackage or a
// shapefile and back), so links to it from other data still find it; a value that is no
// identifier (no date of years 100 to 9999) is passed over. Only the first figure of a feature
// takes it: the other parts of a multi-geometry are figures of their own, with new ones.
void KeepIdentifier(OGRFeature& feature, clsMapFigure& first) {
  const int i = feature.GetFieldIndex("fig_id");
  if (i < 0 || !feature.IsFieldSetAndNotNull(i)) return;
  const double id = feature.GetFieldAsDouble(i);
  try {
    FigDateOf(id);
  } catch (const Error&) {
    return;
  }
  first.FigID(id);
}

bool IsVirtual(const std::string& path) { return path.rfind("/vsi", 0) == 0; }

// A folder of our own under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(bool wanted) {
    if (!wanted) return;
    std::string name = (std::filesystem::temp_directory_path() / "picmap-XXXXXX").string();
    if (::mkdtemp(name.data())) path_ = name;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

bool CopyIntoVirtual(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  VSILFILE* out = VSIFOpenL(to.c_str(), "wb");
  bool ok = in && out;
  char buffer[1 << 16];
  while (ok && in) {
    in.read(buffer, sizeof buffer);
    const size_t n = static_cast<size_t>(in.gcount());
    ok = VSIFWriteL(buffer, 1, n, out) == n;
  }
  if (out && VSIFCloseL(out) != 0) ok = false;
  if (!ok) CPLError(CE_Failure, CPLE_FileIO, "MLL: cannot write %s", to.c_str());
  return ok;
}

// Every file the save left in the scratch folder (the map and the files beside it).
bool CopyIntoVirtualFolder(const std::string& scratch, const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(scratch)) {
    const std::string name = entry.path().filename().string();
    if (!CopyIntoVirtual(entry.path().string(), folder.empty() ? name : folder + "/" + name)) return false;
  }
  return true;
}

}  // namespace

std::string LayerLosses::Describe() const {
  std::string text;
  const auto add = [&](int64_t n, const char* what) {
    if (n > 0) text += (text.empty() ? "" : "; ") + std::to_string(n) + " " + what;
  };
  add(noGeometry, "feature(s) without geometry left out");
  add(emptyGeometries, "feature(s) of an empty geometry left out");
  add(shortLines, "line(s) of one point left out");
  add(shortPolygons, "polygon ring(s) of fewer than 4 points left out");
  add(noArea, "polygon(s) without area left out");
  add(badColours, "colour(s) that are not #RRGGBB ignored");
  add(alphaColours, "colour(s) stored without their transparency");
  add(repaired, "invalid polygon(s) repaired before they were stored");
  add(heights, "feature(s) stored without their Z or M values");
  if (!ignoredValues.empty()) {
    int64_t n = 0;
    std::string fields;
    for (const auto& [field, count] : ignoredValues) {
      n += count;
      fields += (fields.empty() ? "" : ", ") + field + " " + std::to_string(count);
    }
    add(n, ("value(s) that are no whole number in range, ignored (" + fields + "; the first in feature " +
            std::to_string(firstIgnoredAt) + ")").c_str());
  }
  add(unplacedTexts, "text(s) of features without a point, not stored (a map keeps texts on points)");
  add(alteredTexts, "text(s) with characters a map file cannot hold (text: code page 932, "
                    "text_latin: one byte each), stored as ? or other characters");
  return text;
}

std::string TemplateThingFile(CSLConstList options) {
  if (const char* given = CSLFetchNameValue(options, "THINGS")) return given;
  for (const char* file : {PICMAP_BUILD_DATA_DIR "/PICMAP.THG", PICMAP_INSTALL_DATA_DIR "/PICMAP.THG"})
    if (FileExists(FromUtf8(file))) return file;
  return {};
}

MllWriterLayer::MllWriterLayer(MllWriterDataset& owner, const char* name, OGRwkbGeometryType type)
    : owner_(owner), defn_(new OGRFeatureDefn(name)) {
  defn_->Reference();
  defn_->SetGeomType(type);
  SetDescription(name);
}

MllWriterLayer::~MllWriterLayer() { defn_->Release(); }

std::string MllWriterLayer::Describe() const {
  std::string unstored;
  for (int i = 0; i < defn_->GetFieldCount(); ++i) {
    const char* name = defn_->GetFieldDefn(i)->GetNameRef();
    if (!MapField(name)) unstored += (unstored.empty() ? "" : ", ") + std::string(name);
  }
  std::string text = losses_.Describe();
  if (!unstored.empty())
    text += (text.empty() ? "" : "; ") + std::string("fields a map figure has no place for, not stored: ") + unstored;
  return text;
}

int MllWriterLayer::TestCapability(const char* cap) {
  return EQUAL(cap, OLCSequentialWrite) || EQUAL(cap, OLCCreateField) ||
         EQUAL(cap, OLCStringsAsUTF8);
}

OGRErr MllWriterLayer::CreateField(OGRFieldDefn* field, int) {
  defn_->AddFieldDefn(field);
  return OGRERR_NONE;
}

OGRErr MllWriterLayer::ICreateFeature(OGRFeature* feature) {
  ++written_;
  losses_.current = written_;
  try {
    return owner_.AddFeature(*feature, defn_->GetName(), written_, losses_) ? OGRERR_NONE
                                                                         : OGRERR_FAILURE;
  } catch (...) {
    const Error e = CurrentError();
    CPLError(CE_Failure, CPLE_AppDefined, "MLL: feature " CPL_FRMT_GIB " of layer %s: %s",
             feature->GetFID(), defn_->GetName(), ToUtf8(e.Description()).c_str());
    return OGRERR_FAILURE;
  }
}

MllWriterDataset* MllWriterDataset::Create(const std::string& path, CSLConstList options) {
  const char* version = CSLFetchNameValueDef(options, "VERSION", "106");
  if (!EQUAL(version, "104") && !EQUAL(version, "105") && !EQUAL(version, "106")) {
    CPLError(CE_Failure, CPLE_IllegalArg, "MLL: VERSION must be 104, 105 or 106, not %s", version);
    return nullptr;
  }
  const std::string thingFile = TemplateThingFile(options);
  std::string why;
  std::shared_ptr<clsThings> things = thingFile.empty() ? nullptr : LoadTemplate(thingFile, &why);
  if (!things) {
    CPLError(CE_Failure, CPLE_OpenFailed, "MLL: cannot read the template thing file %s%s%s",
             thingFile.empty() ? "PICMAP.THG (give it with -dsco THINGS=...)" : thingFile.c_str(),
             why.empty() ? "" : ": ", why.c_str());
    return nullptr;
  }
  auto* ds = new MllWriterDataset;
  // Through a link, the map and its thing and style files are written beside the linked file.
  ds->path_ = IsVirtual(path) ? path : ToUtf8(LinkTarget(FromUtf8(path)));
  ds->version_ = static_cast<int16_t>(std::atoi(version));
  ds->qgisStyle_ = CPLFetchBool(options, "QML", true);
  ds->degrees_ = !EndsWithIgnoringCase(path, ".MXY");
  ds->things_ = things;
  ds->thingsGiven_ = CSLFetchNameValue(options, "THINGS") != nullptr;
  ds->defaultThing_ = std::max<int16_t>(things->Search(kImagePolygon), 0);
  ds->SetDescription(path.c_str());
  if (!ds->CanWriteHere()) {
    ds->written_ = true;
    delete ds;
    return nullptr;
  }
  return ds;
}

// The map is written when the dataset closes, where a host program no longer asks whether it
// worked: whether it can be written at all is tried here, with a staged file beside it.
bool MllWriterDataset::CanWriteHere() const {
  if (IsVirtual(path_)) return true;  // found out when the map is copied there
  try {
    StagedFile probe;
    probe.Create(FromUtf8(path_));
    probe.Discard();
    return true;
  } catch (...) {
    const Error e = CurrentError();
    CPLError(CE_Failure, CPLE_OpenFailed, "MLL: cannot write %s: %s", path_.c_str(),
             ToUtf8(e.Description()).c_str());
    return false;
  }
}

MllWriterDataset::~MllWriterDataset() {
  if (!written_) Write();
}

OGRLayer* MllWriterDataset::GetLayer(int i) {
  return i >= 0 && i < GetLayerCount() ? layers_[i].get() : nullptr;
}

int MllWriterDataset::TestCapability(const char* cap) {
  return EQUAL(cap, ODsCCreateLayer) || EQUAL(cap, ODsCRandomLayerWrite) ||
         EQUAL(cap, ODsCTransactions);
}

// Transactions only mark where a group of features began: ogr2ogr rolls back the group it was
// writing when a feature fails and it stops, and with -skipfailures each feature is a group of
// its own. A rollback that takes back stored features therefore means the translation stopped.
OGRErr MllWriterDataset::StartTransaction(int) {
  transactionStart_ = figures_.size();
  inTransaction_ = true;
  return OGRERR_NONE;
}

OGRErr MllWriterDataset::CommitTransaction() {
  inTransaction_ = false;
  return OGRERR_NONE;
}

OGRErr MllWriterDataset::RollbackTransaction() {
  if (!inTransaction_) return OGRERR_FAILURE;
  if (figures_.size() > transactionStart_) stopped_ = true;
  figures_.resize(transactionStart_);
  inTransaction_ = false;
  return OGRERR_NONE;
}

// A translation that stopped half-way, or one that stored nothing while refusing features,
// leaves the old map as it was.
bool MllWriterDataset::Stopped() const {
  const std::string last = CPLGetLastErrorMsg();
  return stopped_ || last.rfind("Terminating translation prematurely", 0) == 0 ||
         (figures_.empty() && (refused_ > 0 || layers_.empty()));
}

namespace {

// A GeoPackage layer without a CRS has one of GeoPackage's two placeholders (srs_id 0 and -1),
// which say no more than a shapefile without its .prj.
bool IsPlaceholder(const OGRSpatialReference& srs) {
  const char* name = srs.GetName();
  return name && (EQUAL(name, "Undefined geographic SRS") || EQUAL(name, "Undefined Cartesian SRS"));
}

}  // namespace

OGRLayer* MllWriterDataset::ICreateLayer(const char* name, OGRSpatialReference* srs,
                                         OGRwkbGeometryType type, char**) {
  if (srs && IsPlaceholder(*srs)) srs = nullptr;
  if (degrees_ && srs && !srs->IsGeographic()) {
    CPLError(CE_Failure, CPLE_NotSupported,
             "MLL: layer %s is not in longitude/latitude degrees; reproject it with "
             "-t_srs EPSG:4326",
             name);
    refusedLayers_.push_back(name);
    return nullptr;
  }
  if (degrees_ && srs && !SameAsWgs84(*srs)) {
    CPLError(CE_Failure, CPLE_NotSupported,
             "MLL: layer %s is in %s, whose datum is not WGS 84 (a map file holds WGS 84 "
             "longitudes and latitudes); reproject it with -t_srs EPSG:4326",
             name, srs->GetName() ? srs->GetName() : "another geographic CRS");
    refusedLayers_.push_back(name);
    return nullptr;
  }
  if (!degrees_ && srs && !AcceptedOnPlane(name, *srs)) {
    refusedLayers_.push_back(name);
    return nullptr;
  }
  layers_.push_back(std::make_unique<MllWriterLayer>(*this, name, type));
  return layers_.back().get();
}

// An x/y map keeps whole units and no CRS: degrees would all be rounded to whole degrees, and
// a projected layer is written in its own units, which the reader is told.
bool MllWriterDataset::AcceptedOnPlane(const char* name, const OGRSpatialReference& srs) {
  if (srs.IsGeographic()) {
    CPLError(CE_Failure, CPLE_NotSupported,
             "MXY: layer %s is in longitude/latitude degrees, and an x/y map holds whole units "
             "(every point would be rounded to a whole degree); write a .MLL map instead",
             name);
    return false;
  }
  const char* unit = nullptr;
  srs.GetLinearUnits(&unit);
  CPLError(CE_Warning, CPLE_AppDefined,
           "MXY: an x/y map keeps no CRS; layer %s is written in whole %s of %s", name,
           unit ? unit : "units", srs.GetName() ? srs.GetName() : "its CRS");
  return true;
}

bool MllWriterDataset::AddFeature(OGRFeature& feature, const std::string& layerName,
                                  GIntBig number, LayerLosses& losses) {
  const OGRGeometry* g = feature.GetGeometryRef();
  if (!g) {
    // A map's own remarks layer: its header lines come back through the dataset's metadata.
    if (layerName != "remarks") ++losses.noGeometry;
    return true;
  }
  if (g->IsEmpty()) {
    ++losses.emptyGeometries;
    return true;
  }
  losses.heights += g->Is3D() || g->IsMeasured();
  const std::string name = "feature " +
                           std::to_string(feature.GetFID() >= 0 ? feature.GetFID() : number) +
                           " of layer " + layerName;
  if (!CheckedNumberField(feature, "thing", 999, name) ||
      !CheckedNumberField(feature, "admin", 999, name)) {
    ++refused_;
    return false;
  }
  const FigureAttributes attributes = AttributesOf(feature, defaultThing_, losses);
  const PointLabel label = LabelOf(feature, losses);
  const FigureSink sink{figures_, attributes, degrees_, name, losses, &label};
  const size_t before = figures_.size();
  if (AddGeometry(*g, sink)) {
    if (figures_.size() > before) KeepIdentifier(feature, *figures_[before]);
    // Only a point carries a text; a polygon's or line's is lost, and said so.
    const auto isText = [](const auto& fig) { return std::dynamic_pointer_cast<clsMapText>(fig) != nullptr; };
    losses.unplacedTexts += label.HasText() && std::none_of(figures_.begin() + before, figures_.end(), isText);
    return true;
  }
  figures_.resize(before);
  ++refused_;
  return false;
}

// The converter's header, its values taken from the dataset's metadata where a map's header
// came through it (ogr2ogr copies a map's header lines there and back); the file names are
// the new ones. Header lines the converter has no key for follow its own.
std::vector<std::u16string> MllWriterDataset::HeaderLines(const std::u16string& base) {
  std::vector<std::u16string> lines = ConverterHeaderLines(base, kFullTone, Now());
  std::vector<std::pair<std::u16string, std::u16string>> items;  // in the metadata's order
  for (char** item = GetMetadata(); item && *item; ++item) {
    char* key = nullptr;
    const char* value = CPLParseNameValue(*item, &key);
    // Header keys are Japanese; GDAL's own items are not header lines.
    if (key && value && static_cast<unsigned char>(key[0]) >= 0x80)
      items.emplace_back(FromUtf8(key), FromUtf8(value));
    CPLFree(key);
  }
  const std::u16string ownNames[] = {u"地図ファイル名", u"事象ファイル名"};
  for (std::u16string& line : lines) {
    const auto rem = std::dynamic_pointer_cast<clsMapRem>(NewRemark(line));
    const std::u16string key = rem ? rem->Key() : u"";
    const auto item = std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.first == key; });
    if (key.empty() || item == items.end()) continue;
    if (std::find(std::begin(ownNames), std::end(ownNames), key) == std::end(ownNames))
      line = line.substr(0, line.find(u'：') + 1) + item->second;
    items.erase(item);
  }
  std::vector<std::u16string> extra;
  for (const auto& [key, value] : items) extra.push_back(u"# " + key + u"：" + value);
  lines.insert(lines.end() - 1, extra.begin(), extra.end());
  return lines;
}

// A map translated from a map file keeps that map's thing file (its own things and names), which
// its dataset names in the metadata ogr2ogr carries over; THINGS= chooses another.
void MllWriterDataset::TakeTheSourcesThings() {
  const char* source = GetMetadataItem(kThingFileItem);
  if (thingsGiven_ || !source || !*source) return;
  if (std::shared_ptr<clsThings> things = LoadTemplate(source)) {
    things->Modify(true);
    things_ = things;
  }
}

// A map rewritten from a GeoPackage gets the template's things, unless THINGS= names its own:
// figures of things only the map's own file defined would lose their names without a word.
void MllWriterDataset::TellThingsNotDefined() const {
  std::set<int16_t> missing;
  int64_t figures = 0;
  for (const auto& figure : figures_) {
    const int16_t thing = figure->Thing();
    if (thing != 0 && !things_->Item(thing)) {
      missing.insert(thing);
      ++figures;
    }
  }
  if (missing.empty()) return;
  std::string numbers;
  for (const int16_t n : missing) {
    if (numbers.size() > 60) {
      numbers += ", ...";
      break;
    }
    numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
  }
  CPLError(CE_Warning, CPLE_AppDefined,
           "MLL: %s: %lld figure(s) refer to things the thing file written beside it does not define "
           "(%s); give the thing file that does with -dsco THINGS=FILE",
           path_.c_str(), static_cast<long long>(figures), numbers.c_str());
}

// Versions before 1.05 keep no colour of a figure's own, and those before 1.06 at most 65535
// points of a figure.
void MllWriterDataset::TellWhatTheVersionLost(const clsMap& map) const {
  const clsMap::Thinning thinned = map.ThinnedByLastSave();
  if (thinned.points > 0)
    CPLError(CE_Warning, CPLE_AppDefined,
             "MLL: %s: %lld point(s) thinned away from %d figure(s) to fit version %.2f",
             path_.c_str(), static_cast<long long>(thinned.points), thinned.figures, version_ / 100.0);
  if (version_ >= 105) return;
  int64_t coloured = 0;
  for (const auto& figure : figures_) coloured += figure->OwnColor() >= 0;
  if (coloured > 0)
    CPLError(CE_Warning, CPLE_AppDefined,
             "MLL: %s: version %.2f keeps no colour of a figure's own; %lld figure(s) lose theirs",
             path_.c_str(), version_ / 100.0, static_cast<long long>(coloured));
}

bool MllWriterDataset::Write() {
  written_ = true;
  if (Stopped()) {
    CPLError(CE_Failure, CPLE_AppDefined,
             "MLL: %s is not written: the translation stopped before the map was whole%s",
             path_.c_str(), FileExists(FromUtf8(path_)) ? " (the old map stays as it was)" : "");
    return false;
  }
  for (const auto& layer : layers_)
    if (const std::string lost = layer->Describe(); !lost.empty())
      CPLError(CE_Warning, CPLE_AppDefined, "MLL: layer %s: %s", layer->GetName(), lost.c_str());
  // A refused layer stops ogr2ogr, unless -skipfailures goes on past it: then the others are
  // written, as the features of a layer are past one refused.
  for (const std::string& layer : refusedLayers_)
    CPLError(CE_Warning, CPLE_AppDefined, "MLL: %s is written without layer %s, refused above", path_.c_str(),
             layer.c_str());
  if (refused_ > 0)
    CPLError(CE_Warning, CPLE_AppDefined, "MLL: %s is written without the %lld feature(s) refused above",
             path_.c_str(), static_cast<long long>(refused_));
  CplMessages messages;
  const CplFileErrors fileErrors;
  // A map for GDAL's virtual file systems is saved on the disk first, then copied there whole.
  const ScratchFolder scratch(IsVirtual(path_));
  clsMap map;
  map.EiUndo(false);
  if (!degrees_) map.MapMode(2);
  map.FileName(FromUtf8(scratch.Path().empty() ? path_ : scratch.Path() + "/" + CPLGetFilename(path_.c_str())));
  try {
    AddRemarks(map, HeaderLines(MapBaseName(map.FileName())));
    for (const auto& figure : figures_) map.Add(figure);
    AddRemarks(map, ConverterClosingLines());
    map.Version(version_);
    TakeTheSourcesThings();
    TellThingsNotDefined();
    things_->FileName(ChangeExtension(map.FileName(), u".THG"));
    SaveTransaction all;  // the map and the files beside it go into place together, or none
    if (map.Save() == 0 && things_->Save() == 0) {
      if (qgisStyle_) WriteQgisStyleBeside(map.FileName());
      all.Complete();
      TellWhatTheVersionLost(map);
      return scratch.Path().empty() || CopyIntoVirtualFolder(scratch.Path(), CPLGetPath(path_.c_str()));
    }
  } catch (...) {
    const Error e = CurrentError();
    CPLError(CE_Failure, CPLE_FileIO, "MLL: %s: %s", path_.c_str(), ErrorText(e).c_str());
    return false;
  }
  if (CPLGetLastErrorType() != CE_Failure)  // else the file error named the cause already
    CPLError(CE_Failure, CPLE_FileIO, "MLL: cannot write %s", path_.c_str());
  return false;
}

}  // namespace picmap::ogr
