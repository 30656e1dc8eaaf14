// Every verb with its code: the table of the picture module (and of the tests, which run
// verbs in their own process).
#include <QGuiApplication>

#include "cli/cli.h"

namespace picmap::cli {

namespace {

std::unique_ptr<QCoreApplication> MakeGuiApplication(int& argc, char** argv) {
  return std::make_unique<QGuiApplication>(argc, argv);
}

const Verb kVerbs[] = {
    {kConvertText.name, kConvertText.synopsis, RunConvert},
    {kThingsText.name, kThingsText.synopsis, RunThings},
    {kInfoText.name, kInfoText.synopsis, RunMapInfo},
    {kDumpText.name, kDumpText.synopsis, RunMapDump},
    {kCopyText.name, kCopyText.synopsis, RunMapCopy},
    {kStyleText.name, kStyleText.synopsis, RunMapStyle},
    {kRenderText.name, kRenderText.synopsis, RunRender, MakeGuiApplication},
    {kExportText.name, kExportText.synopsis, RunExport, MakeGuiApplication},
};

}  // namespace

std::span<const Verb> AllVerbs() { return kVerbs; }

}  // namespace picmap::cli
