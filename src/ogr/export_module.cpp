// The export as a module that picmap-cli loads only when it exports: GDAL and the hundred and
// more libraries it pulls in cost a twentieth of a second and some 30 MB at every start of a
// program linked against them, more than converting a photograph of the world takes.
#include "ogr/map_export.h"

extern "C" __attribute__((visibility("default"))) void PicmapExportMap(
    const picmap::ogr::ExportRequest* request, picmap::ogr::ExportResult* result) {
  *result = picmap::ogr::ExportMap(*request);
}
