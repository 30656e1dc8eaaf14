#include "ogr/mll_features.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "map/clsMapFigure.h"
#include "map/clsMapRem.h"
#include "map/clsMapText.h"
#include "map/point_figure.h"
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

constexpr FieldSpec kCommonFields[] = {
    {"fig_index", OFTInteger}, {"fig_id", OFTReal},     {"fig_date", OFTString},
    {"thing", OFTInteger},     {"thing_name", OFTString}, {"category", OFTInteger},
    {"category_name", OFTString}, {"admin", OFTInteger}, {"color", OFTString},
    {"show_mode", OFTInteger}, {"jump_mark", OFTInteger},
};
constexpr FieldSpec kTextFields[] = {
    {"text", OFTString}, {"text_latin", OFTString}, {"angle", OFTInteger}, {"text_fix", OFTInteger}};
constexpr FieldSpec kRemarkFields[] = {{"text", OFTString}};

// Identifiers are whole numbers near 4e14: formats with fixed-width numbers (dBase) need
// the width stated to keep all their digits.
constexpr int kIdWidth = 24;
constexpr int kIdDecimals = 5;

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

std::string IsoDate(const DateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return text;
}

// An empty language-2 text decodes its single zero byte; a label must not carry it.
std::string TextField(const std::u16string& text) {
  if (!text.empty() && text[0] == 0) return {};
  return ToUtf8(text);
}

double Coordinate(int32_t v, bool degrees) { return degrees ? SecToDegrees(v) : v; }

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

OGRGeometry* GeometryOf(const clsMapFigure& figure, bool degrees) {
  switch (figure.FigCode()) {
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

std::string StyleOf(const clsMapFigure& figure, const ThingLookup& things, const std::string& label) {
  const std::string c = ColorHex(things.ColorOf(figure.OwnColor(), figure.Thing()));
  switch (figure.FigCode()) {
    case figcode::kPolygon: return "BRUSH(fc:" + c + ");PEN(c:" + c + ")";
    case figcode::kPolyline: return "PEN(c:" + c + ")";
    case figcode::kSymbol: return "SYMBOL(id:\"ogr-sym-3\",c:" + c + ")";
    case figcode::kText: {
      const int angle = static_cast<const clsMapText&>(figure).Angle();
      return "LABEL(t:" + StyleQuoted(label) + ",c:" + c + ",a:" + std::to_string(angle) + ")";
    }
    default: return {};
  }
}

void SetThingFields(OGRFeature& f, int16_t thing, const ThingLookup& things) {
  f.SetField("thing", thing);
  f.SetField("thing_name", ToUtf8(things.NameOf(thing).value_or(u"")).c_str());
  if (const auto category = things.CategoryOf(thing)) f.SetField("category", *category);
  f.SetField("category_name", ToUtf8(things.CategoryNameOf(thing).value_or(u"")).c_str());
}

void SetCommonFields(OGRFeature& f, const clsMapFigure& figure, int32_t index,
                     const ThingLookup& things) {
  f.SetField("fig_index", index);
  f.SetField("fig_id", figure.FigID());
  f.SetField("fig_date", IsoDate(figure.FigDate()).c_str());
  SetThingFields(f, figure.Thing(), things);
  f.SetField("admin", figure.Admin());
  f.SetField("color", ColorHex(figure.OwnColor()).c_str());
  f.SetField("show_mode", figure.OwnShowMode());
  f.SetField("jump_mark", figure.JumpMark());
}

// The label text of a text figure: its Japanese text, else its Latin one.
std::string SetTextFields(OGRFeature& f, const clsMapText& text) {
  const std::string japanese = TextField(text.TextUnicode(2));
  const std::string latin = TextField(text.TextUnicode(1));
  f.SetField("text", japanese.c_str());
  f.SetField("text_latin", latin.c_str());
  f.SetField("angle", text.Angle());
  f.SetField("text_fix", text.TextFix());
  return japanese.empty() ? latin : japanese;
}

}  // namespace

const LayerKind& LayerKindAt(int i) { return kKinds[i]; }

std::string ColorHex(int32_t bgr) {
  if (bgr < 0) return {};
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF,
                (bgr >> 16) & 0xFF);
  return text;
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
  // Held until it is whole: reading a damaged figure may throw half-way.
  auto feature = std::make_unique<OGRFeature>(defn);
  OGRFeature* f = feature.get();
  f->SetFID(index);
  if (figure.FigCode() == figcode::kRemark) {
    f->SetField("fig_index", index);
    f->SetField("fig_id", figure.FigID());
    f->SetField("fig_date", IsoDate(figure.FigDate()).c_str());
    f->SetField("text", ToUtf8(static_cast<const clsMapRem&>(figure).Comment()).c_str());
    return feature.release();
  }
  SetCommonFields(*f, figure, index, *context.things);
  std::string label;
  if (figure.FigCode() == figcode::kText)
    label = SetTextFields(*f, static_cast<const clsMapText&>(figure));
  f->SetGeometryDirectly(GeometryOf(figure, context.degrees));
  if (OGRGeometry* g = f->GetGeometryRef()) g->assignSpatialReference(defn->GetGeomFieldDefn(0)->GetSpatialRef());
  f->SetStyleString(StyleOf(figure, *context.things, label).c_str());
  return feature.release();
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
