// Throughput of the point list's hot paths: appending, node thinning, clipping and the two
// file forms. Each reports points per second as items_per_second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "geometry/clsPoly.h"
#include "support/binfile.h"
#include "support/text.h"

namespace picmap {
namespace {

constexpr int32_t kMillion = 1000000;
constexpr int32_t kShortFormMax = 65535;

clsPoly NoisyPolyline(int32_t n) {
  std::mt19937 gen(42);
  std::uniform_int_distribution<int32_t> noise(-3, 3);
  clsPoly p;
  for (int32_t i = 0; i < n; ++i)
    p.AddXandY(i * 4, static_cast<int32_t>(std::lround(2000 * std::sin(i / 3000.0))) + noise(gen));
  return p;
}

clsPoly CircleLoop(int32_t n) {
  clsPoly p;
  for (int32_t i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    p.AddXandY(static_cast<int32_t>(std::lround(1e6 * std::cos(a))),
               static_cast<int32_t>(std::lround(1e6 * std::sin(a))));
  }
  p.MakeLoop();
  return p;
}

void BM_AddXandY(benchmark::State& state) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    clsPoly p;
    for (int32_t i = 0; i < n; ++i) p.AddXandY(i, -i);
    benchmark::DoNotOptimize(p.Data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddXandY)->Arg(10 * kMillion)->Unit(benchmark::kMillisecond);

void BM_CompressB(benchmark::State& state) {
  const clsPoly source = NoisyPolyline(kMillion);
  int32_t kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    clsPoly p(source);
    state.ResumeTiming();
    p.CompressB(2.0, 400.0);
    kept = p.Count();
  }
  state.counters["kept"] = kept;
  state.SetItemsProcessed(state.iterations() * kMillion);
}
BENCHMARK(BM_CompressB)->Unit(benchmark::kMillisecond);

void BM_ClipLoop(benchmark::State& state) {
  const clsPoly source = CircleLoop(kMillion);
  const clsRect window(-950000, -900000, 970000, 920000);  // cuts the loop on all four sides
  int32_t kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    clsPoly p(source);
    state.ResumeTiming();
    p.Clip(window);
    kept = p.Count();
  }
  state.counters["kept"] = kept;
  state.SetItemsProcessed(state.iterations() * source.Count());
}
BENCHMARK(BM_ClipLoop)->Unit(benchmark::kMillisecond);

// The short form holds at most 65535 points, so it is measured with a list of that size.
void BM_SaveLoad(benchmark::State& state, bool bLong) {
  const int32_t n = bLong ? kMillion : kShortFormMax;
  clsPoly p = NoisyPolyline(n);
  const std::u16string path = FromUtf8(bLong ? "/tmp/picmap_bench_long.bin" : "/tmp/picmap_bench_short.bin");
  clsPoly q;
  for (auto _ : state) {
    {
      BinaryWriter w(path);
      p.Save(w, bLong);
      w.Close();
    }
    BinaryReader r(path);
    q.Load(r, bLong);
  }
  if (!q.IsMatch(p)) state.SkipWithError("the list read back differs");
  std::remove(ToUtf8(path).c_str());
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK_CAPTURE(BM_SaveLoad, long_form_1M, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveLoad, short_form_65535, false)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace picmap

BENCHMARK_MAIN();
