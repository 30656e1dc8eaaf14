#include "cli/export_loader.h"

#include <string>

#include "cli/cli.h"

namespace picmap::cli {

ogr::ExportResult ExportThroughModule(const ogr::ExportRequest& request) {
  using ExportFunction = void (*)(const ogr::ExportRequest*, ogr::ExportResult*);
  std::string tried;
  ogr::ExportResult result;
  // GDAL does not like being unloaded: the module stays loaded.
  if (auto run = reinterpret_cast<ExportFunction>(
          ModuleFunction("picmap_export.so", "PicmapExportMap", tried))) {
    run(&request, &result);
    return result;
  }
  result.error = "the export module picmap_export.so cannot be loaded:" + tried;
  return result;
}

}  // namespace picmap::cli
