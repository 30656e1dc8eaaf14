// Dissolving a map's polygons two ways in one run: the outline tracer and GEOS's union.
// Usage: bench_dissolve MAP.MLL   (bench/dissolve_table.sh makes the world map and runs it)
#include <chrono>
#include <cstdio>

#include <gdal_priv.h>

#include "ogr/dissolve.h"
#include "ogr/mll_driver.h"

namespace {

using picmap::ogr::UnionMethod;

// Seconds the dissolve took; the counts are returned through `counts`.
double Time(GDALDataset& map, UnionMethod method, picmap::ogr::DissolveCounts& counts) {
  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
  GDALDataset* target = memory->Create("", 0, 0, 0, GDT_Unknown, nullptr);
  const auto start = std::chrono::steady_clock::now();
  picmap::ogr::DissolvePolygons(*map.GetLayerByName("polygons"), *target, &counts, method);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  GDALClose(target);
  return took.count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_dissolve MAP\n");
    return 2;
  }
  picmap::ogr::RegisterMllDriver();
  GDALAllRegister();
  const char* const mll[] = {"MLL", nullptr};
  GDALDataset* map = GDALDataset::Open(argv[1], GDAL_OF_VECTOR, mll);
  if (!map) return 1;
  picmap::ogr::DissolveCounts traced, geos;
  const double tTraced = Time(*map, UnionMethod::Outline, traced);
  const double tGeos = Time(*map, UnionMethod::Geos, geos);
  std::printf("polygons\toutline s\tregions\tGEOS s\tregions\toutline / GEOS\n");
  std::printf("%lld\t%.3f\t%lld\t%.3f\t%lld\t%.3f\n", static_cast<long long>(traced.figures),
              tTraced, static_cast<long long>(traced.regions), tGeos,
              static_cast<long long>(geos.regions), tTraced / tGeos);
  GDALClose(map);
  return traced.regions == geos.regions ? 0 : 1;
}
