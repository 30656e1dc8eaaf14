// The world file reader. The first four bytes are the picture's width and height, the rest is
// the world file. Six terms that parse print and parse again to the same numbers; extents
// are either refused with a reason or lie within the globe, at least 30" wide and high; the
// file beside a picture gives what the text gives.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/world_file.h"
#include "fuzz/fuzz_support.h"

namespace picmap::fuzz {
namespace {

Environment& Env() {
  static Environment env;
  return env;
}

std::string Printed(const WorldFileTerms& t) {
  std::string text;
  for (double v : {t.a, t.d, t.b, t.e, t.c, t.f}) {
    char line[64];
    std::snprintf(line, sizeof line, "%.17g\r\n", v);
    text += line;
  }
  return text;
}

bool Same(const WorldFileTerms& x, const WorldFileTerms& y) {
  return std::memcmp(&x, &y, sizeof x) == 0;
}

void CheckExtents(const WorldFileResult& r) {
  if (!r.extents) {
    Check(!r.message.empty(), "refused without a reason");
    return;
  }
  Check(r.message.empty(), "accepted with a refusal: " + Show(r.message));
  const WorldFileExtents& e = *r.extents;
  const std::string edges = std::to_string(e.west) + " " + std::to_string(e.east) + " " +
                            std::to_string(e.north) + " " + std::to_string(e.south);
  Check(e.west >= -648000 && e.east <= 648000 && e.east >= e.west + 30,
        "longitudes out of range: " + edges);
  Check(e.south >= -324000 && e.north <= 324000 && e.north >= e.south + 30,
        "latitudes out of range: " + edges);
}

bool SameResult(const WorldFileResult& x, const WorldFileResult& y) {
  if (x.extents.has_value() != y.extents.has_value()) return false;
  if (!x.extents) return true;  // the messages name the file in one case only
  const WorldFileExtents &a = *x.extents, &b = *y.extents;
  return a.west == b.west && a.east == b.east && a.north == b.north && a.south == b.south;
}

}  // namespace
}  // namespace picmap::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picmap;
  using fuzz::Check;
  if (size < 4) return 0;
  const int32_t width = data[0] | data[1] << 8;
  const int32_t height = data[2] | data[3] << 8;
  const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
  const auto terms = ParseWorldFile(text);
  if (!terms) return 0;
  const auto again = ParseWorldFile(fuzz::Printed(*terms));
  Check(again && fuzz::Same(*terms, *again), "the terms print to a text that reads otherwise");
  const WorldFileResult direct = ExtentsFromWorldFile(*terms, width, height);
  fuzz::CheckExtents(direct);
  auto& env = fuzz::Env();
  env.Write("pic.PGW", text);
  const std::string picture = env.Fresh("pic.png");
  const WorldFileResult beside = ExtentsForPicture(FromUtf8(picture), width, height);
  Check(fuzz::SameResult(direct, beside), "the world file beside the picture reads otherwise");
  return 0;
}
