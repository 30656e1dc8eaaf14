// picmap: the desktop converter from a map picture to a map file.
#include <QApplication>
#include <QDir>

#include <csignal>

#include "app/program_folder.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/ui_font.h"
#include "support/platform.h"

namespace {

picmap::ProgramInfo ProgramInfoFor(const QString& exeDir) {
  picmap::ProgramInfo info;
  info.folder = picmap::DataFolderFor(picmap::FromQ(QDir::cleanPath(exeDir)));
  info.title = u"画像地図化ツール";
  info.major = PICMAP_VERSION_MAJOR;
  info.minor = PICMAP_VERSION_MINOR;
  info.revision = PICMAP_VERSION_PATCH;
  return info;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a save fails with a message instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("picmap"));
  picmap::UseJapaneseUiFont(app);
  picmap::UseJapaneseQtTexts(app);
  picmap::SetProgramInfo(ProgramInfoFor(QCoreApplication::applicationDirPath()));
  picmap::frmMain window;
  if (!window.Start()) return 1;
  window.show();
  return QApplication::exec();
}
