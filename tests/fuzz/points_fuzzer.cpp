// The control-point file reader (QGIS georeferencer .points). A file it reads holds finite
// numbers only, and writing what it read gives a file that reads to the same points, CRS and
// all; a file it refuses is refused with a reason. The #CRS line never makes it open a file or
// a URL named there.
#include <cmath>
#include <string>

#include "app/georef.h"
#include "fuzz/fuzz_support.h"
#include "support/errors.h"
#include "support/text.h"

namespace picmap::fuzz {
namespace {

Environment& Env() {
  static Environment env;
  return env;
}

bool SamePoints(const ControlPointSet& a, const ControlPointSet& b) {
  if (a.crs != b.crs || a.points.size() != b.points.size()) return false;
  for (size_t i = 0; i < a.points.size(); ++i) {
    const ControlPoint &p = a.points[i], &q = b.points[i];
    if (p.pixelX != q.pixelX || p.pixelY != q.pixelY || p.mapX != q.mapX || p.mapY != q.mapY ||
        p.enabled != q.enabled)
      return false;
  }
  return true;
}

}  // namespace
}  // namespace picmap::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picmap;
  using fuzz::Check;
  auto& env = fuzz::Env();
  const std::string path = env.Write("in.points", {reinterpret_cast<const char*>(data), size});
  ControlPointSet set;
  try {
    set = ReadPointsFile(FromUtf8(path));
  } catch (const Error& e) {
    Check(!e.Description().empty(), "refused without a reason");
    return 0;
  }
  Check(!set.points.empty(), "read a file without points");
  for (const ControlPoint& p : set.points)
    Check(std::isfinite(p.pixelX) && std::isfinite(p.pixelY) && std::isfinite(p.mapX) &&
              std::isfinite(p.mapY),
          "read a point that is not finite");
  const std::string again = env.Fresh("again.points");
  WritePointsFile(FromUtf8(again), set);
  ControlPointSet back = ReadPointsFile(FromUtf8(again));
  if (set.crs.empty()) back.crs.clear();  // written as WGS 84 when the file named none
  Check(fuzz::SamePoints(set, back), "the points write to a file that reads otherwise");
  return 0;
}
