#include "cli/cli.h"

#include <csignal>
#include <new>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/language.h"
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
int RunInPictureModule(const char* verb, int argc, char** argv) {
  using ModuleMain = int (*)(int, char**);
  std::string tried;
  if (auto run = reinterpret_cast<ModuleMain>(
          ModuleFunction("picmap_pictures.so", "PicmapPicturesMain", tried)))
    return run(argc, argv);
  std::fprintf(stderr, "picmap-cli %s: the module picmap_pictures.so cannot be loaded:%s\n",
               verb, tried.c_str());
  return kExitFailure;
}

// A report or dump sent where it cannot be written (a full disk, /dev/full, a closed pipe) is
// a failure, not a success with half the text lost.
int StandardOutputWritten(int code) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return code;
  const QString why = errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("I/O error");
  Fail(TrQ("picmap-cli", "標準出力に書き込めません: %1").arg(why), kExitFailure);
  return code == kExitOk ? kExitFailure : code;
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

// --lang ja|en, before the verb or after it (every verb takes it), as given last; nullopt when
// the command line leaves the choice to the locale.
std::optional<QString> LanguageOption(const QStringList& args) {
  std::optional<QString> value;
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--") break;
    if ((a == "--lang" || a == "-lang") && i + 1 < args.size())
      value = args[++i];
    else if (a.startsWith("--lang=") || a.startsWith("-lang="))
      value = a.section('=', 1);
  }
  return value;
}

// `picmap-cli --lang en VERB ...`: the verb comes after the choice of language.
void DropLeadingLanguage(QStringList& args) {
  if (args.size() >= 3 && (args[1] == "--lang" || args[1] == "-lang"))
    args.remove(1, 2);
  else if (args.size() >= 2 && (args[1].startsWith("--lang=") || args[1].startsWith("-lang=")))
    args.removeAt(1);
}

// The language of every message, chosen as the window chooses it; -1 to go on, else the exit
// code of a usage error.
int ChooseLanguage(const std::optional<QString>& given) {
  const bool known = given && IsProgramLanguage(given->toStdString());
  UseLanguage(ChosenLanguage(known ? std::optional(given->toStdString()) : std::nullopt));
  if (!given || known) return -1;
  return Fail(TrQ("picmap-cli", "--lang: ja か en を指定してください ('%1' ではなく)").arg(*given),
              kExitUsage);
}

// Qt warns on every start when the session has no runtime folder (ssh, cron, CI).
void EnsureRuntimeFolder() {
  if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) return;
  std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
  ::mkdir(dir.c_str(), 0700);
  qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir));
}

// The place of the verb in argv: 1, or 3 after a leading --lang ja|en (2 after --lang=ja).
int VerbIndex(int argc, char** argv) {
  if (argc < 2) return 1;
  const std::string first = argv[1];
  if (first == "--lang" || first == "-lang") return 3;
  if (first.starts_with("--lang=") || first.starts_with("-lang=")) return 2;
  return 1;
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
  const int at = VerbIndex(argc, argv);
  const Verb* named = argc > at ? FindVerb(verbs, QString::fromLocal8Bit(argv[at])) : nullptr;
  if (named && !named->run) return RunInPictureModule(named->name, argc, argv);
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
  const std::optional<QString> language = LanguageOption(args);
  DropLeadingLanguage(args);
  const Verb* verb =
      args.size() >= 2 && !args[1].startsWith('-') ? FindVerb(verbs, args[1]) : nullptr;
  if (verb) BeginVerb(verb->name);
  if (int code = ChooseLanguage(language); code >= 0) return code;
  if (args.size() >= 2 && !args[1].startsWith('-')) {
    if (!verb)
      return Fail(TrQ("picmap-cli", "不明なサブコマンド '%1' です (--help を参照してください)")
                      .arg(args[1]),
                  kExitUsage);
    args.removeAt(1);
    // What runs out of memory past the checks gets one line, not an abort.
    try {
      return StandardOutputWritten(verb->run(args));
    } catch (const std::bad_alloc&) {
      return Fail(TrQ("picmap-cli", "メモリが足りません"), kExitFailure);
    }
  }
  QCommandLineParser parser;
  parser.setApplicationDescription("Turns raster pictures of maps into vector map files.\n\n" +
                                   VerbList(verbs));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("verb", "The verb to run, then its arguments (VERB --help).");
  parser.addOption({"lang", "The language of the messages, ja or en (default: English under an "
                            "English locale, else Japanese, as the window).", "LANG"});
  if (!parser.parse(args)) return Fail(UsageError(parser), kExitUsage);
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
