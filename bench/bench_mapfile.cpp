// Times reading and writing one map file through the map document.
//
//   bench_mapfile MAP OUT
//
// Prints: bytes, figures, load seconds, save seconds (the save writes OUT as version 1.06
// through the document's own Save: staged file, flush to the disk, rename).
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "map/clsMap.h"
#include "support/platform.h"
#include "support/text.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_mapfile MAP OUT\n");
    return 2;
  }
  picmap::ScopedScriptedPorts ports;  // messages recorded, not printed
  using Clock = std::chrono::steady_clock;
  auto seconds = [](Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
  };
  picmap::clsMap map;
  map.FileName(picmap::FromUtf8(argv[1]));
  auto t = Clock::now();
  if (map.Load() != 0) return 1;
  const double load = seconds(t);
  std::filesystem::remove(argv[2]);
  map.FileName(picmap::FromUtf8(argv[2]));
  map.Modify(true);
  t = Clock::now();
  if (map.Save() != 0) return 1;
  const double save = seconds(t);
  std::printf("%lld\t%d\t%.4f\t%.4f\n",
              static_cast<long long>(std::filesystem::file_size(argv[1])), map.Count(), load,
              save);
  return 0;
}
