#include "cli/cli.h"

#include <csignal>

#include <QCommandLineParser>
#include <QGuiApplication>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <iterator>
#include <memory>

#include "cli/common.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::cli {

namespace {

// The verbs, in the order --help lists them.
const Verb kVerbs[] = {
    {"", "", nullptr},  // placeholder so the table is never empty
    {"convert", "PICTURE [-o MAP] [--west/--east/--north/--south TEXT] ... : picture to map",
     RunConvert},
    {"things", "things THG: print a thing file as JSON", RunThings},
    {"info", "info MAP: summary of a map file", RunMapInfo},
    {"dump", "dump MAP: a map file as JSON", RunMapDump},
    {"copy", "copy MAP OUT [--version 104|105|106]: save a map file again", RunMapCopy},
    {"render",
     "render MAP OUT.png|OUT.svg [--width PIXELS] [--height PIXELS] [--area W,E,N,S] "
     "[--overwrite]: draw a map",
     RunRender, true},
    {"export",
     "export MAP OUT [-f FORMAT] [--dissolve] [--overwrite]: a map in a GIS format (GDAL)",
     RunExport, true},
};

QString VerbList() {
  QString s = "Verbs:\n";
  for (const Verb& v : kVerbs)
    if (v.run) s += QString("  %1\n      %2\n").arg(v.name, v.synopsis);
  return s;
}

const Verb* FindVerb(const QString& name) {
  for (const Verb& v : kVerbs)
    if (v.run && name == v.name) return &v;
  return nullptr;
}

// Only drawing needs the platform plugin and its font database: loading them costs a verb
// such as copy a fifth of its run, and the font database is even read once more when the
// application object ends. Pictures (QImage) are read without them.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) {
  const Verb* verb = argc >= 2 ? FindVerb(QString::fromLocal8Bit(argv[1])) : nullptr;
  if (verb && verb->draws) return std::make_unique<QGuiApplication>(argc, argv);
  return std::make_unique<QCoreApplication>(argc, argv);
}

void InstallProgramInfo() {
  ProgramInfo info = Program();
  info.folder = FromUtf8(QCoreApplication::applicationDirPath().toStdString());
  info.title = u"picmap";
  SetProgramInfo(info);
}

// Qt warns on every start when the session has no runtime folder (ssh, cron, CI).
void EnsureRuntimeFolder() {
  if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) return;
  std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
  ::mkdir(dir.c_str(), 0700);
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir));
}

}  // namespace

int Main(int argc, char** argv) {
  // A drawing verb gets a GUI application object without a window.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  EnsureRuntimeFolder();
  // Past a file-size limit a write fails and is reported, instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv);
  QCoreApplication::setApplicationName("picmap-cli");
  QCoreApplication::setApplicationVersion(PROJECT_VERSION_TEXT);
  InstallProgramInfo();
  QStringList args = QCoreApplication::arguments();
  if (args.size() >= 2 && !args[1].startsWith('-')) {
    const Verb* verb = FindVerb(args[1]);
    if (!verb) {
      std::fprintf(stderr, "picmap-cli: unknown verb '%s' (see --help)\n", qPrintable(args[1]));
      return kExitUsage;
    }
    args.removeAt(1);
    BeginVerb(verb->name);
    return verb->run(args);
  }
  QCommandLineParser parser;
  parser.setApplicationDescription("Turns raster pictures of maps into vector map files.\n\n" +
                                   VerbList());
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("verb", "The verb to run, then its arguments (VERB --help).");
  parser.process(args);
  std::fputs(qPrintable(parser.helpText()), stderr);
  return kExitUsage;
}

}  // namespace picmap::cli
