#include "cli/cli.h"

#include <csignal>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/common.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::cli {

namespace {

QString VerbList(std::span<const Verb> verbs) {
  QString s = "Verbs:\n";
  for (const Verb& v : verbs) s += QString("  %1\n      %2\n").arg(v.name, v.synopsis);
  return s;
}

const Verb* FindVerb(std::span<const Verb> verbs, const QString& name) {
  for (const Verb& v : verbs)
    if (name == v.name) return &v;
  return nullptr;
}

// Only drawing needs the platform plugin and its font database: loading them costs a verb
// such as copy a fifth of its run, and the font database is even read once more when the
// application object ends. Pictures (QImage) are read without them.
std::unique_ptr<QCoreApplication> MakeApplication(const Verb* verb, int& argc, char** argv) {
  if (verb && verb->makeApplication) return verb->makeApplication(argc, argv);
  return std::make_unique<QCoreApplication>(argc, argv);
}

// The whole run of a picture verb happens in the module, under its own Main.
int RunInPictureModule(int argc, char** argv) {
  using ModuleMain = int (*)(int, char**);
  std::string tried;
  if (auto run = reinterpret_cast<ModuleMain>(
          ModuleFunction("picmap_pictures.so", "PicmapPicturesMain", tried)))
    return run(argc, argv);
  std::fprintf(stderr, "picmap-cli %s: the module picmap_pictures.so cannot be loaded:%s\n",
               argv[1], tried.c_str());
  return kExitFailure;
}

void InstallProgramInfo() {
  ProgramInfo info = Program();
  info.folder = FromUtf8(QCoreApplication::applicationDirPath().toStdString());
  info.title = u"picmap";
  SetProgramInfo(info);
}

// Qt's and its image libraries' own warnings ("libpng error: Read Error") are no report of
// ours: every failure is reported in one line of picmap-cli's own. PICMAP_QT_MESSAGES shows them.
void QuietQtWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  static const bool shown = qEnvironmentVariableIsSet("PICMAP_QT_MESSAGES");
  if (shown || type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

// Qt warns on every start when the session has no runtime folder (ssh, cron, CI).
void EnsureRuntimeFolder() {
  if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) return;
  std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
  ::mkdir(dir.c_str(), 0700);
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir));
}

}  // namespace

// Beside the tool (the build tree), then in the library folder of the installation.
void* ModuleFunction(const char* module, const char* function, std::string& tried) {
  std::error_code error;
  const std::string dir = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  for (const std::string& place :
       {dir + "/" + module, dir + "/../" PICMAP_INSTALL_LIBDIR "/picmap/" + module}) {
    void* loaded = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!loaded) {
      tried += "\n  " + std::string(::dlerror());
      continue;
    }
    if (void* f = ::dlsym(loaded, function)) return f;  // the module stays loaded
    tried += "\n  " + place + ": no " + function;
  }
  return nullptr;
}

int Main(int argc, char** argv, std::span<const Verb> verbs) {
  const Verb* named = argc >= 2 ? FindVerb(verbs, QString::fromLocal8Bit(argv[1])) : nullptr;
  if (named && !named->run) return RunInPictureModule(argc, argv);
  // A drawing verb gets a GUI application object without a window.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  EnsureRuntimeFolder();
  qInstallMessageHandler(QuietQtWarnings);
  // Past a file-size limit a write fails and is reported, instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::unique_ptr<QCoreApplication> app = MakeApplication(named, argc, argv);
  QCoreApplication::setApplicationName("picmap-cli");
  QCoreApplication::setApplicationVersion(PROJECT_VERSION_TEXT);
  InstallProgramInfo();
  QStringList args = QCoreApplication::arguments();
  if (args.size() >= 2 && !args[1].startsWith('-')) {
    const Verb* verb = FindVerb(verbs, args[1]);
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
                                   VerbList(verbs));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("verb", "The verb to run, then its arguments (VERB --help).");
  if (!parser.parse(args)) {
    QString error = parser.errorText();
    if (error.endsWith('.')) error.chop(1);
    std::fprintf(stderr, "picmap-cli: %s (see --help)\n", qPrintable(error));
    return kExitUsage;
  }
  if (parser.isSet("help") || parser.isSet("version")) {
    std::fputs(qPrintable(parser.isSet("help") ? parser.helpText()
                                              : "picmap-cli " + QCoreApplication::applicationVersion() + "\n"),
               stdout);
    return kExitOk;
  }
  std::fputs(qPrintable(parser.helpText()), stderr);
  return kExitUsage;
}

}  // namespace picmap::cli
