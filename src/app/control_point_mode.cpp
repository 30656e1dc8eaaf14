// Control-point mode: points set by clicks (or typed angles), fitted by the georeferencing
// engine, and the picture shown warped by the fit; every change is a step to undo.
#include <ogr_spatialref.h>

#include <cmath>
#include <cstdio>

#include "app/frm_main.h"
#include "support/angle.h"
#include "support/errors.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

constexpr double kSecondsPerDegree = 3600;
constexpr double kGrabPixels = 6;  // how near the pointer must be to take hold of a mark

inline constexpr UiText kPointsFilter{QT_TRANSLATE_NOOP("frmMain", "基準点ファイル(*.POINTS)|*.POINTS|")};

std::u16string Number(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return FromUtf8(buf);
}

// Points read in another CRS are kept in longitude/latitude, as clicks on the preview give.
void ToLonLat(ControlPointSet& set) {
  if (set.crs.empty()) return;
  OGRSpatialReference source, target;
  if (source.SetFromUserInput(set.crs.c_str()) != OGRERR_NONE)
    throw Error(err::kClassDefault, u"frmMain.LoadPointsFile/", u"unknown CRS: " + FromUtf8(set.crs));
  source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  target.importFromEPSG(4326);
  target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::unique_ptr<OGRCoordinateTransformation> ct(OGRCreateCoordinateTransformation(&source, &target));
  if (!ct) throw Error(err::kClassDefault, u"frmMain.LoadPointsFile/", u"the CRS cannot be turned into longitude/latitude");
  for (ControlPoint& p : set.points)
    if (!ct->Transform(1, &p.mapX, &p.mapY))
      throw Error(err::kClassDefault, u"frmMain.LoadPointsFile/", u"a point lies outside its CRS");
  set.crs.clear();
}

}  // namespace

void frmMainLogic::SetControlPointMode(bool on) {
  EndDrag();
  cpMode_ = on && state_.pictureShown;
  pending_.reset();
  markDrag_.reset();
  if (cpMode_ && original_.Empty()) original_ = window_.SourcePicture();
  state_.drag.mode = 0;
  window_.SetPreviewPointer(cpMode_ ? pointer::kCross : pointer::kDefault);
  DrawPreview();
}

// Without a fit there are no residuals: a 0 would read as a point that fits exactly.
std::vector<ControlPoint> frmMainLogic::ControlPointRows() const {
  if (fit_) return fit_->points;
  std::vector<ControlPoint> rows = points_ ? points_->set.points : std::vector<ControlPoint>{};
  for (ControlPoint& p : rows) p.residualX = p.residualY = NAN;
  return rows;
}

// Edges moved after the fit (by hand, typed, the whole world) move the warped picture away
// from where the points put it: the fit's figures no longer describe the map.
std::u16string frmMainLogic::FitStatus() const {
  if (!clickHint_.empty()) return clickHint_;
  const Placement now = CurrentPlacement();
  const Placement& fitted = warpedOnto_;
  if (!fit_ || (now.west == fitted.west && now.east == fitted.east && now.north == fitted.north &&
                now.south == fitted.south))
    return fitStatus_;
  return Arg(Tr("frmMain", "%1 (範囲を動かしたため, 地図は基準点に合っていません)"), {fitStatus_});
}

TransformKind frmMainLogic::ControlPointTransform() const {
  return points_ ? points_->kind : TransformKind::Poly1;
}

void frmMainLogic::ChangePoints(const std::function<void(ControlPointState&)>& edit) {
  const Placement before = CurrentPlacement();
  auto next = std::make_shared<ControlPointState>(points_ ? *points_ : ControlPointState{});
  edit(*next);
  points_ = std::move(next);
  FitAndWarp();
  PlacementChanged(before);
  window_.ControlPointsChanged();
  ShowStatus();
  DrawPreview();
}

// With enough points the opened picture is warped by their fit and takes the fit's extents;
// without, the picture as opened is shown on the extents it has.
void frmMainLogic::FitAndWarp() {
  fit_.reset();
  fitStatus_.clear();
  if (original_.Empty()) return;
  const bool any = points_ && !points_->set.points.empty();
  if (any) {
    try {
      fit_ = FitControlPoints(points_->set, points_->kind, original_.width, original_.height);
      Georeference georef;
      georef.transform = fit_->transform;
      georef.origin = ToUtf8(Tr("georef", "基準点"));
      PlacedPicture placed = PlaceOnLonLatGrid(original_, georef);
      window_.ReplaceSourcePicture(std::move(placed.picture));
      state_.west = placed.west;
      state_.east = placed.east;
      state_.north = placed.north;
      state_.south = placed.south;
      warpedOnto_ = CurrentPlacement();
      shownWarp_ = fit_->transform;
      fitStatus_ = Arg(Tr("frmMain", "RMS: %1 ピクセル"), {Number(fit_->rmsPixels, 2)});
      return;
    } catch (const Error& e) {
      fit_.reset();
      fitStatus_ = e.Description();
    }
  }
  ShowOwnPlacementOrOriginal();
}

// Without a fit, a picture that carries its own placement is shown placed by it again; any
// other is shown as opened, on the extents it has.
void frmMainLogic::ShowOwnPlacementOrOriginal() {
  if (!own_) {
    window_.ReplaceSourcePicture(original_);
    shownWarp_.reset();
    return;
  }
  window_.ReplaceSourcePicture(own_->placed.picture);
  state_.west = own_->placed.west;
  state_.east = own_->placed.east;
  state_.north = own_->placed.north;
  state_.south = own_->placed.south;
  warpedOnto_ = CurrentPlacement();
  shownWarp_ = own_->inLonLat;
}

void frmMainLogic::AddControlPoint(double px, double py, double lonDeg, double latDeg) {
  ChangePoints([&](ControlPointState& s) {
    ControlPoint p;
    p.pixelX = px;
    p.pixelY = py;
    p.mapX = lonDeg;
    p.mapY = latDeg;
    s.set.points.push_back(p);
  });
}

void frmMainLogic::SetTransform(TransformKind kind) {
  if (kind == ControlPointTransform() && points_) return;
  ChangePoints([&](ControlPointState& s) { s.kind = kind; });
}

void frmMainLogic::SetControlPointEnabled(size_t index, bool enabled) {
  if (!points_ || index >= points_->set.points.size()) return;
  if (points_->set.points[index].enabled == enabled) return;
  ChangePoints([&](ControlPointState& s) { s.set.points[index].enabled = enabled; });
}

void frmMainLogic::RemoveControlPoint(size_t index) {
  if (!points_ || index >= points_->set.points.size()) return;
  ChangePoints([&](ControlPointState& s) {
    s.set.points.erase(s.set.points.begin() + static_cast<ptrdiff_t>(index));
  });
}

// The same reading as the edges' input boxes, with their range messages.
bool frmMainLogic::ReadAngle(const std::u16string& text, bool latitude, double& degrees) {
  int32_t sec = 0;
  try {
    const std::u16string formal = AngleFormalStr(text);
    if (formal.empty()) throw Error(err::kModuleDefault, u"", u"");
    sec = AngleSecStrToVal(formal);
  } catch (...) {
    window_.Message(Arg(Tr("frmMain", "「%1」を角度として読み取れません."), {text}), true);
    return false;
  }
  if (!latitude && (sec < -648000 || sec > 648000)) {
    window_.Message(Arg(Tr("frmMain",
        "「%1」は範囲外です. 経度は W180°00′00″ から E180°00′00″ の間で入力してください."), {text}), true);
    return false;
  }
  if (latitude && (sec < -324000 || sec > 324000)) {
    window_.Message(Arg(Tr("frmMain",
        "「%1」は範囲外です. 緯度は S90°00′00″ から N90°00′00″ の間で入力してください."), {text}), true);
    return false;
  }
  degrees = sec / kSecondsPerDegree;
  return true;
}

bool frmMainLogic::SetControlPointAngle(size_t index, bool latitude, const std::u16string& text) {
  if (!points_ || index >= points_->set.points.size()) return false;
  double deg = 0;
  if (!ReadAngle(text, latitude, deg)) {
    window_.ControlPointsChanged();  // the table shows the angle as it was
    return false;
  }
  ChangePoints([&](ControlPointState& s) {
    (latitude ? s.set.points[index].mapY : s.set.points[index].mapX) = deg;
  });
  return true;
}

void frmMainLogic::mnuTypeLonLat_Click() {
  if (!pending_) {
    window_.Message(Tr("frmMain", "先に画像上の点をクリックしてください."), true);
    return;
  }
  double lon = 0, lat = 0;
  const std::u16string lonText = window_.InputBox(Tr("frmMain", "基準点の経度を入力してください."), u"");
  if (lonText.empty() || !ReadAngle(lonText, false, lon)) return;
  const std::u16string latText = window_.InputBox(Tr("frmMain", "基準点の緯度を入力してください."), u"");
  if (latText.empty() || !ReadAngle(latText, true, lat)) return;
  const auto [px, py] = *pending_;
  pending_.reset();
  AddControlPoint(px, py, lon, lat);
}

void frmMainLogic::mnuLoadPoints_Click() {
  const std::u16string path = InputLoadName(Tr("frmMain", "基準点ファイルを開く"), kPointsFilter,
                                            window_.PictureFolder() + u"/*.points");
  if (!path.empty()) LoadPointsFile(path);
}

bool frmMainLogic::LoadPointsFile(const std::u16string& path) {
  if (!state_.pictureShown) {
    window_.Message(frmtext::kWorldFileNoPicture, true);
    return false;
  }
  ControlPointSet set;
  try {
    set = ReadPointsFile(path);
    ToLonLat(set);
  } catch (const Error& e) {
    window_.MessageWithDetail(path + u"\r\n" + Tr("frmMain", "を基準点ファイルとして読み込めませんでした."),
                              e.Description(), true);
    return false;
  }
  if (!cpMode_) SetControlPointMode(true);
  ChangePoints([&](ControlPointState& s) { s.set = std::move(set); });
  pointsInFile_ = points_;
  return true;
}

bool frmMainLogic::SaveControlPoints() {
  if (!points_ || points_->set.points.empty()) {
    window_.Message(Tr("frmMain", "保存する基準点がありません."), true);
    return false;
  }
  FileDialogRequest request;
  request.title = Tr("frmMain", "基準点ファイル名を指定する");
  request.fileName = state_.picturePath + u".points";
  request.filter = kPointsFilter;
  const std::optional<std::u16string> chosen = window_.SaveFileDialog(request);
  if (!chosen || chosen->empty()) return false;
  ControlPointSet set = points_->set;
  set.points = ControlPointRows();
  try {
    WritePointsFile(*chosen, set);
  } catch (const Error& e) {
    window_.MessageWithDetail(*chosen + u"\r\n" + Tr("frmMain", "に基準点を保存できませんでした."),
                              e.Description(), true);
    return false;
  }
  pointsInFile_ = points_;
  return true;
}

// ---- Clicks and marks ----

std::pair<double, double> frmMainLogic::LonLatAt(float X, float Y) {
  const PreviewView& v = Viewport();
  const double k = v.Scale();
  return {((X - v.OffsetX()) / k - 648000) / kSecondsPerDegree,
          (324000 - (Y - v.OffsetY()) / k) / kSecondsPerDegree};
}

// The pixel of the picture as opened under a preview position. Shown warped, the picture is
// its warp's grid drawn on the extents (moved since, perhaps): the position on that grid
// goes back through the warp's transformation; else the rectangle the picture is drawn in
// gives the pixel.
std::optional<std::pair<double, double>> frmMainLogic::OriginalPixelAt(float X, float Y) {
  if (original_.Empty()) return std::nullopt;
  const PreviewRect r = PictureRects().front();
  const double fx = (X - r.x) / static_cast<double>(r.w), fy = (Y - r.y) / static_cast<double>(r.h);
  double px = fx * original_.width, py = fy * original_.height;
  if (shownWarp_) {
    const Placement& g = warpedOnto_;
    const double lon = (g.west + fx * (double(g.east) - g.west)) / kSecondsPerDegree;
    const double lat = (g.north - fy * (double(g.north) - g.south)) / kSecondsPerDegree;
    if (!shownWarp_->ToPixel(lon, lat, px, py)) return std::nullopt;
  }
  if (px < 0 || py < 0 || px >= original_.width || py >= original_.height) return std::nullopt;
  return std::pair{px, py};
}

std::optional<std::pair<double, double>> frmMainLogic::PixelToPreview(double px, double py) {
  if (original_.Empty()) return std::nullopt;
  double fx = px / original_.width, fy = py / original_.height;
  if (shownWarp_) {
    double lon = 0, lat = 0;
    if (!shownWarp_->ToMap(px, py, lon, lat)) return std::nullopt;
    const Placement& g = warpedOnto_;
    fx = (lon * kSecondsPerDegree - g.west) / (double(g.east) - g.west);
    fy = (g.north - lat * kSecondsPerDegree) / (double(g.north) - g.south);
  }
  const PreviewRect r = PictureRects().front();
  return std::pair{r.x + fx * r.w, r.y + fy * r.h};
}

std::vector<PreviewMark> frmMainLogic::Marks() {
  std::vector<PreviewMark> marks;
  const PreviewView& v = Viewport();
  const std::vector<ControlPoint> rows = ControlPointRows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const ControlPoint& p = rows[i];
    const auto number = static_cast<int32_t>(i + 1);
    PreviewMark map{v.X(p.mapX * kSecondsPerDegree), v.Y(p.mapY * kSecondsPerDegree), number, true, p.enabled};
    if (markDrag_ && markDrag_->index == i && markDrag_->onMap) map.x = markDrag_->x, map.y = markDrag_->y;
    marks.push_back(map);
    if (auto at = PixelToPreview(p.pixelX, p.pixelY)) {
      PreviewMark pixel{at->first, at->second, number, false, p.enabled};
      if (markDrag_ && markDrag_->index == i && !markDrag_->onMap) pixel.x = markDrag_->x, pixel.y = markDrag_->y;
      marks.push_back(pixel);
    }
  }
  if (pending_) {
    if (auto at = PixelToPreview(pending_->first, pending_->second))
      marks.push_back({at->first, at->second, 0, false, true});
  }
  return marks;
}

// A press near a mark takes hold of it (unless the placement is locked); elsewhere the first
// click takes the picture's pixel and the second the longitude and latitude under the pointer.
void frmMainLogic::picDst_MouseDown(int16_t Button, int16_t /*Shift*/, float X, float Y) {
  if (!cpMode_ || Button != mouse::kLeft || Viewport().Scale() <= 0) return;
  const std::vector<PreviewMark> marks = locked_ ? std::vector<PreviewMark>{} : Marks();
  double best = kGrabPixels;
  for (const PreviewMark& m : marks) {
    const double d = std::hypot(m.x - X, m.y - Y);
    if (m.number > 0 && d <= best) {
      best = d;
      markDrag_ = MarkDrag{static_cast<size_t>(m.number - 1), m.onMap, X, Y};
    }
  }
  if (markDrag_) return;
  if (!clickHint_.empty()) {
    clickHint_.clear();
    window_.ControlPointsChanged();
  }
  if (pending_) {
    const auto [px, py] = *pending_;
    const auto [lon, lat] = LonLatAt(X, Y);
    pending_.reset();
    AddControlPoint(px, py, lon, lat);
    return;
  }
  pending_ = OriginalPixelAt(X, Y);
  // A click beside the picture (after a fit moved it, where it was) would else do nothing at all.
  if (!pending_) {
    clickHint_ = Tr("frmMain", "画像の外です. 基準点は, まず画像の上の点を, 次にその点の地図上の位置をクリックします.");
    window_.ControlPointsChanged();
  }
  DrawPreview();
}

}  // namespace picmap
