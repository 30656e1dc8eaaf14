// Placing a picture that is not a longitude/latitude box: the georeferencing a raster carries
// (geotransform and CRS, world file with .prj/.aux.xml, embedded control points), control
// points given by the user, the transformations fitted to them with their residuals, and the
// warp of the picture onto the longitude/latitude grid the generation reads.
//
// The window and the command line both place pictures through this one engine, so the same
// points and transformation give the same map in either.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/picture.h"

namespace picmap {

// The transformations of a georeferencer, by their command-line names.
enum class TransformKind { Linear, Helmert, Poly1, Poly2, Poly3, ThinPlateSpline, Projective };

std::optional<TransformKind> TransformKindNamed(std::string_view name);
const char* TransformName(TransformKind kind);
// The fewest enabled points a transformation can be fitted to.
int MinimumPoints(TransformKind kind);

struct ControlPoint {
  double pixelX = 0, pixelY = 0;  // picture pixels from the top-left corner, y downwards
  double mapX = 0, mapY = 0;      // in the point set's CRS (degrees east and north for WGS 84)
  bool enabled = true;
  // After a fit: where the fit puts the map point on the picture, minus the pixel.
  double residualX = 0, residualY = 0;
  double Residual() const { return std::hypot(residualX, residualY); }
};

struct ControlPointSet {
  std::string crs;  // WKT or anything OGR's SetFromUserInput reads; empty means WGS 84
  std::vector<ControlPoint> points;
};

// Picture pixel <-> map coordinates in one CRS. Both directions may fail for a point (outside
// where the transformation is defined).
class PictureTransform {
 public:
  virtual ~PictureTransform() = default;
  virtual bool ToMap(double px, double py, double& x, double& y) const = 0;
  virtual bool ToPixel(double x, double y, double& px, double& py) const = 0;
};

struct ControlPointFit {
  std::shared_ptr<const PictureTransform> transform;
  std::vector<ControlPoint> points;  // the given points, residuals filled in (0 when disabled)
  double rmsPixels = 0;              // over the enabled points
};

// Fits `kind` to the enabled points of a width x height picture. Throws Error with the reason
// in one line: too few points (and how many the transformation needs), points on one line,
// points outside the picture, a fit that folds the picture over itself.
ControlPointFit FitControlPoints(const ControlPointSet& set, TransformKind kind, int32_t width,
                                 int32_t height);

// QGIS georeferencer point files: an optional "#CRS: WKT" line, the header
// "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual", then one point per line with sourceY
// negative downwards. Reading throws Error naming the file and line.
ControlPointSet ReadPointsFile(const std::u16string& path);
// The control points a picture file carries itself (a GeoTIFF's GCPs) with their CRS, when it
// carries them and no geotransform, which would place it first. std::nullopt otherwise, also
// when the file cannot be read.
std::optional<ControlPointSet> ControlPointsOfFile(const std::u16string& path);
// How control points carried in a file place it when no transformation is chosen: a
// thin-plate spline beyond 20 points, a first-order polynomial up to them.
TransformKind DefaultKindForFilePoints(size_t points);
// Writes through a staged file; the residual columns come from the points.
void WritePointsFile(const std::u16string& path, const ControlPointSet& set);

// How a picture lies on the globe: its pixels -> map coordinates in `crs`.
struct Georeference {
  std::string crs;  // WKT; empty means WGS 84 longitude/latitude
  std::shared_ptr<const PictureTransform> transform;
  std::string origin;  // where it came from, for reports (UTF-8, in the language of the messages)
};

// The georeference's pixels <-> WGS 84 longitude/latitude in degrees (through its CRS). Throws
// Error as PlaceOnLonLatGrid does for a CRS that cannot be turned into longitude/latitude.
std::shared_ptr<const PictureTransform> InLonLat(const Georeference& georef);

// A north-up geotransform (the six world-file terms in GDAL's order) as a transformation.
std::shared_ptr<const PictureTransform> AffineTransform(const double geoTransform[6]);

// The georeferencing a picture file carries itself: a geotransform with a CRS, a world file
// beside it with a .prj or .aux.xml giving the CRS, or control points stored in the file
// (fitted with poly1, or tps beyond 20 points). std::nullopt when it carries none; `note`
// then says why a geotransform without a CRS was not used.
// `crs` (WKT) given, it stands for the CRS of the file's geotransform or world file.
std::optional<Georeference> GeoreferenceOfFile(const std::u16string& path,
                                               std::string* note = nullptr,
                                               const std::string& crs = {});

// The placement by a world file beside the picture whose CRS (a .prj or .aux.xml beside it) is
// projected. None without a world file, without a CRS, or with one in longitude and latitude:
// the world file's terms are then degrees.
std::optional<Georeference> ProjectedWorldFile(const std::u16string& picturePath);

// The placement by a world file in degrees that edges cannot give (rotation terms, or a
// picture upside down or mirrored): the picture is warped by it, as GIS programs place it.
// None without a world file or for a north-up one. Throws Error for one that cannot place
// the width x height picture (pixel size 0, corners beyond ±180° or ±90°).
std::optional<Georeference> RotatedWorldFile(const std::u16string& picturePath, int32_t width, int32_t height);

// A CRS as the user wrote it (EPSG:32654, WKT, a PROJ string) in WKT; throws Error when OGR
// does not know it.
std::string CrsFromUserInput(const std::string& text);
// A CRS's name for reports: "WGS 84" for the empty one; a CRS made from a PROJ string has no
// name of its own ("unknown") and is called by its projection, as "Lambert_Conformal_Conic_2SP",
// or, in longitude and latitude, by its datum.
std::string CrsDisplayName(const std::string& wkt);

// The generation takes no pixel finer than this (arc-seconds): a warp's grid is never finer.
inline constexpr double kFinestPixelSeconds = 10.0;

// A picture placed on a longitude/latitude grid, ready for the generation.
struct PlacedPicture {
  Picture picture;  // outside the source's footprint the X byte is 0 (see Picture::footprint)
  int32_t west = 0, east = 0, north = 0, south = 0;  // arc-seconds, whole grid
  bool warped = false;  // false when the source already was such a grid and is used as it is
  // The warp's pixel as the picture's own resolution would have it (arc-seconds); below the
  // grid's when a picture finer than 10" was coarsened to it.
  double ownSeconds = 0;
};

struct WarpLimits {
  int64_t maxBytes = 0;  // the warped picture's buffer; 0: a quarter of the machine's memory
  int threads = 0;       // 0: every core
};

// Warps `source` by `georef` onto a longitude/latitude grid (nearest neighbour, no new
// colours): GDAL's suggested output, never finer than 10" per pixel. Throws Error with a
// one-line reason (unknown CRS, the picture lies off the globe, too large for the limit).
PlacedPicture PlaceOnLonLatGrid(const Picture& source, const Georeference& georef,
                                const WarpLimits& limits = {});

}  // namespace picmap
