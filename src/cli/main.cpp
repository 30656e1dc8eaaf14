// picmap-cli. The verbs on pictures run in the picture module (see cli.h).
#include "cli/cli.h"

namespace {

using namespace picmap::cli;

const Verb kVerbs[] = {
    {kConvertText.name, kConvertText.synopsis, nullptr},
    {kThingsText.name, kThingsText.synopsis, RunThings},
    {kInfoText.name, kInfoText.synopsis, RunMapInfo},
    {kDumpText.name, kDumpText.synopsis, RunMapDump},
    {kCopyText.name, kCopyText.synopsis, RunMapCopy},
    {kStyleText.name, kStyleText.synopsis, RunMapStyle},
    {kRenderText.name, kRenderText.synopsis, nullptr},
    {kExportText.name, kExportText.synopsis, nullptr},
};

}  // namespace

int main(int argc, char** argv) { return Main(argc, argv, kVerbs); }
