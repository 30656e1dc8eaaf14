// The entry point GDAL calls when it loads ogr_MLL.so from its plugin folder.
#include "ogr/driver_language.h"
#include "ogr/mll_driver.h"

extern "C" __attribute__((visibility("default"))) void RegisterOGRMLL() {
  picmap::ogr::SpeakHostLanguage();
  picmap::ogr::RegisterMllDriver();
}
