// MapRenderer: draws a longitude/latitude map onto any QPainter (a picture, an SVG document,
// a window) in the equirectangular projection, in map order: polygons filled with their
// colour, polylines, symbols as small marks and texts at their position and angle. Polygons
// and polylines draw themselves through their point lists' drawing members on a
// QPainterSurface. Figures whose own show mode is 0 are hidden.
//
// Polygons are filled without antialiasing and without an outline, so a rectangle from
// arc-second left to right covers exactly the pixels whose centres lie inside it: a map
// converted from a picture and rendered back over the picture's own extents at its own size
// gives back the picture's pixels.
#pragma once

#include <cstdint>
#include <string>

#include <QImage>
#include <QPainter>
#include <QRectF>

#include "output/geo_area.h"
#include "things/thing_lookup.h"

namespace picmap {

class clsMap;
class clsMapFigure;

class MapRenderer {
 public:
  MapRenderer(const clsMap& map, ThingLookup things) : map_(map), things_(std::move(things)) {}

  // Draws the figures of `area` into `target` (device pixels of the painter as it is given);
  // the painter's state is restored afterwards. Nothing is drawn for an area without extent.
  void Render(QPainter& painter, const QRectF& target, const GeoArea& area) const;

  // A transparent picture of width × height pixels with the area drawn on it.
  QImage RenderImage(const GeoArea& area, int32_t width, int32_t height) const;

  // Writes a PNG or SVG file through a staged file, so a failure leaves an existing file as it
  // was; false when the picture cannot be encoded (or SVG is not built in), and the file error
  // raised when it cannot be written.
  bool SavePng(const std::u16string& file, const GeoArea& area, int32_t width,
               int32_t height) const;
  bool SaveSvg(const std::u16string& file, const GeoArea& area, int32_t width,
               int32_t height) const;
  static bool SvgAvailable();

  // Pixel size of a symbol mark and of text without a size of its own.
  static constexpr int32_t kSymbolRadius = 3;
  static constexpr int32_t kTextPixels = 12;

 private:
  struct Frame;
  void DrawFigure(QPainter& painter, const Frame& frame, const clsMapFigure& figure) const;
  void DrawPolygon(QPainter& painter, const clsMapFigure& figure, QColor colour) const;
  void DrawPolyline(QPainter& painter, const clsMapFigure& figure, QColor colour) const;
  void DrawSymbol(QPainter& painter, const Frame& frame, const clsMapFigure& figure,
                  QColor colour) const;
  void DrawText(QPainter& painter, const Frame& frame, const clsMapFigure& figure,
                QColor colour) const;

  const clsMap& map_;
  ThingLookup things_;
};

// 0x00BBGGRR to an opaque QColor.
QColor ToQColor(int32_t bgr);

}  // namespace picmap
