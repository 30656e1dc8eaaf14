#include "gui/result_view.h"

#include <QPainter>

#include "gui/preview_widget.h"
#include "output/map_renderer.h"
#include "things/thing_lookup.h"

namespace picmap {

QImage RenderResultView(const QImage& world, const clsMap* map,
                        std::shared_ptr<clsThings> things, QSize size) {
  return RenderResultView(world, map, std::move(things), size, QRect(QPoint(0, 0), size));
}

QImage RenderResultView(const QImage& world, const clsMap* map,
                        std::shared_ptr<clsThings> things, QSize size, const QRect& globe) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (size.isEmpty() || globe.isEmpty()) return image;
  QPainter painter(&image);
  const QRect picture(QPoint(0, 0), size);
  DrawStretched(painter, world, globe, picture);
  if (map) {
    painter.setClipRect(picture);
    const MapRenderer renderer(*map, things ? ThingLookup(std::move(things)) : ThingLookup());
    renderer.Render(painter, QRectF(globe), kWholeWorld);
  }
  return image;
}

}  // namespace picmap
