// The main window's single record of what a conversion works on: the extents of the picture
// on the globe, the background colour, the tone setting, the flags of a running job, the map
// being built and the thing catalogue written beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace picmap {

class clsMap;
class clsThings;

// What the pointer is over or dragging in the preview.
struct DragState {
  // Bits 1 west, 2 east, 4 north, 8 south edge; kDragMove inside the area.
  int16_t mode = 0;
  int32_t anchorX = 0;  // pointer position (preview pixels) at the last event of a move drag
  int32_t anchorY = 0;
};

namespace drag {
constexpr int16_t kWest = 1;
constexpr int16_t kEast = 2;
constexpr int16_t kNorth = 4;
constexpr int16_t kSouth = 8;
constexpr int16_t kInsideX = 16;
constexpr int16_t kInsideY = 32;
constexpr int16_t kMove = 48;
}  // namespace drag

struct ConversionState {
  // Extents in arc-seconds: longitudes of the left and right edges, latitudes of the top and
  // bottom edges. east <= west means the area crosses the 180° meridian.
  int32_t west = -648000;
  int32_t east = 648000;
  int32_t north = 324000;
  int32_t south = -324000;
  std::shared_ptr<clsMap> oMap;
  std::shared_ptr<clsThings> things;
  int16_t imagePolygonThing = -1;  // number of the thing "画像ポリゴン"
  int32_t backColor = -1;          // the picture colour that is not mapped; -1 not set
  int16_t toneIndex = 0;           // 0..4: 256, 128, 64, 32, 16 levels per channel
  bool cancelRequest = false;
  bool pictureLoaded = false;  // a picture of at least 16 x 16 pixels has been opened
  bool pictureShown = false;   // a picture of any size is in the picture box and the preview
  std::u16string picturePath;  // the picture in the picture box (its world file lies beside it)
  DragState drag;
};

}  // namespace picmap
