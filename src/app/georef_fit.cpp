// Fitting transformations to control points: the polynomial and thin-plate-spline ones are
// GDAL's GCP transformers; linear, Helmert and projective are small least-squares fits here.
#include <gdal_alg.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <string>

#include "app/georef.h"
#include "app/georef_internal.h"
#include "support/errors.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

struct KindInfo {
  TransformKind kind;
  const char* name;
  int minimum;
};
constexpr std::array<KindInfo, 7> kKinds{{{TransformKind::Linear, "linear", 2},
                                          {TransformKind::Helmert, "helmert", 2},
                                          {TransformKind::Poly1, "poly1", 3},
                                          {TransformKind::Poly2, "poly2", 6},
                                          {TransformKind::Poly3, "poly3", 10},
                                          {TransformKind::ThinPlateSpline, "tps", 3},
                                          {TransformKind::Projective, "projective", 4}}};

const KindInfo& InfoOf(TransformKind kind) {
  return *std::find_if(kKinds.begin(), kKinds.end(), [&](const KindInfo& k) { return k.kind == kind; });
}

std::u16string Num(double v, int decimals = 2) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return FromUtf8(buf);
}

// ---- Least squares on a handful of unknowns ----

// Solves the normal equations of A x = b (rows of `n` coefficients) by Gaussian elimination
// with partial pivoting; false when the system is (nearly) singular.
bool SolveLeastSquares(const std::vector<double>& a, const std::vector<double>& b, int n,
                       std::vector<double>& x) {
  const size_t rows = b.size();
  std::vector<double> m(static_cast<size_t>(n) * (n + 1), 0.0);
  for (size_t r = 0; r < rows; ++r)
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) m[i * (n + 1) + j] += a[r * n + i] * a[r * n + j];
      m[i * (n + 1) + n] += a[r * n + i] * b[r];
    }
  double largest = 0;
  for (int i = 0; i < n; ++i) largest = std::max(largest, std::abs(m[i * (n + 1) + i]));
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int r = col + 1; r < n; ++r)
      if (std::abs(m[r * (n + 1) + col]) > std::abs(m[pivot * (n + 1) + col])) pivot = r;
    if (std::abs(m[pivot * (n + 1) + col]) <= 1e-12 * std::max(largest, 1e-300)) return false;
    for (int j = 0; j <= n; ++j) std::swap(m[col * (n + 1) + j], m[pivot * (n + 1) + j]);
    for (int r = 0; r < n; ++r) {
      if (r == col) continue;
      const double f = m[r * (n + 1) + col] / m[col * (n + 1) + col];
      for (int j = col; j <= n; ++j) m[r * (n + 1) + j] -= f * m[col * (n + 1) + j];
    }
  }
  x.resize(n);
  for (int i = 0; i < n; ++i) x[i] = m[i * (n + 1) + n] / m[i * (n + 1) + i];
  return true;
}

// Centre and scale of a set of coordinates, so that fits work on numbers near 1 whether the
// map is in degrees or metres.
struct Normal {
  double cx = 0, cy = 0, s = 1;
  double X(double v) const { return (v - cx) / s; }
  double Y(double v) const { return (v - cy) / s; }
};

Normal NormalOf(const std::vector<std::array<double, 2>>& pts) {
  Normal n;
  for (const auto& p : pts) n.cx += p[0], n.cy += p[1];
  n.cx /= static_cast<double>(pts.size());
  n.cy /= static_cast<double>(pts.size());
  double spread = 0;
  for (const auto& p : pts) spread = std::max({spread, std::abs(p[0] - n.cx), std::abs(p[1] - n.cy)});
  n.s = spread > 0 ? spread : 1;
  return n;
}

// ---- Transformations ----

class AffineMap final : public PictureTransform {
 public:
  explicit AffineMap(const double gt[6]) {
    std::copy(gt, gt + 6, gt_);
    invertible_ = GDALInvGeoTransform(gt_, inv_) != 0;
  }
  bool ToMap(double px, double py, double& x, double& y) const override {
    x = gt_[0] + px * gt_[1] + py * gt_[2];
    y = gt_[3] + px * gt_[4] + py * gt_[5];
    return true;
  }
  bool ToPixel(double x, double y, double& px, double& py) const override {
    if (!invertible_) return false;
    px = inv_[0] + x * inv_[1] + y * inv_[2];
    py = inv_[3] + x * inv_[4] + y * inv_[5];
    return true;
  }

 private:
  double gt_[6], inv_[6];
  bool invertible_ = false;
};

// x = (h0 px + h1 py + h2) / (h6 px + h7 py + 1), y likewise with h3..h5, on normalised
// coordinates.
class ProjectiveMap final : public PictureTransform {
 public:
  ProjectiveMap(const std::vector<double>& h, Normal pixel, Normal map)
      : pixel_(pixel), map_(map) {
    for (int i = 0; i < 8; ++i) h_[i] = h[i];
    h_[8] = 1;
    Invert();
  }
  bool ToMap(double px, double py, double& x, double& y) const override {
    double u, v;
    if (!Apply(h_, pixel_.X(px), pixel_.Y(py), u, v)) return false;
    x = u * map_.s + map_.cx;
    y = v * map_.s + map_.cy;
    return true;
  }
  bool ToPixel(double x, double y, double& px, double& py) const override {
    double u, v;
    if (!invertible_ || !Apply(inv_, map_.X(x), map_.Y(y), u, v)) return false;
    px = u * pixel_.s + pixel_.cx;
    py = v * pixel_.s + pixel_.cy;
    return true;
  }
  // The picture's points all lie on one side of the line the transformation sends to
  // infinity; otherwise it would tear the picture apart there.
  bool KeepsSideOverPicture(int32_t w, int32_t h) const {
    int positive = 0, negative = 0;
    for (const double cx : {0.0, double(w)})
      for (const double cy : {0.0, double(h)}) {
        const double d = h_[6] * pixel_.X(cx) + h_[7] * pixel_.Y(cy) + 1;
        (d > 0 ? positive : negative)++;
      }
    return positive == 0 || negative == 0;
  }

 private:
  static bool Apply(const double* m, double px, double py, double& x, double& y) {
    const double d = m[6] * px + m[7] * py + m[8];
    if (std::abs(d) < 1e-12) return false;
    x = (m[0] * px + m[1] * py + m[2]) / d;
    y = (m[3] * px + m[4] * py + m[5]) / d;
    return true;
  }
  void Invert() {
    const double* m = h_;
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    invertible_ = std::abs(det) > 1e-14;
    if (!invertible_) return;
    inv_[0] = (m[4] * m[8] - m[5] * m[7]) / det;
    inv_[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    inv_[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    inv_[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    inv_[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    inv_[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    inv_[6] = (m[3] * m[7] - m[4] * m[6]) / det;
    inv_[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    inv_[8] = (m[0] * m[4] - m[1] * m[3]) / det;
  }

  double h_[9], inv_[9] = {};
  Normal pixel_, map_;
  bool invertible_ = false;
};

// GDAL's GCP polynomial or thin-plate-spline transformer. GDAL clones these for each thread of
// its own warps rather than share them, so the warp's threads take turns.
class GdalGcpMap final : public PictureTransform {
 public:
  GdalGcpMap(void* arg, GDALTransformerFunc fn, void (*destroy)(void*))
      : arg_(arg), fn_(fn), destroy_(destroy) {}
  ~GdalGcpMap() override { destroy_(arg_); }
  bool ToMap(double px, double py, double& x, double& y) const override { return Run(FALSE, px, py, x, y); }
  bool ToPixel(double x, double y, double& px, double& py) const override { return Run(TRUE, x, y, px, py); }

 private:
  bool Run(int toPixel, double a, double b, double& outA, double& outB) const {
    const std::lock_guard<std::mutex> turn(turn_);
    double z = 0;
    int ok = 0;
    outA = a;
    outB = b;
    return fn_(arg_, toPixel, 1, &outA, &outB, &z, &ok) && ok;
  }
  mutable std::mutex turn_;
  void* arg_;
  GDALTransformerFunc fn_;
  void (*destroy_)(void*);
};

[[noreturn]] void Refuse(const std::u16string& why) { Throw(5, u"georef", why); }

std::u16string KindName(TransformKind kind) { return FromUtf8(TransformName(kind)); }

// ---- Checks before a fit ----

using Points = std::vector<std::array<double, 2>>;

// The smaller spread of the points across their main direction, relative to the larger.
double Flatness(const Points& pts) {
  double mx = 0, my = 0;
  for (const auto& p : pts) mx += p[0], my += p[1];
  mx /= static_cast<double>(pts.size());
  my /= static_cast<double>(pts.size());
  double sxx = 0, syy = 0, sxy = 0;
  for (const auto& p : pts) {
    sxx += (p[0] - mx) * (p[0] - mx);
    syy += (p[1] - my) * (p[1] - my);
    sxy += (p[0] - mx) * (p[1] - my);
  }
  const double t = sxx + syy, d = std::sqrt(std::max(0.0, (sxx - syy) * (sxx - syy) + 4 * sxy * sxy));
  const double large = (t + d) / 2, small = (t - d) / 2;
  return large > 0 ? std::sqrt(std::max(small, 0.0) / large) : 0;
}

void CheckPointsInside(const std::vector<ControlPoint>& points, int32_t w, int32_t h) {
  for (size_t i = 0; i < points.size(); ++i) {
    const ControlPoint& p = points[i];
    if (!std::isfinite(p.pixelX) || !std::isfinite(p.pixelY) || !std::isfinite(p.mapX) ||
        !std::isfinite(p.mapY))
      Refuse(Arg(Tr("georef", "基準点 %1 の座標が数ではありません."), {FromUtf8(std::to_string(i + 1))}));
    if (p.pixelX < 0 || p.pixelY < 0 || p.pixelX > w || p.pixelY > h)
      Refuse(Arg(Tr("georef", "基準点 %1 の画素 (%2, %3) が画像 (%4x%5) の外にあります."),
                 {FromUtf8(std::to_string(i + 1)), Num(p.pixelX, 1), Num(p.pixelY, 1),
                  FromUtf8(std::to_string(w)), FromUtf8(std::to_string(h))}));
  }
}

void CheckSpread(TransformKind kind, const Points& pixels, const Points& maps) {
  const bool needsPlane = kind != TransformKind::Linear && kind != TransformKind::Helmert;
  auto distinct = [](const Points& pts) {
    for (const auto& p : pts)
      if (std::abs(p[0] - pts[0][0]) + std::abs(p[1] - pts[0][1]) > 1e-9) return true;
    return false;
  };
  const bool flat = needsPlane ? (Flatness(pixels) < 1e-4 || Flatness(maps) < 1e-4)
                               : (!distinct(pixels) || !distinct(maps));
  if (flat)
    Refuse(Arg(Tr("georef", "基準点が一直線上に並んでいます: 変換 %1 には一直線上にない点が %2 点以上必要です."),
               {KindName(kind), FromUtf8(std::to_string(MinimumPoints(kind)))}));
}

// Whether the map of the picture keeps its orientation everywhere: a fit that turns part of
// the picture over would put two places of the picture on one place of the map.
bool FoldsOverPicture(const PictureTransform& t, int32_t w, int32_t h) {
  constexpr int kSteps = 32;
  std::vector<std::array<double, 2>> grid((kSteps + 1) * (kSteps + 1));
  for (int j = 0; j <= kSteps; ++j)
    for (int i = 0; i <= kSteps; ++i)
      if (!t.ToMap(double(w) * i / kSteps, double(h) * j / kSteps, grid[j * (kSteps + 1) + i][0],
                   grid[j * (kSteps + 1) + i][1]))
        return true;
  int positive = 0, negative = 0;
  for (int j = 0; j < kSteps; ++j)
    for (int i = 0; i < kSteps; ++i) {
      const auto& o = grid[j * (kSteps + 1) + i];
      const auto& r = grid[j * (kSteps + 1) + i + 1];
      const auto& d = grid[(j + 1) * (kSteps + 1) + i];
      const double cross = (r[0] - o[0]) * (d[1] - o[1]) - (r[1] - o[1]) * (d[0] - o[0]);
      if (cross > 0) ++positive;
      if (cross < 0) ++negative;
    }
  return positive > 0 && negative > 0;
}

// ---- The fits ----

std::shared_ptr<const PictureTransform> FitLinear(const Points& px, const Points& map) {
  double gt[6] = {0, 0, 0, 0, 0, 0};
  for (int axis = 0; axis < 2; ++axis) {
    std::vector<double> a, b, x;
    for (size_t i = 0; i < px.size(); ++i) {
      a.insert(a.end(), {px[i][axis], 1.0});
      b.push_back(map[i][axis]);
    }
    if (!SolveLeastSquares(a, b, 2, x)) return nullptr;
    gt[axis * 3] = x[1];
    gt[axis * 3 + 1 + axis] = x[0];
  }
  return std::make_shared<AffineMap>(gt);
}

std::shared_ptr<const PictureTransform> FitHelmert(const Points& px, const Points& map) {
  std::vector<double> a, b, x;
  for (size_t i = 0; i < px.size(); ++i) {
    a.insert(a.end(), {px[i][0], px[i][1], 1, 0});
    b.push_back(map[i][0]);
    a.insert(a.end(), {-px[i][1], px[i][0], 0, 1});
    b.push_back(map[i][1]);
  }
  if (!SolveLeastSquares(a, b, 4, x)) return nullptr;
  // Pixel rows run down and map northings up: the similarity holds between (px, -py) and (x, y).
  const double gt[6] = {x[2], x[0], x[1], x[3], x[1], -x[0]};
  return std::make_shared<AffineMap>(gt);
}

std::shared_ptr<const PictureTransform> FitProjective(const Points& px, const Points& map) {
  const Normal np = NormalOf(px), nm = NormalOf(map);
  std::vector<double> a, b, h;
  for (size_t i = 0; i < px.size(); ++i) {
    const double u = np.X(px[i][0]), v = np.Y(px[i][1]);
    const double x = nm.X(map[i][0]), y = nm.Y(map[i][1]);
    a.insert(a.end(), {u, v, 1, 0, 0, 0, -u * x, -v * x});
    b.push_back(x);
    a.insert(a.end(), {0, 0, 0, u, v, 1, -u * y, -v * y});
    b.push_back(y);
  }
  if (!SolveLeastSquares(a, b, 8, h)) return nullptr;
  return std::make_shared<ProjectiveMap>(h, np, nm);
}

std::shared_ptr<const PictureTransform> FitWithGdal(TransformKind kind, const Points& px,
                                                    const Points& map) {
  std::vector<GDAL_GCP> gcps(px.size());
  std::vector<std::string> ids(px.size());
  for (size_t i = 0; i < px.size(); ++i) {
    ids[i] = std::to_string(i + 1);
    gcps[i] = GDAL_GCP{ids[i].data(), ids[i].data(), px[i][0], px[i][1], map[i][0], map[i][1], 0};
  }
  const int n = static_cast<int>(gcps.size());
  QuietGdalErrors quiet;
  if (kind == TransformKind::ThinPlateSpline) {
    void* arg = GDALCreateTPSTransformer(n, gcps.data(), FALSE);
    if (!arg) return nullptr;
    return std::make_shared<GdalGcpMap>(arg, GDALTPSTransform, GDALDestroyTPSTransformer);
  }
  const int order = kind == TransformKind::Poly1 ? 1 : kind == TransformKind::Poly2 ? 2 : 3;
  void* arg = GDALCreateGCPTransformer(n, gcps.data(), order, FALSE);
  if (!arg) return nullptr;
  return std::make_shared<GdalGcpMap>(arg, GDALGCPTransform, GDALDestroyGCPTransformer);
}

std::shared_ptr<const PictureTransform> Fit(TransformKind kind, const Points& px, const Points& map) {
  switch (kind) {
    case TransformKind::Linear: return FitLinear(px, map);
    case TransformKind::Helmert: return FitHelmert(px, map);
    case TransformKind::Projective: return FitProjective(px, map);
    default: return FitWithGdal(kind, px, map);
  }
}

bool Folds(TransformKind kind, const PictureTransform& t, int32_t w, int32_t h) {
  if (kind == TransformKind::Projective &&
      !static_cast<const ProjectiveMap&>(t).KeepsSideOverPicture(w, h))
    return true;
  return FoldsOverPicture(t, w, h);
}

}  // namespace

std::optional<TransformKind> TransformKindNamed(std::string_view name) {
  for (const KindInfo& k : kKinds)
    if (name == k.name) return k.kind;
  return std::nullopt;
}

const char* TransformName(TransformKind kind) { return InfoOf(kind).name; }
int MinimumPoints(TransformKind kind) { return InfoOf(kind).minimum; }

std::shared_ptr<const PictureTransform> AffineTransform(const double geoTransform[6]) {
  return std::make_shared<AffineMap>(geoTransform);
}

namespace {

bool InLongitudeLatitude(const std::string& crs) {
  if (crs.empty()) return true;
  OGRSpatialReference srs;
  return srs.SetFromUserInput(crs.c_str()) == OGRERR_NONE && srs.IsGeographic() &&
         std::abs(srs.GetAngularUnits() - M_PI / 180) < 1e-12;
}

void CheckLatitudes(const std::vector<ControlPoint>& points) {
  for (size_t i = 0; i < points.size(); ++i)
    if (points[i].enabled && !(std::abs(points[i].mapY) <= 90))
      Refuse(Arg(Tr("georef", "基準点 %1 の緯度 %2 が -90 から 90 の範囲を外れています."),
                 {FromUtf8(std::to_string(i + 1)), Num(points[i].mapY, 6)}));
}

// How far east longitudes run with the picture's columns (the sign of their covariance).
double EastwardWithColumns(const std::vector<ControlPoint>& points, double turn) {
  double n = 0, sx = 0, sl = 0, sxl = 0;
  for (const ControlPoint& p : points)
    if (p.enabled) {
      const double lon = p.mapX < 0 ? p.mapX + turn : p.mapX;
      n += 1, sx += p.pixelX, sl += lon, sxl += p.pixelX * lon;
    }
  return n > 0 ? sxl - sx * sl / n : 0;
}

// Points on both sides of the 180° meridian (170 and -170) lie 20° apart, not 340°: where the
// longitudes run west across the picture as read, and east taken past 180°, the western ones
// are taken a turn further east. A world map from -100 to 100 runs east as read and stays.
double LongitudeTurn(const std::vector<ControlPoint>& points) {
  double lo = INFINITY, hi = -INFINITY;
  for (const ControlPoint& p : points)
    if (p.enabled) lo = std::min(lo, p.mapX), hi = std::max(hi, p.mapX);
  const bool turnedEast = EastwardWithColumns(points, 360) > 0 && EastwardWithColumns(points, 0) <= 0;
  return hi - lo > 180 && turnedEast ? 360 : 0;
}

}  // namespace

ControlPointFit FitControlPoints(const ControlPointSet& set, TransformKind kind, int32_t width,
                                 int32_t height) {
  CheckPointsInside(set.points, width, height);
  const bool lonLat = InLongitudeLatitude(set.crs);
  if (lonLat) CheckLatitudes(set.points);
  const double turn = lonLat ? LongitudeTurn(set.points) : 0;
  auto mapX = [turn](const ControlPoint& p) { return p.mapX < 0 ? p.mapX + turn : p.mapX; };
  Points px, map;
  for (const ControlPoint& p : set.points)
    if (p.enabled) {
      px.push_back({p.pixelX, p.pixelY});
      map.push_back({mapX(p), p.mapY});
    }
  const int needed = MinimumPoints(kind);
  if (static_cast<int>(px.size()) < needed)
    Refuse(Arg(Tr("georef", "基準点が足りません: 変換 %1 には有効な基準点が %2 点以上必要です (%3 点あります)."),
               {KindName(kind), FromUtf8(std::to_string(needed)), FromUtf8(std::to_string(px.size()))}));
  CheckSpread(kind, px, map);
  ControlPointFit fit;
  fit.transform = Fit(kind, px, map);
  if (!fit.transform)
    Refuse(Arg(Tr("georef", "基準点から変換 %1 を求められません: 点の配置が偏っています (一直線上にない点が %2 点以上必要です)."),
               {KindName(kind), FromUtf8(std::to_string(needed))}));
  if (Folds(kind, *fit.transform, width, height))
    Refuse(Arg(Tr("georef", "変換 %1 は画像を折り返してしまいます: 基準点を見直すか, 次数の低い変換を選んでください."),
               {KindName(kind)}));
  fit.points = set.points;
  double sum = 0;
  for (ControlPoint& p : fit.points) {
    double qx = 0, qy = 0;
    if (!fit.transform->ToPixel(mapX(p), p.mapY, qx, qy)) qx = qy = NAN;
    p.residualX = qx - p.pixelX;
    p.residualY = qy - p.pixelY;
    if (p.enabled) sum += p.residualX * p.residualX + p.residualY * p.residualY;
  }
  fit.rmsPixels = std::sqrt(sum / static_cast<double>(px.size()));
  return fit;
}

}  // namespace picmap
