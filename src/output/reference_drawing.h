// Painting the reference layers into the preview: lines of the runs in view, thinned to the
// zoom, and the part of a raster in view, each with its layer's opacity.
#pragma once

#include "app/preview_view.h"
#include "app/reference_layers.h"

class QPainter;

namespace picmap {

// The layers marked visible whose side (under or over the picture) is `over`, in their order.
// `view` is the visible part of the globe in arc-seconds.
void DrawReferenceLayers(QPainter& painter, ReferenceLayers& layers, const PreviewView& preview,
                         const GeoBox& view, bool over);

}  // namespace picmap
