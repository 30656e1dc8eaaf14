#include "map/layer_style.h"

#include "support/library.h"
#include "support/stagedfile.h"
#include "support/text.h"

namespace picmap {

// QGIS's embedded-symbol renderer draws each feature in the style the map file driver gives it
// (a polygon filled and outlined in its own colour, a line or a symbol in its colour), for
// every kind of layer; the symbol inside only serves features without a style.
std::string QgisLayerStyle() {
  return R"(<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>
<qgis styleCategories="Symbology" version="3.22.0">
 <renderer-v2 type="embeddedSymbol" forceraster="0" enableorderby="0" symbollevels="0" referencescale="-1">
  <symbols>
   <symbol type="fill" name="0" alpha="1" force_rhr="0" clip_to_extent="1">
    <layer class="SimpleFill" locked="0" enabled="1" pass="0">
     <Option type="Map">
      <Option type="QString" name="color" value="128,128,128,255"/>
      <Option type="QString" name="style" value="solid"/>
      <Option type="QString" name="outline_color" value="128,128,128,255"/>
      <Option type="QString" name="outline_style" value="solid"/>
      <Option type="QString" name="outline_width" value="0"/>
     </Option>
    </layer>
   </symbol>
  </symbols>
 </renderer-v2>
 <blendMode>0</blendMode>
 <featureBlendMode>0</featureBlendMode>
</qgis>
)";
}

std::u16string QgisStyleFileOf(const std::u16string& mapFile) {
  const size_t dot = mapFile.rfind(u'.');
  const size_t slash = mapFile.rfind(u'/');
  const bool hasExtension = dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash);
  return (hasExtension ? mapFile.substr(0, dot) : mapFile) + u".qml";
}

void WriteQgisStyleBeside(const std::u16string& mapFile) {
  const std::u16string file = QgisStyleFileOf(mapFile);
  const std::string style = QgisLayerStyle();
  if (FileHolds(file, style)) return;
  WriteFileStaged(file, style, FileExists(file));
}

}  // namespace picmap
