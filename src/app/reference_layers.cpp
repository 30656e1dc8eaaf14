#include "app/reference_layers.h"

#include <gdal_priv.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "support/errors.h"
#include "support/library.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

constexpr double kSecondsPerDegree = 3600;
// A raster patch is never read larger than this on a side, however far the view is zoomed.
constexpr int32_t kMaxPatchSide = 8192;

void RegisterGdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

[[noreturn]] void Refuse(const std::u16string& path, const std::u16string& why) {
  throw Error(err::kClassDefault, u"ReferenceLayer.Open/", path + u": " + why);
}

std::u16string LastGdalError() {
  const char* m = CPLGetLastErrorMsg();
  return m && *m ? FromUtf8(m) : Tr("ReferenceLayer", "GDAL で読み込めません");
}

struct DatasetClose {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetClose>;

OGRSpatialReference Wgs84() {
  OGRSpatialReference srs;
  srs.importFromEPSG(4326);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

std::string Wgs84Wkt() {
  char* wkt = nullptr;
  Wgs84().exportToWkt(&wkt);
  std::string s = wkt ? wkt : "";
  CPLFree(wkt);
  return s;
}

// Without a CRS a layer is taken for longitude/latitude when its extent fits the globe.
bool FitsTheGlobe(double minX, double maxX, double minY, double maxY) {
  return minX >= -180.5 && maxX <= 360.5 && minY >= -90.5 && maxY <= 90.5;
}

}  // namespace

// ---- GeoBox ----

GeoBox GeoBox::None() {
  constexpr double inf = std::numeric_limits<double>::infinity();
  return {inf, -inf, inf, -inf};
}

void GeoBox::Add(double lon, double lat) {
  west = std::min(west, lon);
  east = std::max(east, lon);
  south = std::min(south, lat);
  north = std::max(north, lat);
}

// ---- LineStore ----

void LineStore::AddLine(const double* lonLat, size_t n) {
  if (n < 2) return;
  for (size_t first = 0; first + 1 < n; first += kRunPoints - 1)
    AddRun(lonLat + 2 * first, static_cast<uint32_t>(std::min<size_t>(kRunPoints, n - first)));
}

void LineStore::AddRun(const double* lonLat, uint32_t n) {
  Run run;
  run.first = static_cast<uint32_t>(xy_.size() / 2);
  run.count = n;
  run.box = GeoBox::None();
  for (uint32_t i = 0; i < n; ++i) run.box.Add(lonLat[2 * i], lonLat[2 * i + 1]);
  xy_.insert(xy_.end(), lonLat, lonLat + 2 * n);
  bounds_.Add(run.box.west, run.box.south);
  bounds_.Add(run.box.east, run.box.north);
  runs_.push_back(run);
}

void LineStore::ForEachRunIn(const GeoBox& view,
                             const std::function<void(const double*, uint32_t)>& f) const {
  for (const Run& r : runs_)
    if (r.box.Meets(view)) f(xy_.data() + 2 * size_t{r.first}, r.count);
}

LineStore LineStore::Thinned(double tolerance) const {
  LineStore out;
  out.xy_.reserve(xy_.size() / 4);
  out.runs_.reserve(runs_.size());
  std::vector<double> kept;
  const double t2 = tolerance * tolerance;
  for (const Run& r : runs_) {
    const double* p = xy_.data() + 2 * size_t{r.first};
    kept.assign(p, p + 2);
    for (uint32_t i = 1; i + 1 < r.count; ++i) {
      const double dx = p[2 * i] - kept[kept.size() - 2], dy = p[2 * i + 1] - kept.back();
      if (dx * dx + dy * dy >= t2) kept.insert(kept.end(), p + 2 * i, p + 2 * i + 2);
    }
    kept.insert(kept.end(), p + 2 * (r.count - 1), p + 2 * r.count);
    Run t;
    t.first = static_cast<uint32_t>(out.xy_.size() / 2);
    t.count = static_cast<uint32_t>(kept.size() / 2);
    t.box = r.box;
    out.xy_.insert(out.xy_.end(), kept.begin(), kept.end());
    out.runs_.push_back(t);
  }
  out.bounds_ = bounds_;
  return out;
}

// ---- Vector layers ----

namespace {

class LineCollector {
 public:
  explicit LineCollector(LineStore& store) : store_(store) {}

  void Add(const OGRGeometry* g) {
    if (!g || g->IsEmpty()) return;
    switch (wkbFlatten(g->getGeometryType())) {
      case wkbLineString:
      case wkbLinearRing:
        AddCurve(*g->toLineString());
        break;
      case wkbPolygon:
        for (const OGRLinearRing* ring : *g->toPolygon()) AddCurve(*ring);
        break;
      case wkbMultiLineString:
      case wkbMultiPolygon:
      case wkbGeometryCollection:
      case wkbMultiCurve:
      case wkbMultiSurface:
        for (const OGRGeometry* part : *g->toGeometryCollection()) Add(part);
        break;
      case wkbPoint:
      case wkbMultiPoint:
        break;  // points say nothing about where a coast or border runs
      default: {
        std::unique_ptr<OGRGeometry> linear(g->getLinearGeometry());
        if (linear && wkbFlatten(linear->getGeometryType()) != wkbFlatten(g->getGeometryType()))
          Add(linear.get());
      }
    }
  }

 private:
  void AddCurve(const OGRSimpleCurve& c) {
    const int n = c.getNumPoints();
    xy_.resize(2 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      xy_[2 * size_t(i)] = c.getX(i) * kSecondsPerDegree;
      xy_[2 * size_t(i) + 1] = c.getY(i) * kSecondsPerDegree;
    }
    store_.AddLine(xy_.data(), static_cast<size_t>(n));
  }

  LineStore& store_;
  std::vector<double> xy_;
};

std::unique_ptr<OGRCoordinateTransformation> ToWgs84(OGRLayer& layer, const std::u16string& path) {
  const OGRSpatialReference* srs = layer.GetSpatialRef();
  if (!srs) {
    OGREnvelope e;
    if (layer.GetExtent(&e, TRUE) == OGRERR_NONE && !FitsTheGlobe(e.MinX, e.MaxX, e.MinY, e.MaxY))
      Refuse(path, Tr("ReferenceLayer", "座標系がなく, 座標も経度緯度ではありません"));
    return nullptr;
  }
  OGRSpatialReference source(*srs);
  source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const OGRSpatialReference target = Wgs84();
  std::unique_ptr<OGRCoordinateTransformation> ct(
      OGRCreateCoordinateTransformation(&source, &target));
  if (!ct) Refuse(path, Tr("ReferenceLayer", "座標系を経度緯度に変換できません"));
  return ct;
}

}  // namespace

void ReferenceLayer::ReadVector(void* dataset) {
  auto* ds = static_cast<GDALDataset*>(dataset);
  LineCollector collect(lines_);
  for (OGRLayer* layer : ds->GetLayers()) {
    auto ct = ToWgs84(*layer, path_);
    layer->ResetReading();
    for (const auto& feature : *layer) {
      const OGRGeometry* g = feature->GetGeometryRef();
      if (!g) continue;
      if (!ct) {
        collect.Add(g);
        continue;
      }
      std::unique_ptr<OGRGeometry> copy(g->clone());
      if (copy->transform(ct.get()) == OGRERR_NONE) collect.Add(copy.get());
    }
  }
  if (lines_.PointCount() == 0) Refuse(path_, Tr("ReferenceLayer", "線も多角形もありません"));
}

// Each octave of zoom has its copy thinned to about half a pixel; from a few arc-seconds a
// pixel on, the lines are drawn as read.
const LineStore& ReferenceLayer::LinesFor(double scale) {
  const int octave = static_cast<int>(std::floor(std::log2(std::max(scale, 1e-9))));
  const double tolerance = 0.7 / std::exp2(octave + 1);
  if (tolerance < 2) return lines_;
  auto it = thinned_.find(octave);
  if (it == thinned_.end()) it = thinned_.emplace(octave, lines_.Thinned(tolerance)).first;
  return it->second;
}

// ---- Raster layers ----

struct ReferenceLayer::Raster {
  DatasetPtr source;
  DatasetPtr warped;  // onto longitude/latitude, when the source is not north-up on it
  GDALDataset* Use() const { return warped ? warped.get() : source.get(); }
  double gt[6] = {0, 1, 0, 0, 0, -1};
  double low = 0, high = 255;  // the grey band's range
  RasterPatch last;
  double lastScale = 0;

  GeoBox Bounds() const {
    GDALDataset* d = Use();
    const double w = gt[0], e = gt[0] + d->GetRasterXSize() * gt[1];
    const double n = gt[3], s = gt[3] + d->GetRasterYSize() * gt[5];
    return {std::min(w, e) * kSecondsPerDegree, std::max(w, e) * kSecondsPerDegree,
            std::min(n, s) * kSecondsPerDegree, std::max(n, s) * kSecondsPerDegree};
  }
  void Read(const GeoBox& box, double scale, RasterPatch& out) const;
};

void ReferenceLayer::OpenRaster(void* dataset) {
  raster_ = std::make_unique<Raster>();
  raster_->source.reset(static_cast<GDALDataset*>(dataset));
  GDALDataset* ds = raster_->source.get();
  std::string wkt = ds->GetProjectionRef() ? ds->GetProjectionRef() : "";
  const bool hasGcps = ds->GetGCPCount() > 0;
  if (wkt.empty() && hasGcps && ds->GetGCPProjection()) wkt = ds->GetGCPProjection();
  double gt[6];
  const bool hasGt = ds->GetGeoTransform(gt) == CE_None;
  if (!hasGt && !hasGcps) Refuse(path_, Tr("ReferenceLayer", "地球上の位置を示す情報がありません"));
  OGRSpatialReference srs;
  if (!wkt.empty()) srs.importFromWkt(wkt.c_str());
  const bool northUp = hasGt && gt[2] == 0 && gt[4] == 0;
  if (wkt.empty()) {
    if (!northUp || !FitsTheGlobe(gt[0], gt[0] + ds->GetRasterXSize() * gt[1],
                                  gt[3] + ds->GetRasterYSize() * gt[5], gt[3]))
      Refuse(path_, Tr("ReferenceLayer", "座標系がなく, 座標も経度緯度ではありません"));
  }
  if (wkt.empty() || (northUp && srs.IsGeographic() && !hasGcps)) {
    std::copy(gt, gt + 6, raster_->gt);
  } else {
    GDALWarpOptions* options = GDALCreateWarpOptions();
    options->nDstAlphaBand = ds->GetRasterCount() + 1;  // outside the source stays see-through
    const std::string target = Wgs84Wkt();
    GDALDatasetH w = GDALAutoCreateWarpedVRT(GDALDataset::ToHandle(ds), wkt.c_str(), target.c_str(),
                                             GRA_NearestNeighbour, 0.125, options);
    GDALDestroyWarpOptions(options);
    if (!w) Refuse(path_, LastGdalError());
    raster_->warped.reset(GDALDataset::FromHandle(w));
    raster_->warped->GetGeoTransform(raster_->gt);
  }
  GDALRasterBand* first = raster_->Use()->GetRasterBand(1);
  if (first->GetRasterDataType() != GDT_Byte && !first->GetColorTable()) {
    double range[2] = {0, 255};
    if (GDALComputeRasterMinMax(GDALRasterBand::ToHandle(first), TRUE, range) == CE_None) {
      raster_->low = range[0];
      raster_->high = range[1] > range[0] ? range[1] : range[0] + 1;
    }
  }
}

namespace {

struct BandRoles {
  GDALRasterBand* red = nullptr;
  GDALRasterBand* green = nullptr;
  GDALRasterBand* blue = nullptr;
  GDALRasterBand* grey = nullptr;
  GDALRasterBand* alpha = nullptr;
};

BandRoles RolesOf(GDALDataset& d) {
  BandRoles r;
  const int n = d.GetRasterCount();
  for (int i = 1; i <= n; ++i) {
    GDALRasterBand* b = d.GetRasterBand(i);
    if (b->GetColorInterpretation() == GCI_AlphaBand) r.alpha = b;
  }
  const int colourBands = n - (r.alpha ? 1 : 0);
  if (colourBands >= 3) {
    r.red = d.GetRasterBand(1);
    r.green = d.GetRasterBand(2);
    r.blue = d.GetRasterBand(3);
  } else {
    r.grey = d.GetRasterBand(1);
  }
  return r;
}

bool ReadBand(GDALRasterBand* b, const GDALRasterIOExtraArg& window, int x, int y, int w, int h,
              int outW, int outH, GDALDataType type, void* buffer) {
  GDALRasterIOExtraArg arg = window;
  return b->RasterIO(GF_Read, x, y, w, h, buffer, outW, outH, type, 0, 0, &arg) == CE_None;
}

}  // namespace

void ReferenceLayer::Raster::Read(const GeoBox& box, double scale, RasterPatch& out) const {
  GDALDataset* d = Use();
  const double x0 = (box.west / kSecondsPerDegree - gt[0]) / gt[1];
  const double x1 = (box.east / kSecondsPerDegree - gt[0]) / gt[1];
  const double y0 = (box.north / kSecondsPerDegree - gt[3]) / gt[5];
  const double y1 = (box.south / kSecondsPerDegree - gt[3]) / gt[5];
  const int ix = std::clamp(static_cast<int>(std::floor(std::min(x0, x1))), 0, d->GetRasterXSize() - 1);
  const int iy = std::clamp(static_cast<int>(std::floor(std::min(y0, y1))), 0, d->GetRasterYSize() - 1);
  const int iw = std::clamp(static_cast<int>(std::ceil(std::max(x0, x1))) - ix, 1, d->GetRasterXSize() - ix);
  const int ih = std::clamp(static_cast<int>(std::ceil(std::max(y0, y1))) - iy, 1, d->GetRasterYSize() - iy);
  // The patch covers the whole source pixels read, so that it lies exactly where they do.
  out.box = {(gt[0] + ix * gt[1]) * kSecondsPerDegree, (gt[0] + (ix + iw) * gt[1]) * kSecondsPerDegree,
             (gt[3] + (iy + ih) * gt[5]) * kSecondsPerDegree, (gt[3] + iy * gt[5]) * kSecondsPerDegree};
  const auto side = [scale](double seconds) {
    return static_cast<int32_t>(std::clamp(std::lround(seconds * scale), 1L, long{kMaxPatchSide}));
  };
  out.width = side(out.box.east - out.box.west);
  out.height = side(out.box.north - out.box.south);
  const size_t n = size_t(out.width) * size_t(out.height);
  GDALRasterIOExtraArg arg;
  INIT_RASTERIO_EXTRA_ARG(arg);
  arg.eResampleAlg = out.width < iw ? GRIORA_Average : GRIORA_NearestNeighbour;
  const BandRoles roles = RolesOf(*d);
  std::vector<uint8_t> r(n), g(n), b(n), a(n, 255);
  if (roles.red) {
    ReadBand(roles.red, arg, ix, iy, iw, ih, out.width, out.height, GDT_Byte, r.data());
    ReadBand(roles.green, arg, ix, iy, iw, ih, out.width, out.height, GDT_Byte, g.data());
    ReadBand(roles.blue, arg, ix, iy, iw, ih, out.width, out.height, GDT_Byte, b.data());
  } else if (const GDALColorTable* table = roles.grey->GetColorTable()) {
    GDALRasterIOExtraArg nearest = arg;
    nearest.eResampleAlg = GRIORA_NearestNeighbour;  // indexes do not average
    std::vector<int32_t> index(n);
    ReadBand(roles.grey, nearest, ix, iy, iw, ih, out.width, out.height, GDT_Int32, index.data());
    for (size_t i = 0; i < n; ++i) {
      const GDALColorEntry* e = table->GetColorEntry(index[i]);
      if (!e) continue;
      r[i] = static_cast<uint8_t>(e->c1), g[i] = static_cast<uint8_t>(e->c2);
      b[i] = static_cast<uint8_t>(e->c3), a[i] = static_cast<uint8_t>(e->c4);
    }
  } else {
    std::vector<double> v(n);
    ReadBand(roles.grey, arg, ix, iy, iw, ih, out.width, out.height, GDT_Float64, v.data());
    int hasNoData = 0;
    const double noData = roles.grey->GetNoDataValue(&hasNoData);
    for (size_t i = 0; i < n; ++i) {
      const double t = std::clamp((v[i] - low) / (high - low), 0.0, 1.0);
      r[i] = g[i] = b[i] = static_cast<uint8_t>(std::lround(t * 255));
      if (hasNoData && v[i] == noData) a[i] = 0;
    }
  }
  if (roles.alpha)
    ReadBand(roles.alpha, arg, ix, iy, iw, ih, out.width, out.height, GDT_Byte, a.data());
  out.argb.resize(n);
  for (size_t i = 0; i < n; ++i)
    out.argb[i] = a[i] < 128 ? 0u : (0xFF000000u | uint32_t{r[i]} << 16 | uint32_t{g[i]} << 8 | b[i]);
}

const RasterPatch& ReferenceLayer::PatchFor(const GeoBox& view, double scale) {
  Raster& ras = *raster_;
  const GeoBox bounds = ras.Bounds();
  GeoBox box{std::max(view.west, bounds.west), std::min(view.east, bounds.east),
             std::max(view.south, bounds.south), std::min(view.north, bounds.north)};
  RasterPatch& last = ras.last;
  if (box.Empty() || box.west == box.east || box.south == box.north) {
    last = RasterPatch{};
    return last;
  }
  const bool same = ras.lastScale == scale && !last.argb.empty() && last.box.west <= box.west &&
                    last.box.east >= box.east && last.box.south <= box.south &&
                    last.box.north >= box.north;
  if (same) return last;
  RasterPatch patch;
  ras.Read(box, scale, patch);
  last = std::move(patch);
  ras.lastScale = scale;
  return last;
}

// ---- Opening ----

ReferenceLayer::~ReferenceLayer() = default;

std::unique_ptr<ReferenceLayer> ReferenceLayer::Open(const std::u16string& path) {
  RegisterGdal();
  std::unique_ptr<ReferenceLayer> layer(new ReferenceLayer);
  layer->path_ = path;
  CPLErrorReset();
  DatasetPtr ds(GDALDataset::Open(ToUtf8(path).c_str(),
                                  GDAL_OF_VECTOR | GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds) Refuse(path, LastGdalError());
  if (ds->GetLayerCount() > 0) {
    layer->kind_ = Kind::Vector;
    layer->ReadVector(ds.get());
  } else if (ds->GetRasterCount() > 0) {
    layer->kind_ = Kind::Raster;
    layer->OpenRaster(ds.release());
  } else {
    Refuse(path, Tr("ReferenceLayer", "ベクターの地物もラスターのバンドもありません"));
  }
  return layer;
}

std::u16string ReferenceLayer::Name() const {
  const size_t slash = path_.find_last_of(u"/\\");
  return slash == std::u16string::npos ? path_ : path_.substr(slash + 1);
}

GeoBox ReferenceLayer::Bounds() const {
  return kind_ == Kind::Raster ? raster_->Bounds() : lines_.Bounds();
}

// ---- The list ----

ReferenceLayer& ReferenceLayers::Add(const std::u16string& path) {
  layers_.push_back(ReferenceLayer::Open(path));
  return *layers_.back();
}

void ReferenceLayers::Remove(size_t index) {
  if (index < layers_.size()) layers_.erase(layers_.begin() + static_cast<ptrdiff_t>(index));
}

}  // namespace picmap
