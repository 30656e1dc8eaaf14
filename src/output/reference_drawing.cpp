#include "output/reference_drawing.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

namespace picmap {

namespace {

QColor FromBgr(int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

void DrawLines(QPainter& painter, ReferenceLayer& layer, const PreviewView& preview,
               const GeoBox& view) {
  const double k = preview.Scale();
  const double ox = preview.OffsetX() + 648000 * k;
  const double oy = preview.OffsetY() + 324000 * k;
  painter.setPen(QPen(FromBgr(layer.colour), 1));
  QPolygonF line;
  layer.LinesFor(k).ForEachRunIn(view, [&](const double* p, uint32_t n) {
    line.resize(n);
    for (uint32_t i = 0; i < n; ++i) line[i] = QPointF(ox + p[2 * i] * k, oy - p[2 * i + 1] * k);
    painter.drawPolyline(line);
  });
}

void DrawRaster(QPainter& painter, ReferenceLayer& layer, const PreviewView& preview,
                const GeoBox& view) {
  const RasterPatch& patch = layer.PatchFor(view, preview.Scale());
  if (patch.argb.empty()) return;
  const QImage image(reinterpret_cast<const uchar*>(patch.argb.data()), patch.width,
                     patch.height, QImage::Format_ARGB32);
  const QRectF target(QPointF(preview.X(patch.box.west), preview.Y(patch.box.north)),
                      QPointF(preview.X(patch.box.east), preview.Y(patch.box.south)));
  painter.drawImage(target, image);
}

}  // namespace

void DrawReferenceLayers(QPainter& painter, ReferenceLayers& layers, const PreviewView& preview,
                         const GeoBox& view, bool over) {
  if (preview.Scale() <= 0 || view.Empty()) return;
  for (size_t i = 0; i < layers.Count(); ++i) {
    ReferenceLayer& layer = layers.At(i);
    if (!layer.visible || layer.over != over || !layer.Bounds().Meets(view)) continue;
    painter.save();
    painter.setOpacity(std::clamp(layer.opacity, 0.0, 1.0));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (layer.GetKind() == ReferenceLayer::Kind::Vector)
      DrawLines(painter, layer, preview, view);
    else
      DrawRaster(painter, layer, preview, view);
    painter.restore();
  }
}

}  // namespace picmap
