// One step of a move drag in the real window's preview (the area follows the pointer by a
// pixel, the labels and the preview are redrawn), with the world photograph pasted over
// 120° E to 150° E, 25° N to 50° N, at zoom 1 and zoomed on Japan. The ratio of the zoomed step to the 1x step is
// what matters: drawing only the visible part keeps it near 1 at any zoom.
//
//   bench_preview [--benchmark_filter=...]   (runs on the offscreen platform)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QSlider>
#include <cmath>
#include <memory>

#include "app/program_folder.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/scripted_dialogs.h"
#include "support/platform.h"

namespace {

constexpr char kEarth[] = "/usr/share/xplanet/images/earth.jpg";

picmap::frmMain& Window() {
  static picmap::ScriptedDialogProvider dialogs;
  static std::unique_ptr<picmap::frmMain> window = [] {
    picmap::ProgramInfo info;
    info.folder = picmap::DataFolderFor(picmap::FromQ(QCoreApplication::applicationDirPath()));
    info.title = u"画像地図化ツール";
    picmap::SetProgramInfo(info);
    auto w = std::make_unique<picmap::frmMain>(&dialogs);
    w->Start();
    w->resize(1000, 700);
    w->show();
    QCoreApplication::processEvents();
    w->OpenPictureFile(QString::fromLatin1(kEarth));
    return w;
  }();
  return *window;
}

// Args: zoom, opacity in per cent.
void BM_MoveDragStep(benchmark::State& state) {
  picmap::frmMain& w = Window();
  picmap::frmMainLogic& logic = w.Logic();
  w.OpacitySlider()->setValue(static_cast<int>(state.range(1)));
  picmap::ConversionState& s = logic.MutableState();
  s.west = 120 * 3600;
  s.east = 150 * 3600;
  s.north = 50 * 3600;
  s.south = 25 * 3600;
  logic.ShowWholeWorld();
  const picmap::PreviewView& v = logic.Viewport();
  // Japan, 138° E 36° N.
  // Whole pixels, as pointer events come: the anchor is rounded, so the steps cancel out.
  const auto x = static_cast<float>(std::round(v.X(138 * 3600)));
  const auto y = static_cast<float>(std::round(v.Y(36 * 3600)));
  logic.ZoomPreview(static_cast<double>(state.range(0)), x, y);
  logic.picDst_MouseMove(0, 0, x, y);  // hover: inside the area, a move drag
  float dx = 1;
  for (auto _ : state) {
    logic.picDst_MouseMove(picmap::mouse::kLeft, 0, x + dx, y);
    dx = -dx;
  }
  if (logic.State().drag.mode != 48) state.SkipWithError("the pointer left the area");
  state.counters["canvas_w"] = w.PreviewWidth();
}
BENCHMARK(BM_MoveDragStep)
    ->ArgNames({"zoom", "opacity"})
    ->Args({1, 100})
    ->Args({256, 100})
    ->Args({1024, 100})
    ->Args({1, 50})
    ->Args({256, 50})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
