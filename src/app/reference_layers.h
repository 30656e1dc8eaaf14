// Reference layers: vector and raster files GDAL reads, shown under or over the picture in
// the preview so that it can be lined up with real coastlines, borders or imagery.
//
// A vector layer is read once into an in-memory store of lines in arc-seconds (longitude,
// latitude), cut into short runs with a bounding box each, so a view only touches the runs it
// shows. For each zoom octave the store keeps a thinned copy without detail finer than a
// pixel, so drawing costs the same whatever the file's size. A raster layer reads only the
// part in view, resampled to the view's pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace picmap {

// A box in arc-seconds: west <= east, south <= north.
struct GeoBox {
  double west = 0, east = 0, south = 0, north = 0;
  bool Empty() const { return !(west <= east && south <= north); }
  bool Meets(const GeoBox& o) const {
    return west <= o.east && o.west <= east && south <= o.north && o.south <= north;
  }
  void Add(double lon, double lat);
  static GeoBox None();
};

// Lines as runs of points (lon, lat in arc-seconds, interleaved); a long line is cut into
// runs that share their end points.
class LineStore {
 public:
  static constexpr uint32_t kRunPoints = 128;

  struct Run {
    uint32_t first = 0;  // index of the run's first point
    uint32_t count = 0;  // at least 2
    GeoBox box;
  };

  // One whole line of `n` points.
  void AddLine(const double* lonLat, size_t n);
  // The runs meeting `view`, as (points, count); points are lon, lat pairs.
  void ForEachRunIn(const GeoBox& view, const std::function<void(const double*, uint32_t)>& f) const;
  // A copy without the points closer than `tolerance` arc-seconds to the last one kept (the
  // runs' first and last points are always kept).
  LineStore Thinned(double tolerance) const;

  size_t PointCount() const { return xy_.size() / 2; }
  size_t RunCount() const { return runs_.size(); }
  const GeoBox& Bounds() const { return bounds_; }

 private:
  void AddRun(const double* lonLat, uint32_t n);
  std::vector<double> xy_;
  std::vector<Run> runs_;
  GeoBox bounds_ = GeoBox::None();
};

// A part of a raster read for a view: ARGB32 pixels (premultiplied is not needed: alpha is 0
// or 255) covering `box`.
struct RasterPatch {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> argb;
  GeoBox box;
};

class ReferenceLayer {
 public:
  enum class Kind { Vector, Raster };
  ~ReferenceLayer();
  ReferenceLayer(const ReferenceLayer&) = delete;
  ReferenceLayer& operator=(const ReferenceLayer&) = delete;

  // Reads the file; throws Error naming the file and the reason when GDAL cannot read it as
  // a vector or raster layer on the globe.
  static std::unique_ptr<ReferenceLayer> Open(const std::u16string& path);

  Kind GetKind() const { return kind_; }
  const std::u16string& Path() const { return path_; }
  // The file's name without its folder.
  std::u16string Name() const;
  GeoBox Bounds() const;

  bool visible = true;
  bool over = false;     // drawn over the picture instead of under it
  double opacity = 1.0;  // 0 .. 1
  int32_t colour = 0;    // lines: 0x00BBGGRR

  // Vector: the lines to draw at `scale` preview pixels per arc-second, thinned to it.
  const LineStore& LinesFor(double scale);
  const LineStore& AllLines() const { return lines_; }
  // Raster: the part of `view` the raster covers, at `scale` pixels per arc-second. The last
  // patch is kept, so a redraw of the same view reads nothing.
  const RasterPatch& PatchFor(const GeoBox& view, double scale);

 private:
  struct Raster;
  ReferenceLayer() = default;
  void ReadVector(void* dataset);
  void OpenRaster(void* dataset);

  Kind kind_ = Kind::Vector;
  std::u16string path_;
  LineStore lines_;
  std::map<int, LineStore> thinned_;  // by zoom octave
  std::unique_ptr<Raster> raster_;
};

// The layers in the order they are drawn (first at the bottom).
class ReferenceLayers {
 public:
  // Opens and appends the file; throws Error as ReferenceLayer::Open does.
  ReferenceLayer& Add(const std::u16string& path);
  void Remove(size_t index);
  size_t Count() const { return layers_.size(); }
  ReferenceLayer& At(size_t index) { return *layers_.at(index); }
  const ReferenceLayer& At(size_t index) const { return *layers_.at(index); }

 private:
  std::vector<std::unique_ptr<ReferenceLayer>> layers_;
};

}  // namespace picmap
