// The grain of a scanned or photographed picture: per-pixel noise that the colour clean-up
// would take for blends and shades of colours of their own.
#pragma once

#include "app/picture.h"

namespace picmap {

// The standard deviation, in levels of a colour channel, of the noise of each pixel on its own
// (Immerkaer's estimate, with the median that borders and lines do not move): about 7 for a
// scan's grain, 0 for a clean drawing or a blurred JPEG. The largest of the three channels.
double GrainOf(const Picture& picture);

// Each pixel the mean of itself and those of its 3 x 3 neighbours within 2.5 grains of it (the
// sigma filter): the grain averaged away, borders and lines left as sharp as they were.
Picture WithoutGrain(const Picture& picture, double grain);

}  // namespace picmap
