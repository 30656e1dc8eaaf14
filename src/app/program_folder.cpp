#include "app/program_folder.h"

#include "support/library.h"

namespace picmap {

std::u16string DataFolderFor(const std::u16string& exeDir) {
  if (FileExists(TemplateThingFile(exeDir))) return exeDir;
  const std::u16string shared = exeDir + u"/../share/picmap";
  if (FileExists(TemplateThingFile(shared))) return shared;
  return exeDir;
}

std::u16string TemplateThingFile(const std::u16string& folder) { return folder + u"/PICMAP.THG"; }
std::u16string TemplateMapFile(const std::u16string& folder) { return folder + u"/PICMAP.MLL"; }
std::u16string WorldPictureFile(const std::u16string& folder) { return folder + u"/world.png"; }

}  // namespace picmap
