// The preview: the world picture with the opened picture pasted onto the extents, and the
// pointer feedback that lets the user drag the area's edges or the whole area.
#include <algorithm>
#include <cmath>

#include "app/frm_main.h"
#include "support/angle.h"
#include "support/errors.h"
#include "support/text.h"
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

PreviewView& frmMainLogic::Viewport() {
  view_.SetSize(window_.PreviewWidth(), window_.PreviewHeight());
  return view_;
}

std::vector<PreviewRect> frmMainLogic::PictureRects() {
  const PreviewView& v = Viewport();
  const double k = v.Scale();
  const ConversionState& s = state_;
  PreviewRect r;
  r.x = Round(v.X(s.west));
  if (s.south < s.north) {
    r.y = Round(v.Y(s.north));
    r.h = Round((D(s.north) - s.south) * k);
  } else {
    r.y = Round(v.Y(s.south));
    r.h = Round((D(s.south) - s.north) * k);
  }
  if (s.west < s.east)
    r.w = Round((D(s.east) - s.west) * k);
  else
    r.w = Round((D(s.east) - s.west + kFullSpan) * k);
  r.w = std::max(r.w, 1);
  r.h = std::max(r.h, 1);
  std::vector<PreviewRect> rects{r};
  // The part beyond 180° shows again at the left side of the world.
  if (s.west >= s.east) {
    r.x = Round(v.X(D(s.west) - kFullSpan));
    rects.push_back(r);
  }
  return rects;
}

void frmMainLogic::DrawPreview() {
  window_.ClearPreview();
  const PreviewView& v = Viewport();
  window_.DrawPictureInPreview(PictureBox::picBack, Round(v.OffsetX()), Round(v.OffsetY()),
                               Round(v.WorldWidth()), Round(v.WorldHeight()));
  if (references_.Count() > 0) window_.DrawReferenceLayers(false);
  if (state_.pictureShown) {
    for (const PreviewRect& r : PictureRects())
      window_.DrawPictureInPreview(PictureBox::picSrc, r.x, r.y, r.w, r.h);
  }
  if (references_.Count() > 0) window_.DrawReferenceLayers(true);
  if (cpMode_) window_.DrawMarks(Marks());
  window_.PreviewDrawn();
}

void frmMainLogic::picDst_MouseMove(int16_t Button, int16_t /*Shift*/, float X, float Y) {
  if (!state_.pictureShown || Viewport().Scale() <= 0) return;
  if (cpMode_) {
    window_.SetPreviewPointer(pointer::kCross);
    if (markDrag_ && Button == mouse::kLeft) {
      markDrag_->x = X;
      markDrag_->y = Y;
      markDrag_->moved = true;
      DrawPreview();
    }
    return;
  }
  if (Button == mouse::kLeft && state_.drag.mode != 0 && !locked_)
    DragTo(X, Y);
  else if (Button != mouse::kLeft)
    EndDrag();
  HoverAt(X, Y);
}

void frmMainLogic::DragTo(float X, float Y) {
  if (!dragStart_) dragStart_ = CurrentPlacement();
  if (state_.drag.mode == drag::kMove)
    MoveArea(X, Y);
  else
    MoveEdges(X, Y);
  ShowStatus();
  DrawPreview();
}

// The area follows the pointer; at a pole it stops with its height kept.
void frmMainLogic::MoveArea(float X, float Y) {
  const double k = Viewport().Scale();
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
  const PreviewView& v = Viewport();
  ConversionState& s = state_;
  const int32_t lon = v.EdgeLon(X);
  const int32_t lat = v.EdgeLat(Y);
  const int16_t mode = s.drag.mode;
  if (mode & drag::kWest) s.west = lon;
  if (mode & drag::kEast) s.east = lon;
  if ((mode & drag::kNorth) && int64_t{lat} >= int64_t{s.south} + 30) s.north = lat;
  if ((mode & drag::kSouth) && int64_t{lat} <= int64_t{s.north} - 30) s.south = lat;
}

// A whole drag, from the button going down to its release, is one step to undo.
void frmMainLogic::EndDrag() {
  if (!dragStart_) return;
  const Placement before = *dragStart_;
  dragStart_.reset();
  PlacementChanged(before);
}

// Finds what the pointer is over: an edge (within 3 pixels) or the inside of the area. While
// the placement is locked it is over nothing that could be dragged.
void frmMainLogic::HoverAt(float X, float Y) {
  ConversionState& s = state_;
  if (locked_) {
    s.drag.mode = 0;
    window_.SetPreviewPointer(pointer::kDefault);
    return;
  }
  const PreviewView& v = Viewport();
  const int32_t L = Round(v.X(s.west));
  const int32_t R = Round(v.X(s.east));
  const int32_t T = Round(v.Y(s.north));
  const int32_t B = Round(v.Y(s.south));
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
  if (Button == mouse::kLeft) EndDrag();
  if (Button == mouse::kLeft && markDrag_) {
    const MarkDrag d = *markDrag_;
    markDrag_.reset();
    if (!d.moved) {
      DrawPreview();
    } else if (d.onMap) {
      const auto at = LonLatAt(X, Y);
      ChangePoints([&](ControlPointState& s) {
        s.set.points[d.index].mapX = at.first;
        s.set.points[d.index].mapY = at.second;
      });
    } else if (const auto px = OriginalPixelAt(X, Y)) {
      ChangePoints([&](ControlPointState& s) {
        s.set.points[d.index].pixelX = px->first;
        s.set.points[d.index].pixelY = px->second;
      });
    } else {
      DrawPreview();  // dropped off the picture: the point stays where it was
    }
    return;
  }
  if (Button != mouse::kRight) return;
  state_.backColor = window_.PreviewColorAt(X, Y);
  ShowStatus();
}

}  // namespace picmap

namespace picmap {

// ---- Zoom and pan: they change only what the preview shows ----

void frmMainLogic::ZoomPreview(double factor, float X, float Y) {
  Viewport().ZoomAt(factor, X, Y);
  DrawPreview();
  if (state_.pictureShown) HoverAt(X, Y);
}

void frmMainLogic::PanPreview(float dx, float dy) {
  Viewport().PanBy(dx, dy);
  DrawPreview();
}

void frmMainLogic::ShowWholeWorld() {
  Viewport().ShowWorld();
  DrawPreview();
}

void frmMainLogic::ShowPictureArea() {
  const ConversionState& s = state_;
  Viewport().ShowArea(s.west, s.east, s.north, s.south);
  DrawPreview();
}

GeoBox frmMainLogic::VisibleBox() {
  const PreviewView& v = Viewport();
  const double k = v.Scale();
  if (k <= 0) return GeoBox::None();
  const auto lon = [&](double x) { return (x - v.OffsetX()) / k - 648000; };
  const auto lat = [&](double y) { return 324000 - (y - v.OffsetY()) / k; };
  return {lon(0), lon(v.Width()), lat(v.Height()), lat(0)};
}

// ---- Reference layers ----

namespace {
// Line colours (0x00BBGGRR) given to the layers in turn: each stands out on the world picture.
constexpr int32_t kLayerColours[] = {0x0000D0, 0x00C0FF, 0xFF00FF, 0x000000, 0xFFFF00, 0x008000};
}  // namespace

void frmMainLogic::mnuAddReference_Click() {
  const std::u16string path = InputLoadName(Tr("frmMain", "参照レイヤーの追加"),
                                            frmtext::kReferenceFilter,
                                            window_.PictureFolder() + u"/*.*");
  if (!path.empty()) AddReferenceLayer(path);
}

bool frmMainLogic::AddReferenceLayer(const std::u16string& path) {
  try {
    ReferenceLayer& layer = references_.Add(path);
    layer.colour = kLayerColours[(references_.Count() - 1) % std::size(kLayerColours)];
  } catch (const Error& e) {
    window_.MessageWithDetail(path + u"\r\n" + std::u16string(frmtext::kReferenceFailed), e.Description(), true);
    return false;
  }
  DrawPreview();
  return true;
}

std::optional<std::pair<int32_t, int32_t>> frmMainLogic::PicturePixelAt(float X, float Y) {
  if (!state_.pictureShown) return std::nullopt;
  const int32_t pw = window_.SourceWidth();
  const int32_t ph = window_.SourceHeight();
  for (const PreviewRect& r : PictureRects()) {
    const auto col = static_cast<int64_t>(std::floor((X - r.x) * static_cast<double>(pw) / r.w));
    const auto row = static_cast<int64_t>(std::floor((Y - r.y) * static_cast<double>(ph) / r.h));
    if (col >= 0 && col < pw && row >= 0 && row < ph)
      return std::pair{static_cast<int32_t>(col), static_cast<int32_t>(row)};
  }
  return std::nullopt;
}

// Control points are pixels of the picture as opened, so in their mode the pointer's pixel is
// one of those; otherwise the pixel of the picture the generation takes.
std::optional<std::pair<int32_t, int32_t>> frmMainLogic::PointerPixel(float X, float Y) {
  if (!cpMode_) return PicturePixelAt(X, Y);
  const auto pixel = OriginalPixelAt(X, Y);
  if (!pixel) return std::nullopt;
  return std::pair{static_cast<int32_t>(pixel->first), static_cast<int32_t>(pixel->second)};
}

std::u16string frmMainLogic::PointerText(float X, float Y) {
  const PreviewView& v = Viewport();
  if (v.Scale() <= 0) return {};
  const int32_t lon = std::clamp(Round(std::clamp(v.LonAt(X), -1e9, 1e9)), -648000, 648000);
  const int32_t lat = std::clamp(Round(std::clamp(v.LatAt(Y), -1e9, 1e9)), -324000, 324000);
  std::u16string text = Arg(Tr("frmMain", "経度：%1  緯度：%2"), {LonToStr(lon), LatToStr(lat)});
  if (const auto pixel = PointerPixel(X, Y)) {
    text += Arg(Tr("frmMain", "  画像ピクセル：%1, %2"),
                {U16(std::to_string(pixel->first)), U16(std::to_string(pixel->second))});
  }
  return text;
}

}  // namespace picmap
