// The preview: the world picture with the opened picture pasted onto the extents, and the
// pointer feedback that lets the user drag the area's edges or the whole area.
#include <algorithm>
#include <cmath>

#include "app/frm_main.h"
#include "support/numeric.h"
#include "support/platform.h"

namespace picmap {

namespace {

constexpr int32_t kFullSpan = 1296000;

int32_t Round(double v) { return CLng(v); }
double D(int32_t v) { return static_cast<double>(v); }

// A longitude moved by a drag comes back into range; a step can exceed a full turn because
// the pointer may leave the preview while the button is down.
int32_t WrapLongitude(int64_t v) {
  while (v < -648000) v += kFullSpan;
  while (v > 648000) v -= kFullSpan;
  return ToLong(v);
}

int16_t PointerForMode(int16_t mode) {
  switch (mode) {
    case 1:
    case 2: return pointer::kSizeWE;
    case 4:
    case 8: return pointer::kSizeNS;
    case 5:
    case 10: return pointer::kSizeNWSE;
    case 6:
    case 9: return pointer::kSizeNESW;
    case drag::kMove: return pointer::kSizePointer;
    default: return pointer::kDefault;
  }
}

}  // namespace

// Pixels per arc-second; the same on both axes (the preview is laid out 2:1).
double frmMainLogic::PreviewScale() const { return window_.PreviewWidth() / kFullSpan; }

void frmMainLogic::DrawPreview() {
  window_.ClearPreview();
  window_.DrawPictureInPreview(PictureBox::picBack, 0, 0, Round(window_.PreviewWidth()),
                               Round(window_.PreviewHeight()));
  if (!state_.pictureLoaded) return;
  const double k = PreviewScale();
  const ConversionState& s = state_;
  const int32_t x = Round((D(s.west) + 648000) * k);
  int32_t y, h, w;
  if (s.south < s.north) {
    y = Round((324000 - D(s.north)) * k);
    h = Round((D(s.north) - s.south) * k);
  } else {
    y = Round((324000 - D(s.south)) * k);
    h = Round((D(s.south) - s.north) * k);
  }
  if (s.west < s.east)
    w = Round((D(s.east) - s.west) * k);
  else
    w = Round((D(s.east) - s.west + kFullSpan) * k);
  w = std::max(w, 1);
  h = std::max(h, 1);
  window_.DrawPictureInPreview(PictureBox::picSrc, x, y, w, h);
  // The part beyond 180° shows again at the left side of the preview.
  if (s.west >= s.east)
    window_.DrawPictureInPreview(PictureBox::picSrc, Round((D(s.west) - 648000) * k), y, w,
                                 h);
}

void frmMainLogic::picDst_MouseMove(int16_t Button, int16_t /*Shift*/, float X, float Y) {
  if (!state_.pictureLoaded || PreviewScale() <= 0) return;
  if (Button == mouse::kLeft && state_.drag.mode != 0) DragTo(X, Y);
  HoverAt(X, Y);
}

void frmMainLogic::DragTo(float X, float Y) {
  if (state_.drag.mode == drag::kMove)
    MoveArea(X, Y);
  else
    MoveEdges(X, Y);
  ShowStatus();
  DrawPreview();
}

// The area follows the pointer; at a pole it stops with its height kept.
void frmMainLogic::MoveArea(float X, float Y) {
  const double k = PreviewScale();
  ConversionState& s = state_;
  const int32_t dx = Round((X - s.drag.anchorX) / k);
  const int32_t dy = Round((s.drag.anchorY - Y) / k);
  s.west = WrapLongitude(int64_t{s.west} + dx);
  s.east = WrapLongitude(int64_t{s.east} + dx);
  const int32_t h = SubL(s.north, s.south);
  s.north = AddL(s.north, dy);
  s.south = AddL(s.south, dy);
  if (s.north > 324000) {
    s.north = 324000;
    s.south = SubL(324000, h);
  }
  if (s.south < -324000) {
    s.south = -324000;
    s.north = SubL(h, 324000);
  }
}

void frmMainLogic::MoveEdges(float X, float Y) {
  const double k = PreviewScale();
  ConversionState& s = state_;
  const int32_t halfW = DivL(Round(window_.PreviewWidth()), 2);
  const int32_t halfH = DivL(Round(window_.PreviewHeight()), 2);
  const int32_t lon = std::clamp(Round((X - halfW) / k), -648000, 648000);
  const int32_t lat = std::clamp(Round((halfH - Y) / k), -324000, 324000);
  const int16_t mode = s.drag.mode;
  if (mode & drag::kWest) s.west = lon;
  if (mode & drag::kEast) s.east = lon;
  if ((mode & drag::kNorth) && int64_t{lat} >= int64_t{s.south} + 30) s.north = lat;
  if ((mode & drag::kSouth) && int64_t{lat} <= int64_t{s.north} - 30) s.south = lat;
}

// Finds what the pointer is over: an edge (within 3 pixels) or the inside of the area.
void frmMainLogic::HoverAt(float X, float Y) {
  const double k = PreviewScale();
  ConversionState& s = state_;
  const int32_t L = Round((D(s.west) + 648000) * k);
  const int32_t R = Round((D(s.east) + 648000) * k);
  const int32_t T = Round((324000 - D(s.north)) * k);
  const int32_t B = Round((324000 - D(s.south)) * k);
  int16_t mode = 0;
  if (L - 3 < X && X < L + 3) mode |= drag::kWest;
  if (R - 3 < X && X < R + 3) mode = static_cast<int16_t>((mode & 12) | drag::kEast);
  if (T - 3 < Y && Y < T + 3) mode |= drag::kNorth;
  if (B - 3 < Y && Y < B + 3) mode = static_cast<int16_t>((mode & 3) | drag::kSouth);
  const bool insideX = s.west < s.east ? (L + 2 < X && X < R - 2) : (X > L + 2 || X < R - 2);
  const bool insideY = s.south < s.north ? (T + 2 < Y && Y < B - 2) : (B + 2 < Y && Y < T - 2);
  if (insideX) mode |= drag::kInsideX;
  if (insideY) mode |= drag::kInsideY;
  if ((mode & drag::kInsideX) && (mode & drag::kInsideY)) {
    mode = drag::kMove;
    s.drag.anchorX = Round(X);
    s.drag.anchorY = Round(Y);
  } else {
    mode &= 15;
  }
  s.drag.mode = mode;
  window_.SetPreviewPointer(PointerForMode(mode));
}

void frmMainLogic::picDst_MouseUp(int16_t Button, int16_t /*Shift*/, float X, float Y) {
  if (Button != mouse::kRight) return;
  state_.backColor = window_.PreviewColorAt(X, Y);
  ShowStatus();
}

}  // namespace picmap
