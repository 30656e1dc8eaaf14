// The entry point GDAL calls when it loads ogr_MLL.so from its plugin folder.
#include "ogr/mll_driver.h"

extern "C" __attribute__((visibility("default"))) void RegisterOGRMLL() {
  picmap::ogr::RegisterMllDriver();
}
