// The drawing surface the geometry classes draw on: the four primitives of a 2-D graphics
// interface with the object's own integer coordinates. Pen, brush and coordinate mapping
// belong to the surface's owner. Each primitive reports whether it succeeded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/clsPoly.h"

namespace picmap {

class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;
  // `points` addresses `count` consecutive points (count may be 0).
  virtual bool Polyline(const PolyPoint* points, int32_t count) = 0;
  virtual bool Polygon(const PolyPoint* points, int32_t count) = 0;
  virtual bool Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  // Moves the current position; the previous one is stored through `previous` when given.
  virtual bool MoveTo(int32_t x, int32_t y, PolyPoint* previous) = 0;
  virtual bool LineTo(int32_t x, int32_t y) = 0;
};

// Records every call for tests; each primitive answers `succeed`.
class RecordingSurface : public DrawingSurface {
 public:
  struct Call {
    std::string name;             // "Polyline", "Polygon", "Rectangle", "MoveTo", "LineTo"
    std::vector<int32_t> args;    // the integer arguments in order (count for the lists)
    const PolyPoint* points = nullptr;  // the address passed to Polyline / Polygon
    std::vector<PolyPoint> copied;      // the points found at that address
  };

  bool succeed = true;
  std::vector<Call> calls;

  bool Polyline(const PolyPoint* points, int32_t count) override;
  bool Polygon(const PolyPoint* points, int32_t count) override;
  bool Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool MoveTo(int32_t x, int32_t y, PolyPoint* previous) override;
  bool LineTo(int32_t x, int32_t y) override;

 private:
  bool RecordPoints(const char* name, const PolyPoint* points, int32_t count);
  PolyPoint position_{0, 0};
};

}  // namespace picmap
