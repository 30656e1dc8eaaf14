// Times one whole conversion in this process: open, generation, compression runs and save,
// with figure counts and the peak memory. One case per process, so the peak belongs to it:
//
//   bench_convert flat|PICTURE TONE [RUNS] [along]
//
// "flat" draws a 4096 x 2048 picture of flat colour regions first (not timed); "along"
// compresses on a second thread while generating, as the command line does. The output is
// one tab-separated line; bench/convert_table.sh runs the cases and prints the table.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "offscreen.h"
#include "app/frm_main.h"
#include "app/picture_loader.h"
#include "app/program_folder.h"
#include "app/scripted_window.h"
#include "map/clsMap.h"
#include "support/platform.h"
#include "support/text.h"

namespace {

using picmap::FromUtf8;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Flat regions: overlapping rectangles and ellipses in a small palette, the way a drawn map
// of countries looks to the generation.
QImage FlatRegions() {
  QImage img(4096, 2048, QImage::Format_RGB32);
  img.fill(QColor(255, 255, 255));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  const QColor palette[] = {{200, 60, 60},  {60, 160, 60},  {60, 60, 200}, {220, 200, 80},
                            {150, 90, 200}, {80, 200, 200}, {240, 150, 60}, {120, 120, 120}};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t mod) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % mod;
  };
  for (int i = 0; i < 300; ++i) {
    p.setBrush(palette[next(8)]);
    const int x = static_cast<int>(next(4096)), y = static_cast<int>(next(2048));
    const int w = 40 + static_cast<int>(next(600)), h = 30 + static_cast<int>(next(400));
    if (i % 2)
      p.drawRect(x, y, w, h);
    else
      p.drawEllipse(x, y, w, h);
  }
  return img;
}

std::u16string ExeFolder() {
  return FromUtf8(std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
}

long PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

int16_t ToneIndex(int levels) {
  for (int16_t i = 0; i < 5; ++i)
    if ((256 >> i) == levels) return i;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_convert flat|PICTURE TONE [RUNS] [along]\n");
    return 2;
  }
  PrepareOffscreenQt();
  QGuiApplication app(argc, argv);
  const std::string which = argv[1];
  const int tone = std::atoi(argv[2]);
  const int runs = argc > 3 ? std::atoi(argv[3]) : 2;
  const bool along = argc > 4 && std::string(argv[4]) == "along";

  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("picmap_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(work);
  std::string picture = which;
  if (which == "flat") {
    picture = (work / "flat.png").string();
    FlatRegions().save(QString::fromStdString(picture), "PNG");
  }

  picmap::ScopedScriptedPorts ports;  // messages recorded, not printed
  picmap::ProgramInfo info = picmap::Program();
  info.folder = picmap::DataFolderFor(ExeFolder());
  picmap::SetProgramInfo(info);
  picmap::ScriptedWindow win;
  picmap::frmMainLogic logic(win);
  if (!logic.Form_Load()) {
    std::fprintf(stderr, "bench_convert: no template thing file in %s\n",
                 picmap::ToUtf8(info.folder).c_str());
    return 1;
  }

  auto t = Clock::now();
  win.openAnswers.push_back(FromUtf8(picture));
  logic.mnuOpen_Click();
  const double open = Seconds(t);
  if (!logic.State().pictureLoaded) {
    std::fprintf(stderr, "bench_convert: cannot open %s\n", picture.c_str());
    return 1;
  }
  logic.mnuToneItem_Click(ToneIndex(tone));

  t = Clock::now();
  logic.CompressAlongGeneration(along && runs > 0);
  logic.mnuPolygon_Click();
  const double generate = Seconds(t);
  const int32_t generated = logic.State().oMap->Count();

  std::string compress;
  for (int r = 0; r < runs; ++r) {
    t = Clock::now();
    logic.mnuCompress_Click();
    char cell[64];
    std::snprintf(cell, sizeof cell, "\t%.3f\t%d", Seconds(t), logic.LastCompressResult());
    compress += cell;
  }

  t = Clock::now();
  win.saveAnswers.push_back(FromUtf8((work / "out.MLL").string()));
  logic.mnuSave_Click();
  const double save = Seconds(t);
  const auto bytes = std::filesystem::file_size(work / "out.MLL");

  std::printf("%s\t%d\t%dx%d\t%.3f\t%.3f\t%d%s\t%.3f\t%d\t%.1f\t%ld\t%s\n",
              which == "flat" ? "flat" : std::filesystem::path(which).filename().c_str(), tone,
              win.SourceWidth(), win.SourceHeight(), open, generate, generated, compress.c_str(),
              save, logic.State().oMap->Count(), static_cast<double>(bytes) / 1e6, PeakMegabytes(),
              logic.LastSaveSucceeded() ? "ok" : "FAILED");
  std::filesystem::remove_all(work);
  return 0;
}
