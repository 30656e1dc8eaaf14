// The OGR vector driver "MLL": map files (.MLL longitude/latitude, .MXY x/y) for GDAL, ogr2ogr,
// ogrinfo and QGIS. The plugin ogr_MLL.so registers it through RegisterOGRMLL; programs that
// link the driver in register it themselves.
#pragma once

namespace picmap::ogr {

// Registers the driver with GDAL's driver manager unless a driver "MLL" is already there.
void RegisterMllDriver();

}  // namespace picmap::ogr
