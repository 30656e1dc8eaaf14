// picmap: the desktop converter from a map picture to a map file.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/language.h"
#include "app/program_folder.h"
#include "gui/app_icon.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/ui_font.h"
#include "support/platform.h"
#include "support/ui_text.h"

namespace {

picmap::ProgramInfo ProgramInfoFor(const QString& exeDir) {
  picmap::ProgramInfo info;
  info.folder = picmap::DataFolderFor(picmap::FromQ(QDir::cleanPath(exeDir)));
  info.title = picmap::Tr("frmMain", "画像地図化ツール");
  info.major = PICMAP_VERSION_MAJOR;
  info.minor = PICMAP_VERSION_MINOR;
  info.revision = PICMAP_VERSION_PATCH;
  return info;
}

void DescribeCommandLine(QCommandLineParser& parser) {
  parser.setApplicationDescription(QStringLiteral(
      "Turns a raster picture of a map into a longitude/latitude map file (.MLL) with its "
      "thing file (.THG)."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      QStringLiteral("lang"),
      QStringLiteral("The window's language: ja (Japanese) or en (English). Without it, "
                     "English when the locale (LC_ALL, LC_MESSAGES, LANG) is English, else "
                     "Japanese."),
      QStringLiteral("ja|en")));
  parser.addPositionalArgument(QStringLiteral("picture"),
                               QStringLiteral("A BMP, GIF, PNG or JPEG picture to open."),
                               QStringLiteral("[picture]"));
}

// Help, version and a wrong option are answered on the terminal, with no display needed.
bool AnswersOnTerminal(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (argv[i][0] == '-' && argv[i][1] != '\0') return true;
  }
  return false;
}

// Qt's own option naming the platform plugin (-platform NAME, --platform NAME or =NAME).
bool NamesPlatform(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--") == 0) return false;
    if (std::strncmp(a, "-platform", 9) == 0 || std::strncmp(a, "--platform", 10) == 0)
      return true;
  }
  return false;
}

// The language chosen before anything else: the line that says there is no display comes
// before any application object exists, and so before any translation can be loaded.
std::string gLanguage = "ja";

// The value of --lang (--lang en, --lang=en); an empty text for "--lang" without a value.
std::optional<std::string> LangArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--lang") == 0)
      return std::string(i + 1 < argc ? argv[i + 1] : "");
    if (std::strncmp(argv[i], "--lang=", 7) == 0) return std::string(argv[i] + 7);
  }
  return std::nullopt;
}

[[noreturn]] void NoDisplay() {
  std::fputs(gLanguage == "en"
                 ? "picmap: there is no graphical session (X11 or Wayland) to open the window "
                   "in. To convert without one, use picmap-cli (picmap-cli convert --help).\n"
                 : "picmap: グラフィカルな画面 (X11 または Wayland) がないため、ウィンドウを開けません. "
                   "画面なしで変換するには picmap-cli を使ってください (picmap-cli convert --help).\n",
             stderr);
  std::fflush(stderr);
  std::_Exit(1);
}

// Without a display Qt ends the program with an abort, a list of plugins and advice to
// reinstall it, none of which helps: the user needs one line saying what to do instead.
bool DisplayNamed(int argc, char** argv) {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
         !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || NamesPlatform(argc, argv);
}

// A display that is named but cannot be reached (a stale DISPLAY over ssh, a server that has
// gone) fails only while the application connects: Qt's messages of that moment are held
// back, and its fatal one becomes the same single line.
class DisplayConnection {
 public:
  DisplayConnection() { old_ = qInstallMessageHandler(&Hold); }
  ~DisplayConnection() {
    qInstallMessageHandler(old_);
    for (const auto& [type, context, text] : held_) {
      const QMessageLogContext ctx(context.file, context.line, context.function,
                                   context.category);
      if (old_) old_(type, ctx, text); else std::fprintf(stderr, "%s\n", qPrintable(text));
    }
  }
  DisplayConnection(const DisplayConnection&) = delete;
  DisplayConnection& operator=(const DisplayConnection&) = delete;

 private:
  struct Context {
    const char* file;
    int line;
    const char* function;
    const char* category;
  };
  static void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) NoDisplay();
    held_.push_back({type, {context.file, context.line, context.function, context.category}, text});
  }
  static inline QtMessageHandler old_ = nullptr;
  static inline std::vector<std::tuple<QtMsgType, Context, QString>> held_;
};

void NameApplication() {
  QCoreApplication::setApplicationName(QStringLiteral("picmap"));
  QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                              .arg(PICMAP_VERSION_MAJOR)
                                              .arg(PICMAP_VERSION_MINOR)
                                              .arg(PICMAP_VERSION_PATCH));
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a save fails with a message instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  NameApplication();
  const std::optional<std::string> lang = LangArgument(argc, argv);
  if (lang && !picmap::IsProgramLanguage(*lang)) {
    std::fprintf(stderr, "picmap: --lang takes ja or en, not \"%s\"\n", lang->c_str());
    return 2;
  }
  gLanguage = picmap::ChosenLanguage(lang);
  if (AnswersOnTerminal(argc, argv)) {
    // Qt's own options (-platform and the like) need the window, so any option that is not
    // one of ours falls through to it after this check.
    QCoreApplication terminal(argc, argv);
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
  }
  if (!DisplayNamed(argc, argv)) NoDisplay();
  auto connection = std::make_unique<DisplayConnection>();
  QApplication app(argc, argv);
  connection.reset();
  QApplication::setWindowIcon(picmap::AppIcon());
  QApplication::setDesktopFileName(QStringLiteral("picmap"));
  QCommandLineParser parser;
  DescribeCommandLine(parser);
  parser.process(app);
  picmap::UseJapaneseUiFont(app);
  if (gLanguage == "ja") picmap::UseJapaneseQtTexts(app);
  if (!picmap::UseLanguage(gLanguage))
    std::fprintf(stderr, "picmap: the %s translation is missing\n", gLanguage.c_str());
  picmap::SetProgramInfo(ProgramInfoFor(QCoreApplication::applicationDirPath()));
  picmap::frmMain window;
  if (!window.Start()) return 1;
  window.show();
  const QStringList pictures = parser.positionalArguments();
  if (!pictures.isEmpty()) {
    // After start-up, as the open menu would: the window is on screen for any message.
    QTimer::singleShot(0, &window, [&window, path = pictures.first()] {
      window.OpenPictureFile(path);
    });
  }
  return QApplication::exec();
}
