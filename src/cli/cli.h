// picmap-cli: the command-line tool. Main picks the verb (the first argument) and runs it.
//
// The tool itself holds the verbs on map and thing files, which need only Qt's core; the
// verbs on pictures (convert, render, export) live in a module that it loads when one of
// them runs, so that the others start without Qt's picture and drawing libraries.
#pragma once

#include <QStringList>

#include <memory>
#include <span>
#include <string>

class QCoreApplication;

namespace picmap::cli {

// Exit codes: 0 success, 1 a failure, 2 a usage error.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Each verb gets its own arguments: the program name, then everything after the verb, so it
// can run its own QCommandLineParser. It returns the exit code.
using VerbFunction = int (*)(const QStringList& args);

// The application object a verb runs under: a QCoreApplication unless the verb draws.
using ApplicationMaker = std::unique_ptr<QCoreApplication> (*)(int& argc, char** argv);

struct Verb {
  const char* name;
  const char* synopsis;
  VerbFunction run;  // nullptr: the verb runs in the picture module
  ApplicationMaker makeApplication = nullptr;
};

// What --help says of each verb, in its order.
struct VerbText {
  const char* name;
  const char* synopsis;
};
inline constexpr VerbText kConvertText{
    "convert", "PICTURE [-o MAP] [--west/--east/--north/--south TEXT] ... : picture to map"};
inline constexpr VerbText kThingsText{"things", "things THG: print a thing file as JSON"};
inline constexpr VerbText kInfoText{"info", "info MAP: summary of a map file"};
inline constexpr VerbText kDumpText{"dump", "dump MAP: a map file as JSON"};
inline constexpr VerbText kCopyText{"copy",
                                    "copy MAP OUT [--version 104|105|106]: save a map file again"};
inline constexpr VerbText kStyleText{
    "style", "style MAP: write MAP's QGIS style file (NAME.qml) so QGIS shows its colours"};
inline constexpr VerbText kRenderText{
    "render",
    "render MAP OUT.png|OUT.svg [--width PIXELS] [--height PIXELS] [--area W,E,N,S] "
    "[--overwrite]: draw a map"};
inline constexpr VerbText kExportText{
    "export",
    "export MAP OUT [-f FORMAT] [--dissolve] [--overwrite]: a map in a GIS format (GDAL)"};

// Runs the verb named by argv[1] from `verbs`, or prints the help.
int Main(int argc, char** argv, std::span<const Verb> verbs);

// `function` of the module beside the tool or in the installation's library folder; nullptr
// with the reasons added to `tried`.
void* ModuleFunction(const char* module, const char* function, std::string& tried);

// Every verb, each run here (the picture module and the tests).
std::span<const Verb> AllVerbs();

// picmap-cli convert: a picture to a map file and a thing file (verbs_convert.cpp).
int RunConvert(const QStringList& args);

// picmap-cli things THG: the thing file as JSON on standard output.
int RunThings(const QStringList& args);

// picmap-cli info MAP / dump MAP / copy MAP OUT [--version 104|105|106]: map files.
int RunMapInfo(const QStringList& args);
int RunMapDump(const QStringList& args);
int RunMapCopy(const QStringList& args);
// picmap-cli style MAP: the QGIS style file beside a map.
int RunMapStyle(const QStringList& args);

// picmap-cli render MAP OUT.png|OUT.svg [--width] [--area] / export MAP OUT [-f FORMAT]
// [--dissolve] [--overwrite] (verbs_output.cpp).
int RunRender(const QStringList& args);
int RunExport(const QStringList& args);

}  // namespace picmap::cli
