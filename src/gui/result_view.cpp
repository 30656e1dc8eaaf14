#include "gui/result_view.h"

#include <QPainter>

#include "output/map_renderer.h"
#include "things/thing_lookup.h"

namespace picmap {

QImage RenderResultView(const QImage& world, const clsMap* map,
                        std::shared_ptr<clsThings> things, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (size.isEmpty()) return image;
  QPainter painter(&image);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QRect target(QPoint(0, 0), size);
  if (!world.isNull()) painter.drawImage(target, world);
  if (map) {
    const MapRenderer renderer(*map, things ? ThingLookup(std::move(things)) : ThingLookup());
    renderer.Render(painter, QRectF(target), kWholeWorld);
  }
  return image;
}

}  // namespace picmap
