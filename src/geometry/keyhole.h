// A polygon with holes as one ring: each hole is joined to the ring by a bridge of zero width
// (a segment walked there and back), the outline counter-clockwise and every hole clockwise.
// The ring covers exactly the polygon's area under both the even-odd and the non-zero rule
// and uses no point that was not a corner of the polygon, so nothing moves on the grid.
#pragma once

#include <optional>
#include <vector>

#include "geometry/clsPoly.h"

namespace picmap {

using Ring = std::vector<PolyPoint>;

// `outer` and `holes` closed or open, in any orientation; holes inside the outline, not
// crossing it or each other (touching at points is fine). Returns the closed joined ring, or
// nothing when no bridge can be found (the input broke those rules).
std::optional<Ring> JoinHoles(Ring outer, std::vector<Ring> holes);

// Twice the signed area (positive counter-clockwise, y up); exact.
__int128 DoubleSignedArea(const Ring& ring);

}  // namespace picmap
