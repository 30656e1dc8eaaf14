// PreviewView: how the preview maps arc-seconds to its pixels. The world picture spans the
// preview at zoom 1; zooming multiplies the scale and panning shifts the world under the
// preview. With zoom 1 the offsets are 0 and every formula here is the plain preview
// arithmetic: x = (lon + 648000) × k from the left edge, and a dragged edge read relative to
// the preview's centre width ÷ 2, height ÷ 2.
#pragma once

#include <cstdint>

namespace picmap {

class PreviewView {
 public:
  static constexpr double kMaxZoom = 1024;

  // The preview's size in its own pixels. A new size keeps the zoom and what the view shows.
  void SetSize(double width, double height);
  double Width() const { return width_; }
  double Height() const { return height_; }

  double Zoom() const { return zoom_; }
  // Pixels per arc-second, on both axes.
  double Scale() const { return width_ * zoom_ / 1296000.0; }
  // Where the world picture's top-left corner lies, and its size, in preview pixels.
  double OffsetX() const { return offsetX_; }
  double OffsetY() const { return offsetY_; }
  double WorldWidth() const { return width_ * zoom_; }
  double WorldHeight() const { return height_ * zoom_; }

  // Preview position of a longitude or latitude (not rounded).
  double X(double lon) const { return (lon + 648000) * Scale() + offsetX_; }
  double Y(double lat) const { return (324000 - lat) * Scale() + offsetY_; }
  // The angle under a preview position (not rounded, not clamped).
  double LonAt(double x) const { return (x - CentreX()) / Scale(); }
  double LatAt(double y) const { return (CentreY() - y) / Scale(); }
  // An edge dragged to a preview position: whole arc-seconds, clamped to the globe.
  int32_t EdgeLon(double x) const;
  int32_t EdgeLat(double y) const;

  // Multiplies the zoom by `factor` (kept within 1 … kMaxZoom); the point under (x, y) stays
  // there unless that would show beyond the world's edges.
  void ZoomAt(double factor, double x, double y);
  // Moves the world under the preview by (dx, dy) pixels, as far as its edges allow.
  void PanBy(double dx, double dy);
  // Zoom 1: the whole world.
  void ShowWorld();
  // The largest zoom that shows the area with a margin, centred on it. An area across 180°
  // is centred on its middle; the part on the far side of the preview then stays out of view.
  void ShowArea(int32_t west, int32_t east, int32_t north, int32_t south);

 private:
  // The preview position of (0°, 0°): the preview's centre in whole pixels at zoom 1, growing
  // with the exact half size at higher zooms so that the half-pixel stays half a pixel.
  double CentreX() const;
  double CentreY() const;
  void KeepWorldInView();

  double width_ = 0;
  double height_ = 0;
  double zoom_ = 1;
  double offsetX_ = 0;
  double offsetY_ = 0;
};

}  // namespace picmap
