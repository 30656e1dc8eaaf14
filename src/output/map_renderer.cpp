#include "output/map_renderer.h"

#include <QBuffer>
#include <QFile>
#include <QFont>
#include <QPen>
#include <QString>
#ifdef PICMAP_HAVE_SVG
#include <QSvgGenerator>
#endif

#include "map/clsMap.h"
#include "map/clsMapFigure.h"
#include "map/clsMapText.h"
#include "map/point_figure.h"
#include "output/qt_surface.h"
#include "support/angle.h"
#include "support/figcodes.h"
#include "support/stagedfile.h"
#include "support/text.h"

namespace picmap {

namespace {

QString QPath(const std::u16string& file) { return QString::fromStdU16String(file); }

// Japanese labels need a font that has their characters; the first one installed wins.
QFont LabelFont(const QFont& base) {
  QFont font = base;
  font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                    base.family()});
  font.setPixelSize(MapRenderer::kTextPixels);
  return font;
}

bool IsPointFigure(int32_t code) { return code == figcode::kSymbol || code == figcode::kText; }

}  // namespace

QColor ToQColor(int32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The mapping of one Render call: the painter's own transform, the area's mapping on top of
// it, and the longitudes of the area for the one-turn shift of figures east of 180°.
struct MapRenderer::Frame {
  GeoArea area;
  QTransform device;  // the painter's transform as given
  QTransform geo;     // arc-seconds to target pixels

  // One turn east for a figure that lies west of an area crossing the 180° meridian.
  double ShiftOf(const clsRect& bounds) const {
    return area.CrossesAntimeridian() && bounds.mRight < area.west ? kFullTurn : 0.0;
  }
  bool Meets(const clsRect& bounds, double shift) const {
    return bounds.mLeft + shift <= static_cast<double>(area.UnwrappedEast()) &&
           bounds.mRight + shift >= area.west && bounds.mTop <= area.north &&
           bounds.mBottom >= area.south;
  }
  QTransform FigureTransform(double shift) const {
    return QTransform::fromTranslate(shift, 0.0) * geo * device;
  }
  // A point figure's position in device pixels.
  QPointF DevicePoint(int32_t x, int32_t y, double shift) const {
    return FigureTransform(shift).map(QPointF(x, y));
  }
};

void MapRenderer::Render(QPainter& painter, const QRectF& target, const GeoArea& area) const {
  if (area.LonSpan() <= 0 || area.LatSpan() <= 0 || target.isEmpty()) return;
  painter.save();
  const Frame frame{area, painter.worldTransform(), GeoToPixel(area, target)};
  painter.setClipRect(target, Qt::IntersectClip);
  for (const auto& figure : map_) {
    if (figure->FigCode() == figcode::kRemark || figure->OwnShowMode() == 0) continue;
    DrawFigure(painter, frame, *figure);
  }
  painter.restore();
}

void MapRenderer::DrawFigure(QPainter& painter, const Frame& frame,
                             const clsMapFigure& figure) const {
  const int32_t code = figure.FigCode();
  const std::shared_ptr<clsPoly> poly = figure.Poly();
  const clsRect bounds = poly->RectBound();
  if (bounds.IsEmpty()) return;
  const double shift = frame.ShiftOf(bounds);
  if (!frame.Meets(bounds, shift)) return;
  const QColor colour = ToQColor(things_.ColorOf(figure.OwnColor(), figure.Thing()));
  if (IsPointFigure(code)) {
    painter.setWorldTransform(frame.device);
    if (code == figcode::kSymbol) DrawSymbol(painter, frame, figure, colour);
    else DrawText(painter, frame, figure, colour);
    return;
  }
  painter.setWorldTransform(frame.FigureTransform(shift));
  if (code == figcode::kPolygon) DrawPolygon(painter, figure, colour);
  else if (code == figcode::kPolyline) DrawPolyline(painter, figure, colour);
}

void MapRenderer::DrawPolygon(QPainter& painter, const clsMapFigure& figure,
                              QColor colour) const {
  // An outline would spill half a pen beyond the edges; the fill alone is exact.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  QPainterSurface surface(painter);
  figure.Poly()->DrawPolygon(surface);
}

void MapRenderer::DrawPolyline(QPainter& painter, const clsMapFigure& figure,
                               QColor colour) const {
  painter.setRenderHint(QPainter::Antialiasing, true);
  QPen pen(colour, 1.0);
  pen.setCosmetic(true);  // one pixel wide at every zoom, whatever the arc-second scale
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  QPainterSurface surface(painter);
  figure.Poly()->DrawPolyline(surface);
}

void MapRenderer::DrawSymbol(QPainter& painter, const Frame& frame, const clsMapFigure& figure,
                             QColor colour) const {
  const auto& point = static_cast<const MapPointFigure&>(figure);
  const QPointF at = frame.DevicePoint(point.mx(), point.my(), frame.ShiftOf(figure.Poly()->RectBound()));
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(Qt::black, 1.0));
  painter.setBrush(colour);
  painter.drawEllipse(at, kSymbolRadius, kSymbolRadius);
}

void MapRenderer::DrawText(QPainter& painter, const Frame& frame, const clsMapFigure& figure,
                           QColor colour) const {
  const auto& text = static_cast<const clsMapText&>(figure);
  std::u16string label = text.TextUnicode(2);
  if (label.empty()) label = text.TextUnicode(1);
  // Control characters draw nothing, and an SVG file with one in its text is no XML.
  std::erase_if(label, [](char16_t c) { return c < 0x20 || c == 0x7F; });
  if (label.empty()) return;
  const QPointF at = frame.DevicePoint(text.mx(), text.my(), frame.ShiftOf(figure.Poly()->RectBound()));
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setFont(LabelFont(painter.font()));
  painter.setPen(colour);
  painter.translate(at);
  painter.rotate(-text.Angle());  // map angles turn counter-clockwise, the painter's clockwise
  painter.drawText(QPointF(0, 0), QString::fromStdU16String(label));
}

QImage MapRenderer::RenderImage(const GeoArea& area, int32_t width, int32_t height) const {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  Render(painter, QRectF(0, 0, width, height), area);
  painter.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

bool MapRenderer::SavePng(const std::u16string& file, const GeoArea& area, int32_t width,
                          int32_t height) const {
  QByteArray png;
  QBuffer out(&png);
  out.open(QIODevice::WriteOnly);
  if (!RenderImage(area, width, height).save(&out, "PNG")) return false;
  WriteFileStaged(file, png.toStdString());
  return true;
}

bool MapRenderer::SvgAvailable() {
#ifdef PICMAP_HAVE_SVG
  return true;
#else
  return false;
#endif
}

bool MapRenderer::SaveSvg(const std::u16string& file, const GeoArea& area, int32_t width,
                          int32_t height) const {
#ifdef PICMAP_HAVE_SVG
  QByteArray bytes;
  QBuffer out(&bytes);
  out.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&out);
  svg.setSize(QSize(width, height));
  svg.setViewBox(QRect(0, 0, width, height));
  svg.setTitle(QPath(map_.FileName()));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  Render(painter, QRectF(0, 0, width, height), area);
  painter.end();
  out.close();
  WriteFileStaged(file, bytes.toStdString());
  return true;
#else
  (void)file, (void)area, (void)width, (void)height;
  return false;
#endif
}

}  // namespace picmap
