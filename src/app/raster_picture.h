// Pictures in any raster format GDAL reads (GeoTIFF, JPEG 2000, PNM, ...), decoded into the
// same R, G, B, X buffer as the pictures Qt reads.
#pragma once

#include <optional>
#include <string>

#include "app/picture.h"

namespace picmap {

// Whether the file's first bytes are those of a BMP, GIF, PNG or JPEG file, the formats the
// window has always read through Qt.
bool IsQtPictureFile(const std::u16string& path);

// A path into one of GDAL's virtual file systems (/vsizip/, /vsicurl/, ...): GDAL alone reads it.
bool IsGdalVirtualPath(const std::u16string& path);

// Decodes a raster of one (grey or paletted), two (grey and alpha), three (RGB) or four (RGBA)
// bands of bytes. Palette and RGB colours are kept exactly; where the raster has a mask
// (alpha, no-data value, mask band) the picture gets a footprint. std::nullopt when GDAL
// cannot read it, its bands are not bytes, or it is larger than `limitBytes`; `problem` then
// says why.
std::optional<Picture> LoadRasterPicture(const std::u16string& path, int64_t limitBytes,
                                         std::u16string* problem = nullptr);

}  // namespace picmap
