// The warp of a placed picture onto the longitude/latitude grid the generation reads: GDAL's
// warper with nearest-neighbour resampling over the picture's own buffer, strips of the grid
// warped side by side on every core.
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "app/georef.h"
#include "app/georef_internal.h"
#include "support/errors.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {


[[noreturn]] void Refuse(const std::u16string& why) { Throw(5, u"georef", why); }

std::u16string Num(int64_t v) { return FromUtf8(std::to_string(v)); }

OGRSpatialReference LonLat() {
  OGRSpatialReference wgs84;
  wgs84.SetWellKnownGeogCS("WGS84");
  wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return wgs84;
}

OGRSpatialReference CrsOf(const Georeference& g) {
  if (g.crs.empty()) return LonLat();
  OGRSpatialReference srs;
  if (srs.SetFromUserInput(g.crs.c_str()) != OGRERR_NONE)
    Refuse(Arg(Tr("georef", "座標参照系 '%1' がわかりません (EPSG:32654 のような符号, WKT または PROJ の文字列)."),
               {FromUtf8(g.crs.substr(0, 80))}));
  // A compound CRS (a position and a height) is placed by its horizontal part.
  if (srs.IsGeocentric() || (srs.IsVertical() && !srs.IsGeographic() && !srs.IsProjected()))
    Refuse(Arg(Tr("georef", "座標参照系 '%1' は地表の位置を表しません (地心座標系または高さの座標系です)."),
               {FromUtf8(srs.GetName() ? srs.GetName() : "")}));
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

bool IsWgs84LonLat(const OGRSpatialReference& srs) {
  const OGRSpatialReference wgs84 = LonLat();
  return srs.IsGeographic() && srs.IsSameGeogCS(&wgs84) &&
         std::abs(srs.GetAngularUnits() - M_PI / 180) < 1e-12;
}

// Picture pixel -> map CRS -> longitude/latitude -> grid pixel, and back. One per thread: the
// coordinate transformations keep PROJ state of their own.
struct Chain {
  const PictureTransform* picture = nullptr;
  std::unique_ptr<OGRCoordinateTransformation> toLonLat, toMap;  // null: the map is in lon/lat
  double grid[6] = {0, 1, 0, 0, 0, 1}, gridInverse[6] = {0, 1, 0, 0, 0, 1};
  // Longitudes are taken within 180° of the picture's centre, so that a picture across the
  // 180° meridian makes one grid running past 180° rather than one around the whole world.
  double centreLongitude = NAN;

  Chain(const PictureTransform& t, const OGRSpatialReference& crs, bool lonLat) : picture(&t) {
    if (lonLat) return;
    const OGRSpatialReference wgs84 = LonLat();
    toLonLat.reset(OGRCreateCoordinateTransformation(&crs, &wgs84));
    toMap.reset(OGRCreateCoordinateTransformation(&wgs84, &crs));
    if (!toLonLat || !toMap)
      Refuse(Tr("georef", "画像の座標参照系から経緯度 (WGS 84) へ変換できません."));
  }
  void SetGrid(const double gt[6]) {
    std::copy(gt, gt + 6, grid);
    if (!GDALInvGeoTransform(grid, gridInverse)) Refuse(u"grid");  // a grid always has an inverse
  }
};

void Affine(const double* gt, double& x, double& y) {
  const double u = gt[0] + x * gt[1] + y * gt[2];
  y = gt[3] + x * gt[4] + y * gt[5];
  x = u;
}

// The longitude within 180° of `centre`. The east edge of a whole-world picture comes back a
// hair past 180° east of it and stays there; it would otherwise jump to the west edge.
double WithinHalfTurn(double longitude, double centre) {
  constexpr double kHair = 1e-7;
  const double d = longitude - centre;
  if (d > 180 && d <= 180 + kHair) return longitude;
  return centre + std::remainder(d, 360.0);
}

int ChainTransform(void* arg, int dstToSrc, int n, double* x, double* y, double* z, int* ok) {
  Chain& c = *static_cast<Chain*>(arg);
  for (int i = 0; i < n; ++i) ok[i] = TRUE;
  if (dstToSrc) {
    for (int i = 0; i < n; ++i) Affine(c.grid, x[i], y[i]);
    if (c.toMap) c.toMap->Transform(static_cast<size_t>(n), x, y, z, nullptr, ok);
    for (int i = 0; i < n; ++i)
      if (ok[i]) ok[i] = c.picture->ToPixel(x[i], y[i], x[i], y[i]);
  } else {
    for (int i = 0; i < n; ++i) ok[i] = c.picture->ToMap(x[i], y[i], x[i], y[i]);
    if (c.toLonLat) {
      std::vector<int> more(static_cast<size_t>(n), TRUE);
      c.toLonLat->Transform(static_cast<size_t>(n), x, y, z, nullptr, more.data());
      for (int i = 0; i < n; ++i) ok[i] = ok[i] && more[i];
    }
    if (std::isfinite(c.centreLongitude))
      for (int i = 0; i < n; ++i) x[i] = WithinHalfTurn(x[i], c.centreLongitude);
    for (int i = 0; i < n; ++i)
      if (ok[i]) Affine(c.gridInverse, x[i], y[i]);
  }
  return TRUE;
}

// ---- In-memory datasets over picture buffers ----

std::unique_ptr<GDALDataset> MemoryDataset(int32_t w, int32_t h) {
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  return std::unique_ptr<GDALDataset>(mem->Create("", w, h, 0, GDT_Byte, nullptr));
}

void AddByteBand(GDALDataset& ds, const uint8_t* first, int pixelOffset, ptrdiff_t lineOffset) {
  char pointer[64], pixel[32], line[48];
  std::snprintf(pointer, sizeof pointer, "DATAPOINTER=%p", static_cast<const void*>(first));
  std::snprintf(pixel, sizeof pixel, "PIXELOFFSET=%d", pixelOffset);
  std::snprintf(line, sizeof line, "LINEOFFSET=%td", lineOffset);
  char* options[] = {pointer, pixel, line, nullptr};
  ds.AddBand(GDT_Byte, options);
}

// The source: one index band, or R, G, B (and the footprint as alpha) of a direct picture.
std::unique_ptr<GDALDataset> SourceDataset(const Picture& p) {
  auto ds = MemoryDataset(p.width, p.height);
  if (p.IsIndexed()) {
    AddByteBand(*ds, p.Bits(), 1, p.Stride());
    return ds;
  }
  for (int b = 0; b < (p.footprint ? 4 : 3); ++b) AddByteBand(*ds, p.Bits() + b, 4, p.Stride());
  return ds;
}

// The grid's rows first..last of an R, G, B, X buffer; an indexed source's index lands in R.
std::unique_ptr<GDALDataset> StripDataset(uint8_t* buffer, int32_t w, int32_t first, int32_t last,
                                          int colourBands) {
  auto ds = MemoryDataset(w, last - first);
  uint8_t* top = buffer + static_cast<size_t>(first) * w * 4;
  for (int b = 0; b < colourBands; ++b) AddByteBand(*ds, top + b, 4, ptrdiff_t{w} * 4);
  AddByteBand(*ds, top + 3, 4, ptrdiff_t{w} * 4);  // the footprint, as the warper's alpha
  return ds;
}

struct Grid {
  double gt[6];
  double ownSeconds = 0;  // the pixel GDAL would have chosen, before the 10" floor
  int32_t w = 0, h = 0;
  int32_t west = 0, east = 0, north = 0, south = 0;
};

// Whether the pole at `latitude` (90 or -90) lies on the picture.
bool PoleOnPicture(const Chain& chain, double latitude, int width, int height) {
  double x = 0, y = latitude, z = 0;
  int ok = TRUE;
  if (chain.toMap && !chain.toMap->Transform(1, &x, &y, &z, nullptr, &ok)) return false;
  if (!ok || !chain.picture->ToPixel(x, y, x, y)) return false;
  return x >= 0 && x <= width && y >= 0 && y <= height;
}

// The suggested extent is whole pixels of the suggested size from its west and north edges,
// so it may stop short of the picture's east and south edges by up to half a pixel (a
// whole-world picture lost its last 0.37°). The edges themselves are taken in.
void ReachEdges(Chain& chain, int width, int height, double extent[4]) {
  constexpr int kSteps = 64;
  std::vector<double> x, y, z;
  for (int i = 0; i <= kSteps; ++i) {
    const double u = width * double(i) / kSteps, v = height * double(i) / kSteps;
    for (const auto& [px, py] : {std::pair{u, 0.0}, {u, double(height)}, {0.0, v}, {double(width), v}}) {
      x.push_back(px);
      y.push_back(py);
    }
  }
  z.assign(x.size(), 0);
  std::vector<int> ok(x.size(), FALSE);
  ChainTransform(&chain, FALSE, static_cast<int>(x.size()), x.data(), y.data(), z.data(), ok.data());
  for (size_t i = 0; i < x.size(); ++i) {
    if (!ok[i] || !std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
    extent[0] = std::min(extent[0], x[i]);
    extent[1] = std::min(extent[1], y[i]);
    extent[2] = std::max(extent[2], x[i]);
    extent[3] = std::max(extent[3], y[i]);
  }
}

// The suggested extent follows the picture's edges; a pole inside a polar picture lies beyond
// every edge point, so the grid is taken up to it and round the whole world.
void ReachPoles(const Chain& chain, int width, int height, double extent[4]) {
  const bool north = PoleOnPicture(chain, 90, width, height);
  const bool south = PoleOnPicture(chain, -90, width, height);
  if (north) extent[3] = 90;
  if (south) extent[1] = -90;
  if (!north && !south) return;
  const double centre = std::isfinite(chain.centreLongitude) ? chain.centreLongitude : 0;
  extent[0] = centre - 180;
  extent[2] = centre + 180;
}

Grid SuggestedGrid(GDALDataset& source, Chain& chain) {
  double gt[6], extent[4];
  int w = 0, h = 0;
  QuietGdalErrors quiet;
  if (GDALSuggestedWarpOutput2(GDALDataset::ToHandle(&source), ChainTransform, &chain, gt, &w, &h,
                               extent, 0) != CE_None)
    Refuse(Tr("georef", "画像の位置を経緯度に変換できません: 基準点または座標参照系が画像を地球の外に置いています."));
  ReachEdges(chain, source.GetRasterXSize(), source.GetRasterYSize(), extent);
  ReachPoles(chain, source.GetRasterXSize(), source.GetRasterYSize(), extent);
  // A hair beyond ±180° is ±180°: a turn east for it would leave the grid a sliver.
  for (const int i : {0, 2})
    if (std::fabs(std::fabs(extent[i]) - 180) < 1e-6) extent[i] = std::copysign(180.0, extent[i]);
  const double seconds = std::max(gt[1] * 3600, kFinestPixelSeconds);
  Grid g;
  g.ownSeconds = gt[1] * 3600;
  // West of -180° the grid is the same place a turn further east.
  const double shift = extent[0] < -180 ? 360 : 0;
  g.west = static_cast<int32_t>(std::floor((extent[0] + shift) * 3600));
  g.east = static_cast<int32_t>(std::ceil(std::min(extent[2] + shift, extent[0] + shift + 360) * 3600));
  g.south = static_cast<int32_t>(std::floor(std::max(extent[1], -90.0) * 3600));
  g.north = static_cast<int32_t>(std::ceil(std::min(extent[3], 90.0) * 3600));
  if (g.east <= g.west || g.north <= g.south)
    Refuse(Tr("georef", "画像の位置を経緯度に変換できません: 基準点または座標参照系が画像を地球の外に置いています."));
  g.east = std::min(g.east, g.west + 1296000);
  const double w64 = std::max(1.0, std::floor((g.east - g.west) / seconds));
  const double h64 = std::max(1.0, std::floor((g.north - g.south) / seconds));
  if (w64 > INT32_MAX / 4 || h64 > INT32_MAX / 4)
    Refuse(Tr("georef", "変換後の画像が大きすぎます."));
  g.w = static_cast<int32_t>(w64);
  g.h = static_cast<int32_t>(h64);
  g.gt[0] = g.west / 3600.0;
  g.gt[1] = (g.east - g.west) / 3600.0 / g.w;
  g.gt[2] = 0;
  g.gt[3] = g.north / 3600.0;
  g.gt[4] = 0;
  g.gt[5] = -(g.north - g.south) / 3600.0 / g.h;
  return g;
}

int64_t DefaultLimitBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return int64_t{1} << 30;
  return static_cast<int64_t>(pages) * pageSize / 4;
}

void CheckSize(const Grid& g, const WarpLimits& limits) {
  const int64_t bytes = int64_t{g.w} * g.h * 4;
  const int64_t limit = limits.maxBytes > 0 ? limits.maxBytes : DefaultLimitBytes();
  if (bytes > limit)
    Refuse(Arg(Tr("georef", "経緯度に変換した画像は %1x%2 ピクセル (%3MB) になり, 上限の %4MB を超えます."),
               {Num(g.w), Num(g.h), Num(bytes >> 20), Num(limit >> 20)}));
}

// Warps rows first..last of the grid in this thread.
std::string WarpStrip(const Picture& source, const Georeference& georef,
                      const OGRSpatialReference& crs, bool lonLat, const Grid& grid,
                      uint8_t* buffer, int32_t first, int32_t last, double centreLongitude) {
  QuietGdalErrors quiet;
  auto src = SourceDataset(source);
  const int colourBands = source.IsIndexed() ? 1 : 3;
  auto dst = StripDataset(buffer, grid.w, first, last, colourBands);
  Chain chain(*georef.transform, crs, lonLat);
  chain.centreLongitude = centreLongitude;
  double gt[6];
  std::copy(grid.gt, grid.gt + 6, gt);
  gt[3] += first * gt[5];
  chain.SetGrid(gt);
  void* approx = GDALCreateApproxTransformer(ChainTransform, &chain, 0.125);
  GDALWarpOptions* o = GDALCreateWarpOptions();
  o->hSrcDS = GDALDataset::ToHandle(src.get());
  o->hDstDS = GDALDataset::ToHandle(dst.get());
  o->nBandCount = colourBands;
  o->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int) * colourBands));
  o->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int) * colourBands));
  for (int b = 0; b < colourBands; ++b) o->panSrcBands[b] = o->panDstBands[b] = b + 1;
  if (source.footprint && !source.IsIndexed()) o->nSrcAlphaBand = 4;
  o->nDstAlphaBand = colourBands + 1;
  o->eResampleAlg = GRA_NearestNeighbour;
  o->pfnTransformer = GDALApproxTransform;
  o->pTransformerArg = approx;
  o->papszWarpOptions = CSLSetNameValue(o->papszWarpOptions, "INIT_DEST", "0");
  o->dfWarpMemoryLimit = 256.0 * 1024 * 1024;
  std::string failure;
  GDALWarpOperation op;
  if (op.Initialize(o) != CE_None || op.ChunkAndWarpImage(0, 0, grid.w, last - first) != CE_None)
    failure = quiet.LastMessage().empty() ? "the warp failed" : quiet.LastMessage();
  GDALDestroyWarpOptions(o);
  GDALDestroyApproxTransformer(approx);
  return failure;
}

// An indexed source was warped as indexes: they become the palette's colours, in place.
void ColourIndexes(uint8_t* buffer, size_t pixels, const Picture::Palette& palette) {
  for (size_t i = 0; i < pixels; ++i) {
    uint8_t* px = buffer + 4 * i;
    if (px[3] == 0) {
      px[0] = 0;
      continue;
    }
    const int32_t c = palette[px[0]];
    px[0] = static_cast<uint8_t>(c & 0xFF);
    px[1] = static_cast<uint8_t>((c >> 8) & 0xFF);
    px[2] = static_cast<uint8_t>((c >> 16) & 0xFF);
  }
}

// The terms of a transformation that moves and scales the picture along the axes only, whatever
// fit made it: a control-point fit of a longitude/latitude box is one up to rounding. A
// second-order or thin-plate-spline fit may bend the inside with its corners on a box, so the
// inside is sampled as well as the corners.
bool NorthUpTerms(const PictureTransform& t, int32_t w, int32_t h, double gt[6]) {
  double x0, y0, xw, yw, xh, yh;
  if (!t.ToMap(0, 0, x0, y0) || !t.ToMap(w, 0, xw, yw) || !t.ToMap(0, h, xh, yh)) return false;
  gt[0] = x0, gt[1] = (xw - x0) / w, gt[2] = 0, gt[3] = y0, gt[4] = 0, gt[5] = (yh - y0) / h;
  // Within a thousandth of a pixel everywhere.
  const double slackX = std::abs(gt[1]) * 1e-3, slackY = std::abs(gt[5]) * 1e-3;
  constexpr int kSteps = 8;
  for (int i = 0; i <= kSteps; ++i) {
    for (int j = 0; j <= kSteps; ++j) {
      const double px = static_cast<double>(w) * i / kSteps, py = static_cast<double>(h) * j / kSteps;
      double x, y;
      if (!t.ToMap(px, py, x, y)) return false;
      if (!(std::abs(x - (gt[0] + px * gt[1])) <= slackX && std::abs(y - (gt[3] + py * gt[5])) <= slackY))
        return false;  // NaN fails too
    }
  }
  return true;
}

// An east edge past 180° lies on the other side (the extents then cross the 180° meridian).
int32_t EastInRange(int32_t east) { return east > 648000 ? east - 1296000 : east; }

// The longitude of the picture's centre, NAN when it has none.
double CentreLongitude(const Picture& source, Chain& chain) {
  double x = source.width / 2.0, y = source.height / 2.0, z = 0;
  int ok = FALSE;
  ChainTransform(&chain, FALSE, 1, &x, &y, &z, &ok);
  return ok ? x : NAN;
}

// A lon/lat picture on a north-up grid of at least 10" per pixel needs no warp: its own pixels
// are the grid.
std::optional<PlacedPicture> AsItIs(const Picture& source, const Georeference& georef, bool lonLat) {
  double gt[6];
  if (!lonLat || !NorthUpTerms(*georef.transform, source.width, source.height, gt)) return std::nullopt;
  if (gt[1] * 3600 < kFinestPixelSeconds || -gt[5] * 3600 < kFinestPixelSeconds) return std::nullopt;
  if (!std::all_of(gt, gt + 6, [](double v) { return std::isfinite(v) && std::abs(v) < 1e6; })) return std::nullopt;
  // Longitudes counted past 180° (0..360, or a sheet at 300..400) are the same meridians a whole
  // turn round: warped instead, the grid would take square pixels and coarsen the picture. The
  // turn is taken on the edges as the map rounds them, so a hair west of 180° W stays there.
  const double west = std::nearbyint(gt[0] * 3600);
  const double shift = -std::floor((west + 648000) / 1296000) * 1296000;
  PlacedPicture placed;
  placed.picture = source;
  placed.west = static_cast<int32_t>(west + shift);
  placed.east = static_cast<int32_t>(std::nearbyint((gt[0] + source.width * gt[1]) * 3600) + shift);
  placed.north = static_cast<int32_t>(std::nearbyint(gt[3] * 3600));
  placed.south = static_cast<int32_t>(std::nearbyint((gt[3] + source.height * gt[5]) * 3600));
  if (placed.west < -648000 || placed.west >= 648000 || placed.east - placed.west > 1296000 ||
      placed.north > 324000 || placed.south < -324000)
    return std::nullopt;
  placed.east = EastInRange(placed.east);
  return placed;
}

}  // namespace

namespace {

// Pixel <-> map CRS <-> longitude/latitude, one point at a time (for the window's clicks).
class LonLatTransform final : public PictureTransform {
 public:
  LonLatTransform(const Georeference& georef, const OGRSpatialReference& crs) : picture_(georef.transform) {
    const OGRSpatialReference wgs84 = LonLat();
    toLonLat_.reset(OGRCreateCoordinateTransformation(&crs, &wgs84));
    toMap_.reset(OGRCreateCoordinateTransformation(&wgs84, &crs));
    if (!toLonLat_ || !toMap_) Refuse(Tr("georef", "画像の座標参照系から経緯度 (WGS 84) へ変換できません."));
  }
  bool ToMap(double px, double py, double& x, double& y) const override {
    return picture_->ToMap(px, py, x, y) && toLonLat_->Transform(1, &x, &y);
  }
  bool ToPixel(double x, double y, double& px, double& py) const override {
    return toMap_->Transform(1, &x, &y) && picture_->ToPixel(x, y, px, py);
  }

 private:
  std::shared_ptr<const PictureTransform> picture_;
  std::unique_ptr<OGRCoordinateTransformation> toLonLat_, toMap_;
};

}  // namespace

std::shared_ptr<const PictureTransform> InLonLat(const Georeference& georef) {
  EnsureGdalRegistered();
  const OGRSpatialReference crs = CrsOf(georef);
  if (IsWgs84LonLat(crs)) return georef.transform;
  return std::make_shared<LonLatTransform>(georef, crs);
}

namespace {

// A footprint with no pixel left: the transformation put the whole picture off the globe.
bool AnyPixelPlaced(const std::vector<uint8_t>& bgrx) {
  for (size_t i = 3; i < bgrx.size(); i += 4)
    if (bgrx[i]) return true;
  return false;
}

}  // namespace

PlacedPicture PlaceOnLonLatGrid(const Picture& source, const Georeference& georef,
                                const WarpLimits& limits) {
  EnsureGdalRegistered();
  QuietGdalErrors quiet;  // a point off the projection is the picture's fault, said below
  if (source.Empty() || !georef.transform) Refuse(Tr("georef", "画像の位置が決まっていません."));
  const OGRSpatialReference crs = CrsOf(georef);
  const bool lonLat = IsWgs84LonLat(crs);
  if (auto placed = AsItIs(source, georef, lonLat)) return *placed;

  auto src = SourceDataset(source);
  Chain probe(*georef.transform, crs, lonLat);
  const double centre = CentreLongitude(source, probe);
  probe.centreLongitude = centre;
  const Grid grid = SuggestedGrid(*src, probe);
  // The grid's pixels are 10" at the finest: a picture of finer pixels over a few seconds
  // of arc comes out of the warp smaller than the conversion takes.
  if (grid.w < 16 || grid.h < 16)
    Refuse(Arg(Tr("georef", "経緯度の格子 (1 ピクセル 10″ 以上) に載せると %1x%2 ピクセルにしかなりません: "
                            "画像の範囲が狭すぎます (16x16 ピクセル以上が必要です)."),
               {Num(grid.w), Num(grid.h)}));
  CheckSize(grid, limits);
  const size_t pixels = size_t(grid.w) * size_t(grid.h);
  auto buffer = std::make_shared<std::vector<uint8_t>>();
  try {
    buffer->assign(pixels * 4, 0);
  } catch (const std::bad_alloc&) {
    Refuse(Arg(Tr("georef", "経緯度に変換した画像 (%1x%2 ピクセル) のためのメモリが足りません."),
               {Num(grid.w), Num(grid.h)}));
  }
  const int threads = std::clamp<int>(limits.threads > 0 ? limits.threads
                                                         : int(std::thread::hardware_concurrency()),
                                      1, std::max(1, grid.h / 64));
  std::vector<std::string> failures(static_cast<size_t>(threads));
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    const int32_t first = int32_t(int64_t{grid.h} * t / threads);
    const int32_t last = int32_t(int64_t{grid.h} * (t + 1) / threads);
    workers.emplace_back([&, t, first, last] {
      try {
        failures[t] = WarpStrip(source, georef, crs, lonLat, grid, buffer->data(), first, last, centre);
      } catch (const Error& e) {
        failures[t] = ToUtf8(e.Description());
      }
    });
  }
  for (std::thread& w : workers) w.join();
  for (const std::string& f : failures)
    if (!f.empty()) Refuse(FromUtf8(f));
  if (!AnyPixelPlaced(*buffer))
    Refuse(Tr("georef", "画像の位置を経緯度に変換できません: 基準点または座標参照系が画像を地球の外に置いています."));
  if (const Picture::Palette* palette = source.ColourTable()) ColourIndexes(buffer->data(), pixels, *palette);

  PlacedPicture placed;
  placed.picture = Picture::Direct(grid.w, grid.h, buffer->data(), ptrdiff_t{grid.w} * 4, buffer);
  placed.picture.footprint = true;
  placed.west = grid.west;
  placed.east = EastInRange(grid.east);
  placed.north = grid.north;
  placed.south = grid.south;
  placed.warped = true;
  placed.ownSeconds = grid.ownSeconds;
  return placed;
}

}  // namespace picmap
