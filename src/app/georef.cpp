// Georeferencing that comes from files: the raster's own, a .prj beside it, QGIS point files,
// and CRSs as users write them.
#include "app/georef.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <mutex>
#include <sstream>

#include "app/georef_internal.h"
#include "app/world_file.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/stagedfile.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

void EnsureGdalRegistered() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

QuietGdalErrors::QuietGdalErrors() {
  CPLPushErrorHandlerEx(&QuietGdalErrors::Keep, this);
}
QuietGdalErrors::~QuietGdalErrors() { CPLPopErrorHandler(); }

void CPL_STDCALL QuietGdalErrors::Keep(CPLErr level, CPLErrorNum, const char* message) {
  if (level < CE_Failure || !message) return;
  static_cast<QuietGdalErrors*>(CPLGetErrorHandlerUserData())->last_ = message;
}

namespace {

[[noreturn]] void Refuse(const std::u16string& why) { Throw(5, u"georef", why); }

std::u16string LineNo(size_t n) { return FromUtf8(std::to_string(n)); }

std::string Trimmed(std::string s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool ReadNumber(const std::string& field, double& value) {
  const std::string f = Trimmed(field);
  const char* end = f.data() + f.size();
  const auto r = std::from_chars(f.data(), end, value);
  return r.ec == std::errc() && r.ptr == end && std::isfinite(value);
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream in(line);
  for (std::string f; std::getline(in, f, ',');) out.push_back(f);
  return out;
}

// mapX,mapY,sourceX,sourceY,enable[,dX,dY,residual]
ControlPoint PointOfLine(const std::string& line, size_t lineNo) {
  const std::vector<std::string> f = Fields(line);
  ControlPoint p;
  double v[4];
  if (f.size() < 4)
    Refuse(Arg(Tr("georef", "%1 行目: 基準点には mapX,mapY,sourceX,sourceY,enable が必要です."),
               {LineNo(lineNo)}));
  for (int i = 0; i < 4; ++i)
    if (!ReadNumber(f[i], v[i]))
      Refuse(Arg(Tr("georef", "%1 行目: '%2' は有限の数ではありません."),
                 {LineNo(lineNo), FromUtf8(Trimmed(f[i]))}));
  p.mapX = v[0];
  p.mapY = v[1];
  p.pixelX = v[2];
  p.pixelY = 0.0 - v[3];  // the georeferencer counts rows negative downwards
  p.enabled = f.size() < 5 || Trimmed(f[4]) != "0";
  return p;
}

std::string Shortest(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string Utf8Path(const std::u16string& path) { return ToUtf8(path); }

std::string WktOf(const OGRSpatialReference& srs) {
  const char* options[] = {"FORMAT=WKT2_2019", "MULTILINE=NO", nullptr};
  std::string wkt;
  char* text = nullptr;
  if (srs.exportToWkt(&text, options) == OGRERR_NONE && text) wkt = text;
  CPLFree(text);
  return wkt;
}

// A CRS written in a file (a .points file's #CRS line, a .prj) is read as a definition only:
// OGR would otherwise take a file name or a URL there and go and read it.
std::string CrsOfFileText(const std::string& text) {
  OGRSpatialReference srs;
  if (Trimmed(text).empty() ||
      srs.SetFromUserInput(Trimmed(text).c_str(),
                           OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS_get()) != OGRERR_NONE)
    return {};
  return WktOf(srs);
}

// The .prj beside a picture whose world file gives a geotransform but no CRS.
std::string CrsOfPrjBeside(const std::u16string& path) {
  const std::u16string prj = ChangeExtension(path, u"prj");
  for (const std::u16string& name : {prj, ChangeExtension(path, u"PRJ")}) {
    std::ifstream in(Utf8Path(name));
    if (!in) continue;
    std::stringstream text;
    text << in.rdbuf();
    if (std::string crs = CrsOfFileText(text.str()); !crs.empty()) return crs;
  }
  return {};
}

bool Invertible(const double gt[6]) {
  double terms[6], inverse[6];
  std::copy(gt, gt + 6, terms);
  return std::all_of(gt, gt + 6, [](double t) { return std::isfinite(t); }) && GDALInvGeoTransform(terms, inverse);
}

[[noreturn]] void RefuseSingularGeoTransform() {
  Refuse(Tr("georef", "座標変換式 (またはワールドファイル) が画素を位置に写せません: 画素の大きさが 0 か, "
                      "行と列が同じ向きです."));
}

std::optional<WorldFileTerms> WorldFileBeside(const std::u16string& path) {
  const std::u16string name = FindWorldFile(path);
  if (name.empty()) return std::nullopt;
  return ReadWorldFile(name);
}

// A world file gives the centre of the upper-left pixel; a geotransform its outer corner.
void GeoTransformOf(const WorldFileTerms& t, double gt[6]) {
  const double terms[6] = {t.c - t.a / 2 - t.b / 2, t.a, t.b, t.f - t.d / 2 - t.e / 2, t.d, t.e};
  std::copy(terms, terms + 6, gt);
}

// The picture's corners through a geotransform, as [x, y] four times.
std::array<std::array<double, 2>, 4> CornersOf(const double gt[6], int width, int height) {
  std::array<std::array<double, 2>, 4> corners{};
  const double px[4] = {0, double(width), 0, double(width)}, py[4] = {0, 0, double(height), double(height)};
  for (int i = 0; i < 4; ++i)
    corners[i] = {gt[0] + px[i] * gt[1] + py[i] * gt[2], gt[3] + px[i] * gt[4] + py[i] * gt[5]};
  return corners;
}

// Half a pixel's reach along x and y: corners that far past a limit are rounding, not a fault.
std::array<double, 2> HalfPixel(const double gt[6]) {
  return {(std::fabs(gt[1]) + std::fabs(gt[2])) / 2, (std::fabs(gt[4]) + std::fabs(gt[5])) / 2};
}

// Rows in degrees beyond a pole would be dropped by the warp unseen; such a geotransform is
// wrong, as a world file beyond the poles is. Control points are fitted, and clipped there.
void RefuseRowsBeyondThePoles(const double gt[6], int width, int height, const std::string& crs) {
  OGRSpatialReference srs;
  if (srs.SetFromUserInput(crs.c_str()) != OGRERR_NONE || !srs.IsGeographic() ||
      std::abs(srs.GetAngularUnits() - M_PI / 180) > 1e-12)
    return;
  const double slack = HalfPixel(gt)[1];
  for (const auto& c : CornersOf(gt, width, height))
    if (std::fabs(c[1]) > 90 + slack) Refuse(Tr("georef", "座標変換式が画像を緯度 ±90° の外まで置いています."));
}

// Twice the equator's length: no projection of the earth spreads a picture of it wider east to
// west (a whole-world Mercator or plate carrée is one length across; north to south a Mercator
// near the poles reaches farther). A geotransform placing the picture wider (pixels of 1e9 m)
// is wrong; warped, it would smear the picture over the whole world.
constexpr double kWidestProjectedMetres = 2 * 40075017.0;

void RefuseAPictureWiderThanTheEarth(const double gt[6], int width, int height, const std::string& crs) {
  OGRSpatialReference srs;
  if (srs.SetFromUserInput(crs.c_str()) != OGRERR_NONE || !srs.IsProjected()) return;
  const auto corners = CornersOf(gt, width, height);
  double reach = 0;
  for (const auto& a : corners)
    for (const auto& b : corners) reach = std::max(reach, std::fabs(a[0] - b[0]));
  if (reach * srs.GetLinearUnits() > kWidestProjectedMetres)
    Refuse(Arg(Tr("georef", "座標変換式が画像を %1 km にわたって置いています. 地球より大きな範囲です."),
               {FromUtf8(std::to_string(std::llround(std::min(reach * srs.GetLinearUnits() / 1000, 9e15))))}));
}

// GDAL passes over a world file whose pixel size is 0 as if there were none, which would leave
// the picture on the whole world without a word.
void RefuseASingularWorldFile(const std::u16string& path) {
  const std::optional<WorldFileTerms> t = WorldFileBeside(path);
  if (!t) return;
  double gt[6];
  GeoTransformOf(*t, gt);
  if (!Invertible(gt)) RefuseSingularGeoTransform();
}

bool IsDefaultGeoTransform(const double gt[6]) {
  return gt[0] == 0 && gt[1] == 1 && gt[2] == 0 && gt[3] == 0 && gt[4] == 0 && gt[5] == 1;
}

// One or two points stored in the file place nothing: the fit says how many it needs, as for
// points given by hand, instead of the picture falling back to the whole world.
std::optional<ControlPointSet> EmbeddedGcps(GDALDataset& ds) {
  const OGRSpatialReference* srs = ds.GetGCPSpatialRef();
  if (ds.GetGCPCount() < 1 || !srs) return std::nullopt;
  ControlPointSet set;
  set.crs = WktOf(*srs);
  const GDAL_GCP* gcps = ds.GetGCPs();
  for (int i = 0; i < ds.GetGCPCount(); ++i)
    set.points.push_back({gcps[i].dfGCPPixel, gcps[i].dfGCPLine, gcps[i].dfGCPX, gcps[i].dfGCPY});
  return set;
}

std::optional<Georeference> FromEmbeddedGcps(GDALDataset& ds) {
  const std::optional<ControlPointSet> set = EmbeddedGcps(ds);
  if (!set) return std::nullopt;
  const TransformKind kind = DefaultKindForFilePoints(set->points.size());
  const ControlPointFit fit = FitControlPoints(*set, kind, ds.GetRasterXSize(), ds.GetRasterYSize());
  return Georeference{set->crs, fit.transform,
                      ToUtf8(Arg(Tr("georef", "画像に収められた基準点 %1 点, %2"),
                                 {FromUtf8(std::to_string(set->points.size())), FromUtf8(TransformName(kind))}))};
}

}  // namespace

ControlPointSet ReadPointsFile(const std::u16string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  if (!in) ThrowFileError(errno, Utf8Path(path));
  ControlPointSet set;
  size_t lineNo = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    line = Trimmed(line);
    if (line.empty()) continue;
    if (line.rfind("#CRS:", 0) == 0) {
      const std::string crs = Trimmed(line.substr(5));
      if (crs.empty()) continue;
      set.crs = CrsOfFileText(crs);
      if (set.crs.empty())
        Refuse(Arg(Tr("georef", "%1 行目: 座標参照系 '%2' がわかりません."),
                   {LineNo(lineNo), FromUtf8(crs.substr(0, 80))}));
      continue;
    }
    if (line[0] == '#' || line.rfind("mapX", 0) == 0) continue;
    set.points.push_back(PointOfLine(line, lineNo));
  }
  if (set.points.empty()) Refuse(Tr("georef", "基準点がありません."));
  return set;
}

void WritePointsFile(const std::u16string& path, const ControlPointSet& set) {
  std::string out = "#CRS: " + (set.crs.empty() ? CrsFromUserInput("EPSG:4326") : set.crs) + "\n";
  out += "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual\n";
  for (const ControlPoint& p : set.points) {
    const bool known = std::isfinite(p.residualX) && std::isfinite(p.residualY);
    out += Shortest(p.mapX) + "," + Shortest(p.mapY) + "," + Shortest(p.pixelX) + "," +
           Shortest(0.0 - p.pixelY) + "," + (p.enabled ? "1" : "0") + "," +
           (known ? Shortest(p.residualX) + "," + Shortest(p.residualY) + "," + Shortest(p.Residual())
                  : std::string("0,0,0")) +
           "\n";
  }
  WriteFileStaged(path, out);
}

std::string CrsFromUserInput(const std::string& text) {
  EnsureGdalRegistered();
  QuietGdalErrors quiet;
  OGRSpatialReference srs;
  if (Trimmed(text).empty() || srs.SetFromUserInput(Trimmed(text).c_str()) != OGRERR_NONE)
    Refuse(Arg(Tr("georef", "座標参照系 '%1' がわかりません (EPSG:32654 のような符号, WKT または PROJ の文字列)."),
               {FromUtf8(text)}));
  return WktOf(srs);
}

std::string CrsDisplayName(const std::string& wkt) {
  if (wkt.empty()) return "WGS 84";
  EnsureGdalRegistered();
  QuietGdalErrors quiet;
  OGRSpatialReference srs;
  if (srs.importFromWkt(wkt.c_str()) != OGRERR_NONE) return "?";
  const char* name = srs.GetName();
  if (name && *name && std::string_view(name) != "unknown") return name;
  for (const char* part : {"PROJECTION", "DATUM"})  // a longitude/latitude one has no projection
    if (const char* value = srs.GetAttrValue(part)) return value;
  return "?";
}

std::optional<Georeference> GeoreferenceOfFile(const std::u16string& path, std::string* note,
                                               const std::string& givenCrs) {
  EnsureGdalRegistered();
  QuietGdalErrors quiet;
  std::unique_ptr<GDALDataset> ds(GDALDataset::Open(
      Utf8Path(path).c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
  if (!ds) return std::nullopt;
  double gt[6];
  if (ds->GetGeoTransform(gt) == CE_None && !IsDefaultGeoTransform(gt)) {
    const OGRSpatialReference* srs = ds->GetSpatialRef();
    std::string crs = !givenCrs.empty() ? givenCrs : srs ? WktOf(*srs) : CrsOfPrjBeside(path);
    if (crs.empty()) {
      if (note) *note = "it has a geotransform (or world file) but no CRS";
      return std::nullopt;
    }
    if (!Invertible(gt)) RefuseSingularGeoTransform();
    RefuseRowsBeyondThePoles(gt, ds->GetRasterXSize(), ds->GetRasterYSize(), crs);
    RefuseAPictureWiderThanTheEarth(gt, ds->GetRasterXSize(), ds->GetRasterYSize(), crs);
    return Georeference{crs, AffineTransform(gt), ToUtf8(Tr("georef", "座標変換式"))};
  }
  // Without a CRS a world file is read only when asked for, and says what is wrong then.
  const bool crsKnown = !givenCrs.empty() || ds->GetSpatialRef() || !CrsOfPrjBeside(path).empty();
  if (ds->GetGCPCount() == 0 && crsKnown) RefuseASingularWorldFile(path);
  return FromEmbeddedGcps(*ds);
}

TransformKind DefaultKindForFilePoints(size_t points) {
  return points > 20 ? TransformKind::ThinPlateSpline : TransformKind::Poly1;
}

std::optional<ControlPointSet> ControlPointsOfFile(const std::u16string& path) {
  EnsureGdalRegistered();
  QuietGdalErrors quiet;
  std::unique_ptr<GDALDataset> ds(GDALDataset::Open(Utf8Path(path).c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds) return std::nullopt;
  double gt[6];
  if (ds->GetGeoTransform(gt) == CE_None && !IsDefaultGeoTransform(gt)) return std::nullopt;
  return EmbeddedGcps(*ds);
}

std::optional<Georeference> ProjectedWorldFile(const std::u16string& picturePath) {
  if (FindWorldFile(picturePath).empty()) return std::nullopt;
  try {
    std::optional<Georeference> own = GeoreferenceOfFile(picturePath);
    if (!own || own->crs.empty()) return std::nullopt;
    OGRSpatialReference crs;
    if (crs.SetFromUserInput(own->crs.c_str()) != OGRERR_NONE || !crs.IsProjected()) return std::nullopt;
    return own;
  } catch (const Error&) {
    return std::nullopt;  // the reading in degrees then says what is wrong with the file
  }
}

std::optional<Georeference> RotatedWorldFile(const std::u16string& picturePath, int32_t width, int32_t height) {
  const std::optional<WorldFileTerms> t = WorldFileBeside(picturePath);
  if (!t || (t->b == 0 && t->d == 0 && t->a > 0 && t->e < 0)) return std::nullopt;
  double gt[6];
  GeoTransformOf(*t, gt);
  if (!Invertible(gt)) RefuseSingularGeoTransform();
  const std::array<double, 2> slack = HalfPixel(gt);
  for (const auto& c : CornersOf(gt, width, height))
    if (std::fabs(c[0]) > 180 + slack[0] || std::fabs(c[1]) > 90 + slack[1])
      Refuse(Tr("frmMain", "ワールドファイルの示す範囲が経度±180度・緯度±90度を超えています."));
  return Georeference{std::string(), AffineTransform(gt), ToUtf8(Tr("georef", "回転または反転したワールドファイル"))};
}

}  // namespace picmap
