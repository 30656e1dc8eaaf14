// The picture module: picmap-cli loads it to run convert, render or export, which need Qt's
// picture and drawing libraries.
#include "cli/cli.h"

extern "C" __attribute__((visibility("default"))) int PicmapPicturesMain(int argc, char** argv) {
  return picmap::cli::Main(argc, argv, picmap::cli::AllVerbs());
}
