#include "output/geojson.h"

#include <QJsonDocument>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "map/clsMap.h"
#include "map/clsMapFigure.h"
#include "map/clsMapRem.h"
#include "map/clsMapText.h"
#include "map/point_figure.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/numeric.h"

namespace picmap {

namespace {

constexpr double kSecondsPerDegree = 3600.0;

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

QJsonArray Position(const PolyPoint& p) {
  return QJsonArray{SecToDegrees(p.x), SecToDegrees(p.y)};
}

// Twice the signed area, positive for a counter-clockwise ring (x east, y north).
long double SignedArea2(const std::vector<PolyPoint>& ring) {
  long double sum = 0;
  for (size_t i = 0; i + 1 < ring.size(); ++i)
    sum += static_cast<long double>(ring[i].x) * ring[i + 1].y -
           static_cast<long double>(ring[i + 1].x) * ring[i].y;
  return sum;
}

// The outline as a closed counter-clockwise ring; empty when it cannot make a ring.
std::vector<PolyPoint> RingOf(const clsPoly& poly) {
  std::vector<PolyPoint> ring(poly.Points().begin(), poly.Points().end());
  if (ring.empty()) return ring;
  if (!(ring.front() == ring.back())) ring.push_back(ring.front());
  if (ring.size() < 4) return {};
  if (SignedArea2(ring) < 0) std::reverse(ring.begin(), ring.end());
  return ring;
}

QJsonArray PositionsOf(const std::vector<PolyPoint>& points) {
  QJsonArray positions;
  for (const PolyPoint& p : points) positions.append(Position(p));
  return positions;
}

std::optional<QJsonObject> GeometryOf(const clsMapFigure& figure) {
  const int32_t code = figure.FigCode();
  if (code == figcode::kSymbol || code == figcode::kText) {
    const auto& point = static_cast<const MapPointFigure&>(figure);
    return QJsonObject{{"type", "Point"}, {"coordinates", Position({point.mx(), point.my()})}};
  }
  const std::shared_ptr<clsPoly> poly = figure.Poly();
  if (code == figcode::kPolygon) {
    const std::vector<PolyPoint> ring = RingOf(*poly);
    if (ring.empty()) return std::nullopt;
    return QJsonObject{{"type", "Polygon"}, {"coordinates", QJsonArray{PositionsOf(ring)}}};
  }
  if (code == figcode::kPolyline && poly->Count() >= 2) {
    const std::vector<PolyPoint> line(poly->Points().begin(), poly->Points().end());
    return QJsonObject{{"type", "LineString"}, {"coordinates", PositionsOf(line)}};
  }
  return std::nullopt;
}

// Identifiers are whole numbers near 4.6e14: written as integers, not in exponent form.
QJsonValue IdJson(double id) {
  if (std::trunc(id) == id && std::fabs(id) < 9007199254740992.0)
    return QJsonValue(static_cast<qint64>(id));
  return QJsonValue(id);
}

QJsonObject PropertiesOf(const clsMapFigure& figure, const ThingLookup& things) {
  QJsonObject props{{"thing", figure.Thing()},
                    {"admin", figure.Admin()},
                    {"color", ColorJson(figure.OwnColor())},
                    {"figId", IdJson(figure.FigID())}};
  if (things.HasThings()) {
    const std::optional<std::u16string> name = things.NameOf(figure.Thing());
    props["thingName"] = name ? QJsonValue(Q(*name)) : QJsonValue(QJsonValue::Null);
  }
  if (figure.FigCode() == figcode::kText) {
    const auto& text = static_cast<const clsMapText&>(figure);
    props["text1"] = Q(text.TextUnicode(1));
    props["text2"] = Q(text.TextUnicode(2));
    props["angle"] = text.Angle();
  }
  return props;
}

int32_t OpenErrorNumber(const QSaveFile& file) {
  return file.error() == QFileDevice::PermissionsError ? err::kPermissionDenied
                                                       : err::kPathFileAccess;
}

bool WriteText(QSaveFile& file, const QByteArray& bytes) {
  return file.write(bytes) == bytes.size();
}

QByteArray Compact(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }
QByteArray Compact(const QJsonArray& a) { return QJsonDocument(a).toJson(QJsonDocument::Compact); }

}  // namespace

double SecToDegrees(int32_t sec) { return sec / kSecondsPerDegree; }

int32_t DegreesToSec(double degrees) { return CLng(degrees * kSecondsPerDegree); }

QJsonValue ColorJson(int32_t bgr) {
  if (bgr < 0) return QJsonValue(QJsonValue::Null);
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF,
                (bgr >> 16) & 0xFF);
  return QString::fromLatin1(text);
}

std::optional<QJsonObject> FeatureOf(const clsMapFigure& figure, const ThingLookup& things) {
  if (figure.FigCode() == figcode::kRemark) return std::nullopt;
  const std::optional<QJsonObject> geometry = GeometryOf(figure);
  if (!geometry) return std::nullopt;
  return QJsonObject{{"type", "Feature"},
                     {"geometry", *geometry},
                     {"properties", PropertiesOf(figure, things)}};
}

QJsonArray HeaderOf(const clsMap& map) {
  QJsonArray header;
  for (const auto& figure : map) {
    if (figure->FigCode() != figcode::kRemark) break;
    header.append(Q(static_cast<const clsMapRem&>(*figure).Comment()));
  }
  return header;
}

int32_t ExportGeoJson(const clsMap& map, const ThingLookup& things, const std::u16string& file,
                      GeoJsonSummary* summary) {
  GeoJsonSummary counts;
  QSaveFile out(Q(file));
  if (!out.open(QIODevice::WriteOnly)) return OpenErrorNumber(out);
  bool ok = WriteText(out, "{\"type\":\"FeatureCollection\",\"header\":" + Compact(HeaderOf(map)) +
                               ",\"features\":[");
  for (const auto& figure : map) {
    if (!ok) break;
    if (figure->FigCode() == figcode::kRemark) continue;
    const std::optional<QJsonObject> feature = FeatureOf(*figure, things);
    if (!feature) {
      ++counts.skipped;
      continue;
    }
    ok = WriteText(out, (counts.features == 0 ? "\n" : ",\n") + Compact(*feature));
    ++counts.features;
  }
  ok = ok && WriteText(out, "\n]}\n");
  if (!ok || !out.commit()) {
    out.cancelWriting();
    return err::kDiskFull;
  }
  if (summary) *summary = counts;
  return 0;
}

}  // namespace picmap
