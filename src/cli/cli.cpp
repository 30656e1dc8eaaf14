#include "cli/cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>

namespace picmap::cli {

namespace {

const char* kVerbs =
    "Verbs:\n"
    "  info MAP        Version, mode, figure counts, names and bounding box of a map file.\n"
    "  dump MAP        The whole map document as JSON.\n"
    "  copy MAP OUT    Loads a map file and saves it as OUT.\n"
    "  things THG      The thing catalogue of a thing file as JSON.\n"
    "  convert PICTURE Converts a picture into a map file and its thing file.\n";

}  // namespace

int Main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("picmap-cli");
  QCoreApplication::setApplicationVersion(PROJECT_VERSION_TEXT);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QString("Turns raster pictures of maps into vector map files.\n\n") + kVerbs);
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("verb", "info, dump, copy, things or convert");
  parser.process(app);
  if (parser.positionalArguments().isEmpty()) {
    std::fputs(qPrintable(parser.helpText()), stderr);
    return kExitUsage;
  }
  std::fprintf(stderr, "picmap-cli: unknown verb '%s'\n",
               qPrintable(parser.positionalArguments().first()));
  return kExitUsage;
}

}  // namespace picmap::cli
