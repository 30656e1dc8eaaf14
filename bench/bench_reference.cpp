// A pan step and a zoom step of the real window's preview with a 10 MB vector reference layer
// (a shapefile of 2,000 random-walk "coastlines", 640,000 points, made once in a scratch
// folder), at zoom 1, 16 and 256 on Japan. Each step redraws the whole preview: the world
// picture, the layer and the labels. The window stays interactive while a step is <= 50 ms.
//
//   bench_reference [--benchmark_filter=...]   (runs on the offscreen platform)
#include <benchmark/benchmark.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "app/program_folder.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/scripted_dialogs.h"
#include "support/platform.h"

namespace {

constexpr int kLines = 2000;
constexpr int kPointsPerLine = 320;

// Random walks of 0.02° steps from random starts: long wiggly lines like coasts and borders,
// half of them around Japan, where the zoomed steps look.
std::string MakeShapefile(const QString& folder) {
  GDALAllRegister();
  const std::string path = (folder + QStringLiteral("/coasts.shp")).toStdString();
  GDALDriver* shp = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
  GDALDataset* ds = shp->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  OGRSpatialReference wgs;
  wgs.importFromEPSG(4326);
  OGRLayer* layer = ds->CreateLayer("coasts", &wgs, wkbLineString, nullptr);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> lon(-179, 179), lat(-80, 80), turn(-0.6, 0.6);
  for (int i = 0; i < kLines; ++i) {
    OGRLineString line;
    const bool japan = i % 2 == 0;
    double x = japan ? 138 + turn(random) * 12 : lon(random);
    double y = japan ? 36 + turn(random) * 10 : lat(random);
    double heading = turn(random) * 10;
    for (int j = 0; j < kPointsPerLine; ++j) {
      line.addPoint(std::clamp(x, -180.0, 180.0), std::clamp(y, -90.0, 90.0));
      heading += turn(random);
      x += 0.02 * std::cos(heading);
      y += 0.02 * std::sin(heading);
    }
    OGRFeature f(layer->GetLayerDefn());
    f.SetGeometry(&line);
    if (layer->CreateFeature(&f) != OGRERR_NONE) std::abort();
  }
  GDALClose(ds);
  return path;
}

picmap::frmMain& Window() {
  static picmap::ScriptedDialogProvider dialogs;
  static QTemporaryDir scratch;
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
    const std::string shp = MakeShapefile(scratch.path());
    const QFileInfo size(QString::fromStdString(shp));
    std::fprintf(stderr, "layer: %.1f MB\n", size.size() / 1e6);
    const auto t0 = std::chrono::steady_clock::now();
    if (!w->AddReferenceFile(QString::fromStdString(shp))) std::abort();
    std::fprintf(stderr, "loading and the first drawing: %.0f ms\n",
                 std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    QCoreApplication::processEvents();
    return w;
  }();
  return *window;
}

void ZoomOnto(picmap::frmMainLogic& logic, double zoom) {
  logic.ShowWholeWorld();
  const picmap::PreviewView& v = logic.Viewport();
  logic.ZoomPreview(zoom, static_cast<float>(v.X(138 * 3600)), static_cast<float>(v.Y(36 * 3600)));
}

// Arg: zoom.
void BM_PanStep(benchmark::State& state) {
  picmap::frmMainLogic& logic = Window().Logic();
  ZoomOnto(logic, static_cast<double>(state.range(0)));
  float dx = 3;
  for (auto _ : state) {
    logic.PanPreview(dx, 0);
    dx = -dx;
  }
}
BENCHMARK(BM_PanStep)->ArgName("zoom")->Arg(1)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

// Arg: zoom before the step; a step doubles it and the next halves it again.
void BM_ZoomStep(benchmark::State& state) {
  picmap::frmMainLogic& logic = Window().Logic();
  ZoomOnto(logic, static_cast<double>(state.range(0)));
  const picmap::PreviewView& v = logic.Viewport();
  const auto x = static_cast<float>(v.Width() / 2), y = static_cast<float>(v.Height() / 2);
  double factor = 2;
  for (auto _ : state) {
    logic.ZoomPreview(factor, x, y);
    factor = 1 / factor;
  }
}
BENCHMARK(BM_ZoomStep)->ArgName("zoom")->Arg(1)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
