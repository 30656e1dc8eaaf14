// The export runs in a module loaded on demand (picmap_export.so), so that the tool's other
// verbs start without loading GDAL.
#pragma once

#include "ogr/map_export.h"

namespace picmap::cli {

// ExportMap of the module; an error result when the module cannot be found or loaded.
ogr::ExportResult ExportThroughModule(const ogr::ExportRequest& request);

}  // namespace picmap::cli
