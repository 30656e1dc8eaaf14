// Where the picture lies on the globe, and the undo and redo stacks of its changes. Every
// change of placement the user makes (an edge or move drag, an edge typed in, the whole
// world, a world file) is one step; undoing restores the placement exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/georef.h"

namespace picmap {

// The control points of a picture and the transformation fitted to them. Each change makes a
// new one, so a placement can keep the one it had.
struct ControlPointState {
  ControlPointSet set;
  TransformKind kind = TransformKind::Poly1;
};

// A picture warped by a georeference of its own (a GeoTIFF's, a world file's): the warp and
// the way from longitude/latitude back to the pixels as opened.
struct OwnPlacement {
  PlacedPicture placed;
  std::shared_ptr<const PictureTransform> inLonLat;
};

// Extents in arc-seconds, as ConversionState keeps them, the control points behind them, and
// the picture's own placement that is shown when no points fit.
struct Placement {
  int32_t west = 0;
  int32_t east = 0;
  int32_t north = 0;
  int32_t south = 0;
  std::shared_ptr<const ControlPointState> points;
  std::shared_ptr<const OwnPlacement> own;
  friend bool operator==(const Placement&, const Placement&) = default;
};

class PlacementHistory {
 public:
  // Bounds the memory a long session of small drags can take; the oldest steps go first.
  static constexpr size_t kMaxSteps = 1000;

  // `before` was the placement until a change that has just been made. A step that changed
  // nothing is not kept; a new step makes the undone ones unreachable.
  void Changed(const Placement& before, const Placement& after);
  // The placement to return to, given the current one; false when there is nothing to undo.
  bool Undo(Placement& current);
  bool Redo(Placement& current);
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  void Clear();

 private:
  std::vector<Placement> undo_;
  std::vector<Placement> redo_;
};

}  // namespace picmap
