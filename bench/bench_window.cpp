// Times the window's long jobs the way a user runs them: the real main window, shown on the
// offscreen platform, opens the picture, generates and compresses once, with its progress bar
// painted and its events run as in the desktop program. Dialogs are answered by script.
//
//   bench_window PICTURE
//
// Prints one tab-separated line: generate s, compress s, figures, the longest stretch
// without event processing (ms) and the number of progress bar repaints.
#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "offscreen.h"
#include "app/frm_main.h"
#include "app/program_folder.h"
#include "gui/main_window.h"
#include "gui/scripted_dialogs.h"
#include "map/clsMap.h"
#include "support/platform.h"
#include "support/text.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::u16string ExeFolder() {
  return picmap::FromUtf8(std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
}

// Counts the paint events the progress bar receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_window PICTURE\n");
    return 2;
  }
  PrepareOffscreenQt();
  QApplication app(argc, argv);
  picmap::ProgramInfo info = picmap::Program();
  info.folder = picmap::DataFolderFor(ExeFolder());
  info.title = u"画像地図化ツール";
  picmap::SetProgramInfo(info);

  picmap::ScriptedDialogProvider dialogs;
  picmap::frmMain window(&dialogs);
  if (!window.Start()) {
    std::fprintf(stderr, "bench_window: the window did not start\n");
    return 1;
  }
  window.show();
  QApplication::processEvents();
  PaintCounter counter;
  window.Progress()->installEventFilter(&counter);

  dialogs.openAnswers.push_back(picmap::FromUtf8(argv[1]));
  window.MenuAction(picmap::Menu::mnuOpen)->trigger();
  if (!window.Logic().State().pictureLoaded) {
    std::fprintf(stderr, "bench_window: cannot open %s\n", argv[1]);
    return 1;
  }

  Clock::time_point last = Clock::now();
  double longest = 0;
  window.SetEventsHook([&] {
    const auto now = Clock::now();
    longest = std::max(longest, std::chrono::duration<double>(now - last).count());
    last = now;
  });
  auto t = Clock::now();
  last = t;
  window.MenuAction(picmap::Menu::mnuPolygon)->trigger();
  const double generate = Seconds(t);
  longest = std::max(longest, Seconds(last));
  const int32_t generated = window.Logic().State().oMap->Count();

  t = Clock::now();
  last = t;
  window.MenuAction(picmap::Menu::mnuCompress)->trigger();
  const double compress = Seconds(t);
  longest = std::max(longest, Seconds(last));

  std::printf("%.3f\t%.3f\t%d\t%d\t%.0f\t%d\n", generate, compress, generated,
              window.Logic().State().oMap->Count(), longest * 1000, counter.paints);
  std::fflush(stdout);
  std::_Exit(0);  // the map is not freed figure by figure, as when the window closes
}
