// A map file read element by element instead of into a document. A reader that hands out
// figures on request (the GDAL driver) walks the file once for where each element lies and
// what it covers, and later reads single elements back into their figures; both go through
// the figures' own element readers, so they read exactly what clsMap::Load reads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace picmap {

class BinaryReader;
class clsMapFigure;
class clsMapPolygon;
class clsMapRem;

// The version the file's header gives (times 100), the reader left at the first element. A
// version 0.99 file has no header: its projection remark, the map's first figure, comes back
// in `projection`. A version the reader does not accept raises the version error of Load.
int16_t ReadMapFileHeader(BinaryReader& r, std::shared_ptr<clsMapRem>& projection);

// Raises Load's invalid-element error: the message with "(Line:line, Figure:code)".
[[noreturn]] void RaiseInvalidElement(const std::u16string& message, int32_t line, int32_t code);

struct MapElement {
  int32_t position = 0;  // the 1-based place of its figure in the map
  int64_t offset = 0;    // where its figure code starts
  int16_t code = 0;
  bool right = false;    // Load would take it: read whole, and its figure is right
  bool bounded = false;  // it has points, and the four bounds below hold their extent
  int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// Reads the header into `version`, then hands every element to `each` in file order. Stops
// with Load's error at an element that cannot be read to its end (an unknown figure code, a
// file cut short), after `each` has seen all the elements before it; an element read whole
// whose figure is not right is handed on with `right` false.
void WalkMapElements(BinaryReader& r, int16_t& version,
                     const std::function<void(const MapElement&)>& each);

// Reads single elements of a file back into figures. Each is read into the one figure of its
// kind the reader keeps, which a figure's reader fills as a new figure would be filled, so a
// reader of a million elements makes no million figures.
class MapElementReader {
 public:
  MapElementReader(BinaryReader& r, int16_t version);
  ~MapElementReader();
  MapElementReader(const MapElementReader&) = delete;
  MapElementReader& operator=(const MapElementReader&) = delete;

  // The figure of the element at `offset`, valid until the next read; Load's errors for an
  // element Load would refuse (named by `position`). Files before 1.06 store no identifiers:
  // the figure's own is then whatever the caller gave it last.
  clsMapFigure& Read(int64_t offset, int32_t position);

 private:
  BinaryReader& r_;
  const int16_t version_;
  std::unique_ptr<clsMapPolygon> rectangle_;  // generated rectangles, read as Load reads them
  std::shared_ptr<clsMapFigure> figures_[6];  // by figure code
};

}  // namespace picmap
