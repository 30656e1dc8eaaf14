// The result view of the preview: the world picture with the generated map drawn over it,
// both stretched over the whole globe, so the map shows where its figures really lie.
#pragma once

#include <QImage>
#include <QSize>
#include <memory>

#include "output/geo_area.h"

namespace picmap {

class clsMap;
class clsThings;

// The whole globe, as the preview shows it.
inline constexpr GeoArea kWholeWorld{-648000, 648000, 324000, -324000};

// A picture of `size` pixels: `world` stretched over it without smoothing, then the figures of
// `map` (none when null) with colours from `things` where a figure has none of its own.
QImage RenderResultView(const QImage& world, const clsMap* map,
                        std::shared_ptr<clsThings> things, QSize size);
// The same with the whole globe stretched over `globe` (the zoomed preview's world rectangle,
// mostly outside the picture): only the part inside the picture is drawn.
QImage RenderResultView(const QImage& world, const clsMap* map,
                        std::shared_ptr<clsThings> things, QSize size, const QRect& globe);

}  // namespace picmap
