#include "app/preview_view.h"

#include <algorithm>
#include <cmath>

#include "support/numeric.h"

namespace picmap {

void PreviewView::SetSize(double width, double height) {
  if (width == width_ && height == height_) return;
  if (width_ > 0 && height_ > 0) {
    offsetX_ *= width / width_;
    offsetY_ *= height / height_;
  }
  width_ = width;
  height_ = height;
  KeepWorldInView();
}

double PreviewView::CentreX() const {
  return offsetX_ + DivL(CLng(width_), 2) + (zoom_ - 1) * width_ / 2;
}

double PreviewView::CentreY() const {
  return offsetY_ + DivL(CLng(height_), 2) + (zoom_ - 1) * height_ / 2;
}

int32_t PreviewView::EdgeLon(double x) const {
  return std::clamp(CLng(std::clamp(LonAt(x), -1e9, 1e9)), -648000, 648000);
}

int32_t PreviewView::EdgeLat(double y) const {
  return std::clamp(CLng(std::clamp(LatAt(y), -1e9, 1e9)), -324000, 324000);
}

void PreviewView::ZoomAt(double factor, double x, double y) {
  const double zoom = std::clamp(zoom_ * factor, 1.0, kMaxZoom);
  const double f = zoom / zoom_;
  offsetX_ = x - (x - offsetX_) * f;
  offsetY_ = y - (y - offsetY_) * f;
  zoom_ = zoom;
  KeepWorldInView();
}

void PreviewView::PanBy(double dx, double dy) {
  offsetX_ += dx;
  offsetY_ += dy;
  KeepWorldInView();
}

void PreviewView::ShowWorld() {
  zoom_ = 1;
  offsetX_ = offsetY_ = 0;
}

void PreviewView::ShowArea(int32_t west, int32_t east, int32_t north, int32_t south) {
  if (width_ <= 0 || height_ <= 0) return;
  double span = static_cast<double>(east) - west;
  if (span <= 0) span += 1296000;
  const double height = std::max(std::abs(static_cast<double>(north) - south), 30.0);
  const double k1 = width_ / 1296000.0;
  // A tenth of the view stays free around the area.
  const double zoom = std::min(width_ / (span * k1), height_ / (height * k1)) * 0.8;
  double midLon = west + span / 2;
  if (midLon > 648000) midLon -= 1296000;
  const double midLat = (static_cast<double>(north) + south) / 2;
  ShowWorld();
  zoom_ = std::clamp(zoom, 1.0, kMaxZoom);
  offsetX_ = width_ / 2 - (midLon + 648000) * Scale();
  offsetY_ = height_ / 2 - (324000 - midLat) * Scale();
  KeepWorldInView();
}

void PreviewView::KeepWorldInView() {
  offsetX_ = std::clamp(offsetX_, std::min(width_ - WorldWidth(), 0.0), 0.0);
  offsetY_ = std::clamp(offsetY_, std::min(height_ - WorldHeight(), 0.0), 0.0);
}

}  // namespace picmap
