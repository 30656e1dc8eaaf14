// Where the program's data files (the template thing file, the world picture) live.
#pragma once

#include <string>

namespace picmap {

// The data folder for an executable in `exeDir`: the folder itself, unless it lacks
// PICMAP.THG and an installed share folder (<exeDir>/../share/picmap) holds it.
std::u16string DataFolderFor(const std::u16string& exeDir);

// The names of the template files in a data folder.
std::u16string TemplateThingFile(const std::u16string& folder);  // folder + "/PICMAP.THG"
std::u16string TemplateMapFile(const std::u16string& folder);    // folder + "/PICMAP.MLL"
std::u16string WorldPictureFile(const std::u16string& folder);   // folder + "/world.png"

}  // namespace picmap
