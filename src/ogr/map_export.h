// `picmap-cli export`: a map file written in any vector format GDAL can create, through the
// map file driver, so the exported features are exactly the ones GIS programs read from the
// map itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picmap::ogr {

struct ExportRequest {
  std::string map;     // the map file
  std::string out;     // the file (or folder) to write
  std::string format;  // a GDAL driver name; empty: from the extension of `out`
  bool dissolve = false;
  bool overwrite = false;
  std::vector<std::string> layerOptions;    // NAME=VALUE, as ogr2ogr's -lco
  std::vector<std::string> datasetOptions;  // NAME=VALUE, as ogr2ogr's -dsco
  std::string layerName;                    // as ogr2ogr's -nln (one layer only)
};

struct ExportResult {
  std::string error;  // empty on success
  // The error in the words the user reads: a Japanese text marked for translation (context
  // "MapExport") with %1, %2 ... standing for `values`; nullptr where `error` is GDAL's own.
  const char* reason = nullptr;
  std::vector<std::string> values;
  bool usage = false;  // the error is in the request (unknown format, ...)
  std::string format;  // the driver used
  int64_t features = 0;
  int64_t figures = 0;  // rectangles that went into the dissolve
  std::vector<std::string> keptBackups;  // the files a map written over was kept under
};

ExportResult ExportMap(const ExportRequest& request);

}  // namespace picmap::ogr
