#include "ogr/mll_features.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <initializer_list>
#include <string_view>
#include <vector>

#include <cpl_error.h>

#include "map/clsMapFigure.h"
#include "map/clsMapRem.h"
#include "map/clsMapText.h"
#include "map/point_figure.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/text.h"

namespace picmap::ogr {

namespace {

constexpr LayerKind kKinds[kLayerKinds] = {
    {"polygons", figcode::kPolygon, wkbPolygon},
    {"polylines", figcode::kPolyline, wkbLineString},
    {"symbols", figcode::kSymbol, wkbPoint},
    {"texts", figcode::kText, wkbPoint},
    {"remarks", figcode::kRemark, wkbNone},
};

struct FieldSpec {
  const char* name;
  OGRFieldType type;
};

// In the order of kCommonFields, kTextFields and kRemarkFields: features fill their fields by
// number (a million features of a map would otherwise look each name up).
enum Field : int {
  kFigIndex, kFigId, kFigDate, kThing, kThingName, kCategory, kCategoryName, kAdmin, kColor,
  kShowMode, kJumpMark,
  kText, kTextLatin, kAngle, kTextFix,   // texts
  kRemarkText = kThing,                  // remarks: the first three common fields, then their text
};

constexpr FieldSpec kCommonFields[] = {
    {"fig_index", OFTInteger}, {"fig_id", OFTReal},     {"fig_date", OFTString},
    {"thing", OFTInteger},     {"thing_name", OFTString}, {"category", OFTInteger},
    {"category_name", OFTString}, {"admin", OFTInteger}, {"color", OFTString},
    {"show_mode", OFTInteger}, {"jump_mark", OFTInteger},
};
constexpr FieldSpec kTextFields[] = {
    {"text", OFTString}, {"text_latin", OFTString}, {"angle", OFTInteger}, {"text_fix", OFTInteger}};
constexpr FieldSpec kRemarkFields[] = {{"text", OFTString}};

// Identifiers are whole numbers near 4e14 (up to 3e16 in the year 9999): formats with
// fixed-width numbers (dBase) need the width stated to keep all their digits, and MapInfo's
// decimals end at 20 characters. Two decimals keep all a double holds at that size.
constexpr int kIdWidth = 20;
constexpr int kIdDecimals = 2;

void AddFields(OGRFeatureDefn& defn, const FieldSpec* begin, const FieldSpec* end) {
  for (const FieldSpec* f = begin; f != end; ++f) {
    OGRFieldDefn field(f->name, f->type);
    if (f->type == OFTReal) {
      field.SetWidth(kIdWidth);
      field.SetPrecision(kIdDecimals);
    }
    defn.AddFieldDefn(&field);
  }
}

// Writes the value in exactly `width` decimal digits; false when it does not fit.
bool PutDigits(char*& out, int value, int width) {
  if (value < 0) return false;
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out += width;
  return value == 0;
}

// YYYY-MM-DDThh:mm:ss, without a formatted print per feature.
std::string IsoDate(const DateTime& t) {
  char text[20];
  char* out = text;
  const auto part = [&](int value, int width, char after) {
    if (!PutDigits(out, value, width)) return false;
    if (after) *out++ = after;
    return true;
  };
  if (part(t.year, 4, '-') && part(t.month, 2, '-') && part(t.day, 2, 'T') &&
      part(t.hour, 2, ':') && part(t.minute, 2, ':') && part(t.second, 2, 0))
    return std::string(text, static_cast<size_t>(out - text));
  char wide[64];  // a field beyond its width: printed as a formatted print gives it
  std::snprintf(wide, sizeof wide, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return wide;
}

// An empty language-2 text decodes its single zero byte; a label must not carry it.
std::string TextField(const std::u16string& text) {
  if (!text.empty() && text[0] == 0) return {};
  return ToUtf8(text);
}

double Coordinate(int32_t v, bool degrees) { return degrees ? SecToDegrees(v) : v; }

// Whether the outline passes a corner twice: a hole joined by a keyhole, or two parts of a
// region meeting at a corner. GIS tools take such a ring for invalid.
template <typename Points>
bool TouchesItself(const Points& pts) {
  size_t n = pts.size();
  if (n > 1 && pts.front().x == pts.back().x && pts.front().y == pts.back().y) --n;
  if (n < 4) return false;
  std::vector<uint64_t> corners(n);
  for (size_t i = 0; i < n; ++i)
    corners[i] = static_cast<uint64_t>(static_cast<uint32_t>(pts[i].x)) << 32 | static_cast<uint32_t>(pts[i].y);
  std::sort(corners.begin(), corners.end());
  return std::adjacent_find(corners.begin(), corners.end()) != corners.end();
}

// The same area with its holes as inner rings, when GEOS can part the ring so; else null.
OGRGeometry* WithInnerRings(const OGRPolygon& keyholed) {
  static const char* const kStructure[] = {"METHOD=STRUCTURE", nullptr};
  // An older GEOS knows no such method: the ring is then given as it is, without a message.
  CPLErrorStateBackuper keepLastError;
  CPLErrorHandlerPusher quiet(CPLQuietErrorHandler, nullptr);
  std::unique_ptr<OGRGeometry> valid(keyholed.MakeValid(kStructure));
  if (!valid || wkbFlatten(valid->getGeometryType()) != wkbPolygon || !valid->IsValid()) return nullptr;
  const double before = keyholed.get_Area(), after = valid->toPolygon()->get_Area();
  if (std::fabs(after - before) > 1e-9 * std::max(1.0, before)) return nullptr;
  return valid.release();
}

OGRGeometry* PolygonOf(const clsPoly& poly, bool degrees) {
  const auto pts = poly.Points();
  if (pts.size() < 3) return nullptr;
  auto* ring = new OGRLinearRing;
  ring->setNumPoints(static_cast<int>(pts.size()), FALSE);
  for (size_t i = 0; i < pts.size(); ++i)
    ring->setPoint(static_cast<int>(i), Coordinate(pts[i].x, degrees), Coordinate(pts[i].y, degrees));
  ring->closeRings();
  auto* polygon = new OGRPolygon;
  polygon->addRingDirectly(ring);
  if (TouchesItself(pts)) {
    if (OGRGeometry* parted = WithInnerRings(*polygon)) {
      delete polygon;
      return parted;
    }
  }
  return polygon;
}

OGRGeometry* LineOf(const clsPoly& poly, bool degrees) {
  const auto pts = poly.Points();
  if (pts.size() < 2) return nullptr;
  auto* line = new OGRLineString;
  line->setNumPoints(static_cast<int>(pts.size()), FALSE);
  for (size_t i = 0; i < pts.size(); ++i)
    line->setPoint(static_cast<int>(i), Coordinate(pts[i].x, degrees), Coordinate(pts[i].y, degrees));
  return line;
}

[[noreturn]] void RaiseOffTheGlobe(int32_t x, int32_t y) {
  Throw(err::kMapElement, u"MLL",
        FromUtf8("a point lies beyond the globe (" + std::to_string(x) + "\u2033, " + std::to_string(y) +
                 "\u2033): the file is damaged"));
}

OGRGeometry* GeometryOf(const clsMapFigure& figure, int32_t code, bool degrees) {
  if (degrees && (code == figcode::kPolygon || code == figcode::kPolyline)) {
    for (const PolyPoint& p : figure.Poly()->Points())
      if (!OnTheGlobe(p.x, p.y, p.x, p.y)) RaiseOffTheGlobe(p.x, p.y);
  }
  if (degrees && (code == figcode::kSymbol || code == figcode::kText)) {
    const auto& p = static_cast<const MapPointFigure&>(figure);
    if (!OnTheGlobe(p.mx(), p.my(), p.mx(), p.my())) RaiseOffTheGlobe(p.mx(), p.my());
  }
  switch (code) {
    case figcode::kPolygon: return PolygonOf(*figure.Poly(), degrees);
    case figcode::kPolyline: return LineOf(*figure.Poly(), degrees);
    case figcode::kSymbol:
    case figcode::kText: {
      const auto& p = static_cast<const MapPointFigure&>(figure);
      return new OGRPoint(Coordinate(p.mx(), degrees), Coordinate(p.my(), degrees));
    }
    default: return nullptr;
  }
}

// Quotes a label text for a style string.
std::string StyleQuoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// "#RRGGBB" of the colour the figure is drawn in: its own (whose text the color field has
// already), else its thing's, else grey.
std::string DrawnColorHex(const clsMapFigure& figure, const FeatureCache::Thing& thing,
                          const std::string& own) {
  if (figure.OwnColor() >= 0) return own;
  return ColorHex(thing.fore >= 0 ? thing.fore : kNeutralGrey);
}

// The parts one after the other as a C text, in `out` when they fit there (the styles of
// polygons and symbols, the bulk of a map, then make no text on the heap), else in `spill`.
template <size_t N>
const char* Joined(char (&out)[N], std::string& spill, std::initializer_list<std::string_view> parts) {
  size_t n = 0;
  for (std::string_view part : parts) n += part.size();
  char* p = out;
  if (n >= N) {
    spill.resize(n);
    p = spill.data();
  }
  for (std::string_view part : parts) {
    std::memcpy(p, part.data(), part.size());
    p += part.size();
  }
  if (n >= N) return spill.c_str();
  *p = '\0';
  return out;
}

void SetStyle(OGRFeature& f, const clsMapFigure& figure, int32_t code, const std::string& c,
              const std::string& label) {
  char text[64];
  std::string spill;
  switch (code) {
    case figcode::kPolygon: f.SetStyleString(Joined(text, spill, {"BRUSH(fc:", c, ");PEN(c:", c, ")"})); return;
    case figcode::kPolyline: f.SetStyleString(Joined(text, spill, {"PEN(c:", c, ")"})); return;
    case figcode::kSymbol: f.SetStyleString(Joined(text, spill, {"SYMBOL(id:\"ogr-sym-3\",c:", c, ")"})); return;
    case figcode::kText: {
      const std::string angle = std::to_string(static_cast<const clsMapText&>(figure).Angle());
      f.SetStyleString(Joined(text, spill, {"LABEL(t:", StyleQuoted(label), ",c:", c, ",a:", angle, ")"}));
      return;
    }
    default: f.SetStyleString(""); return;
  }
}

void SetThingFields(OGRFeature& f, int16_t thing, const FeatureCache::Thing& texts) {
  f.SetField(kThing, thing);
  f.SetField(kThingName, texts.name.c_str());
  if (texts.category) f.SetField(kCategory, *texts.category);
  f.SetField(kCategoryName, texts.categoryName.c_str());
}

// The label text of a text figure: its Japanese text, else its Latin one.
std::string SetTextFields(OGRFeature& f, const clsMapText& text) {
  const std::string japanese = TextField(text.TextUnicode(2));
  const std::string latin = TextField(text.TextUnicode(1));
  f.SetField(kText, japanese.c_str());
  f.SetField(kTextLatin, latin.c_str());
  f.SetField(kAngle, text.Angle());
  f.SetField(kTextFix, text.TextFix());
  return japanese.empty() ? latin : japanese;
}

}  // namespace

const LayerKind& LayerKindAt(int i) { return kKinds[i]; }

std::string ColorHex(int32_t bgr) {
  if (bgr < 0) return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char text[7] = {'#'};
  for (int i = 0; i < 3; ++i) {
    const int channel = (bgr >> (8 * i)) & 0xFF;
    text[1 + 2 * i] = kDigits[channel >> 4];
    text[2 + 2 * i] = kDigits[channel & 0xF];
  }
  return std::string(text, sizeof text);
}

int32_t ColorFromHex(const char* text) {
  if (!text || text[0] != '#') return -1;
  const size_t n = std::strlen(text);
  if (n != 7 && n != 9) return -1;
  unsigned rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    const char c = text[i];
    const int d = c >= '0' && c <= '9' ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return -1;
    rgb = rgb << 4 | static_cast<unsigned>(d);
  }
  return static_cast<int32_t>((rgb >> 16) | (rgb & 0xFF00) | (rgb & 0xFF) << 16);
}

const FeatureCache::Thing& FeatureCache::ThingOf(int16_t thing) {
  const bool numbered = thing >= 0 && thing < 1000;
  if (numbered && static_cast<size_t>(thing) < known_.size() && known_[static_cast<size_t>(thing)])
    return *known_[static_cast<size_t>(thing)];
  Thing texts;
  texts.name = ToUtf8(things_.NameOf(thing).value_or(u""));
  texts.category = things_.CategoryOf(thing);
  texts.categoryName = ToUtf8(things_.CategoryNameOf(thing).value_or(u""));
  texts.fore = things_.ForeOf(thing).value_or(-1);
  if (!numbered) return other_ = std::move(texts);
  if (known_.size() <= static_cast<size_t>(thing)) known_.resize(static_cast<size_t>(thing) + 1);
  return *(known_[static_cast<size_t>(thing)] = std::move(texts));
}

// An identifier counts the seconds of its creation times 100000, plus a draw below that
// (clsMapFigure.h): the identifiers of one second have one date.
const std::string& FeatureCache::DateOf(double figId) {
  const double second = std::trunc(figId / 100000.0);
  if (second_ && second == *second_) return date_;
  date_ = IsoDate(FigDateOf(figId));
  second_ = second;
  return date_;
}

OGRFeatureDefn* NewLayerDefinition(const LayerKind& kind, OGRSpatialReference* srs) {
  auto* defn = new OGRFeatureDefn(kind.name);
  defn->SetGeomType(kind.geometry);
  if (kind.geometry != wkbNone) defn->GetGeomFieldDefn(0)->SetSpatialRef(srs);
  if (kind.figCode == figcode::kRemark) {
    AddFields(*defn, kCommonFields, kCommonFields + 3);
    AddFields(*defn, std::begin(kRemarkFields), std::end(kRemarkFields));
    return defn;
  }
  AddFields(*defn, std::begin(kCommonFields), std::end(kCommonFields));
  if (kind.figCode == figcode::kText) AddFields(*defn, std::begin(kTextFields), std::end(kTextFields));
  return defn;
}

OGRFeature* FeatureOf(const clsMapFigure& figure, int32_t index, OGRFeatureDefn* defn,
                      const FeatureContext& context) {
  FeatureCache once(*context.things);
  FeatureCache& cache = context.cache ? *context.cache : once;
  std::unique_ptr<OGRFeature> f(new OGRFeature(defn));
  f->SetFID(index);
  f->SetField(kFigIndex, index);
  if (context.storesIds) {
    f->SetField(kFigId, figure.FigID());
    f->SetField(kFigDate, cache.DateOf(figure.FigID()).c_str());
  }
  if (figure.FigCode() == figcode::kRemark) {
    f->SetField(kRemarkText, ToUtf8(static_cast<const clsMapRem&>(figure).Comment()).c_str());
    return f.release();
  }
  const FeatureCache::Thing& thing = cache.ThingOf(figure.Thing());
  SetThingFields(*f, figure.Thing(), thing);
  const std::string own = ColorHex(figure.OwnColor());
  f->SetField(kAdmin, figure.Admin());
  f->SetField(kColor, own.c_str());
  f->SetField(kShowMode, figure.OwnShowMode());
  f->SetField(kJumpMark, figure.JumpMark());
  const int32_t code = figure.FigCode();
  std::string label;
  if (code == figcode::kText) label = SetTextFields(*f, static_cast<const clsMapText&>(figure));
  f->SetGeometryDirectly(GeometryOf(figure, code, context.degrees));
  if (OGRGeometry* g = f->GetGeometryRef()) g->assignSpatialReference(defn->GetGeomFieldDefn(0)->GetSpatialRef());
  SetStyle(*f, figure, code, DrawnColorHex(figure, thing, own), label);
  return f.release();
}

bool FigureEnvelope(const clsMapFigure& figure, bool degrees, OGREnvelope& out) {
  int32_t sx, sy, ex, ey;
  if (figure.FigCode() == figcode::kSymbol || figure.FigCode() == figcode::kText) {
    const auto& p = static_cast<const MapPointFigure&>(figure);
    sx = ex = p.mx();
    sy = ey = p.my();
  } else {
    const std::shared_ptr<clsPoly> poly = figure.Poly();
    if (!poly || poly->Count() == 0) return false;
    poly->GetBound4(sx, sy, ex, ey);
  }
  out.MinX = Coordinate(std::min(sx, ex), degrees);
  out.MaxX = Coordinate(std::max(sx, ex), degrees);
  out.MinY = Coordinate(std::min(sy, ey), degrees);
  out.MaxY = Coordinate(std::max(sy, ey), degrees);
  return true;
}

}  // namespace picmap::ogr
