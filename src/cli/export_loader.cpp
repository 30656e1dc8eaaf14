#include "cli/export_loader.h"

#include <QCoreApplication>
#include <dlfcn.h>

#include <string>
#include <vector>

namespace picmap::cli {

namespace {

using ExportFunction = void (*)(const ogr::ExportRequest*, ogr::ExportResult*);

// Beside the tool (the build tree), then in the library folder of the installation.
std::vector<std::string> ModulePlaces() {
  const std::string dir = QCoreApplication::applicationDirPath().toStdString();
  return {dir + "/picmap_export.so", dir + "/../" PICMAP_INSTALL_LIBDIR "/picmap/picmap_export.so"};
}

}  // namespace

ogr::ExportResult ExportThroughModule(const ogr::ExportRequest& request) {
  std::string tried;
  for (const std::string& place : ModulePlaces()) {
    void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      tried += "\n  " + std::string(::dlerror());
      continue;
    }
    auto run = reinterpret_cast<ExportFunction>(::dlsym(module, "PicmapExportMap"));
    if (!run) {
      tried += "\n  " + place + ": no PicmapExportMap";
      continue;
    }
    ogr::ExportResult result;
    run(&request, &result);
    return result;  // the module stays loaded: GDAL does not like being unloaded
  }
  ogr::ExportResult failed;
  failed.error = "the export module picmap_export.so cannot be loaded:" + tried;
  return failed;
}

}  // namespace picmap::cli
