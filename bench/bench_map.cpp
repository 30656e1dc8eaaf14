// The map document at the converter's scale: saving and loading a map of a million
// five-point polygons (MB/s and figures/s), and the memory one such polygon takes in the
// document, measured from the allocator's counters.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap {
namespace {

constexpr int32_t kPolygons = 1000000;

std::shared_ptr<clsMapFigure> Rectangle(int32_t i) {
  auto p = std::make_shared<clsMapPolygon>();
  p->Admin(0);
  p->Thing(1);
  p->OwnColor(i & 0xFFFFFF);
  const int32_t x = (i % 1000) * 10, y = (i / 1000) * 10;
  clsPoly& list = *p->Poly();
  list.AddXandY(x, y);
  list.AddXandY(x + 9, y);
  list.AddXandY(x + 9, y + 9);
  list.AddXandY(x, y + 9);
  list.AddXandY(x, y);
  return p;
}

// Undo recording off: the converter's bulk build has nothing to undo.
void Fill(clsMap& map, int32_t n) {
  map.EiUndo(false);
  for (int32_t i = 0; i < n; ++i) map.Add(Rectangle(i));
}

std::u16string ScratchFile() {
  const auto p = std::filesystem::temp_directory_path() /
                 ("picmap_bench_map_" + std::to_string(::getpid()) + ".MLL");
  return FromUtf8(p.string());
}

void BM_SaveMillionPolygons(benchmark::State& state) {
  clsMap map;
  Fill(map, kPolygons);
  map.FileName(ScratchFile());
  const std::string path = ToUtf8(map.FileName());
  int64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::remove(path.c_str());  // no backup: each round writes a new file
    map.Modify(true);
    state.ResumeTiming();
    if (map.Save() != 0) state.SkipWithError("save failed");
    bytes = static_cast<int64_t>(std::filesystem::file_size(path));
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * bytes);
  state.SetItemsProcessed(state.iterations() * map.Count());
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_SaveMillionPolygons)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadMillionPolygons(benchmark::State& state) {
  const std::u16string file = ScratchFile();
  const std::string path = ToUtf8(file);
  {
    clsMap map;
    Fill(map, kPolygons);
    map.FileName(file);
    std::remove(path.c_str());
    if (map.Save() != 0) state.SkipWithError("save failed");
  }
  const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
  int32_t count = 0;
  for (auto _ : state) {
    auto map = std::make_unique<clsMap>();
    map->FileName(file);
    if (map->Load() != 0) state.SkipWithError("load failed");
    count = map->Count();
    state.PauseTiming();
    map.reset();  // release the loaded map outside the timing
    state.ResumeTiming();
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * bytes);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadMillionPolygons)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MemoryPerPolygon(benchmark::State& state) {
  double perPolygon = 0;
  double perLoadedPolygon = 0;
  for (auto _ : state) {
    const size_t before = mallinfo2().uordblks;
    {
      clsMap map;
      Fill(map, kPolygons);
      perPolygon = static_cast<double>(mallinfo2().uordblks - before) / kPolygons;
      map.FileName(ScratchFile());
      std::remove(ToUtf8(map.FileName()).c_str());
      map.Save();
    }
    const size_t beforeLoad = mallinfo2().uordblks;
    {
      clsMap map;
      map.FileName(ScratchFile());
      map.Load();
      perLoadedPolygon = static_cast<double>(mallinfo2().uordblks - beforeLoad) / kPolygons;
    }
    std::remove(ToUtf8(ScratchFile()).c_str());
  }
  state.counters["bytes_per_polygon"] = perPolygon;
  state.counters["bytes_per_loaded_polygon"] = perLoadedPolygon;
}
BENCHMARK(BM_MemoryPerPolygon)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace picmap

BENCHMARK_MAIN();
