// The style file QGIS loads as a map layer's default style (NAME.qml beside NAME.MLL), so a map
// opens in its own colours: every figure filled or drawn in its `color` field's colour, polygons
// without outlines but with a hairline of their own colour, so that the rectangles of a
// converted map show no seams between them.
#pragma once

#include <string>

namespace picmap {

// The style file's text.
std::string QgisLayerStyle();

// NAME.qml for the map file `mapFile`, written as every file is (staged); a style file that
// someone changed is kept under its backup name. Raises the file error.
void WriteQgisStyleBeside(const std::u16string& mapFile);

// The style file's name for a map file.
std::u16string QgisStyleFileOf(const std::u16string& mapFile);

}  // namespace picmap
