// The angle texts. Two kinds of input, told apart by the first byte:
// - any text: what AngleFormalStr accepts is a well-formed formal text that normalises to
//   itself and whose value AngleSecStrToVal reads from its digits, or an Error, nothing else;
// - an angle and display settings: the longitude, latitude, plain and span texts of the
//   angle read back, through both functions, to the angle they show.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "support/angle.h"
#include "support/errors.h"

namespace picmap::fuzz {
namespace {

constexpr char16_t kDegree = u'ﾟ';

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Axis, sign, at least three digits, ﾟ, two digits, ', two digits, ".
bool IsFormal(const std::u16string& f, int64_t& seconds) {
  if (f.size() < 12) return false;
  if (f[0] != u' ' && f[0] != u'X' && f[0] != u'Y') return false;
  if (f[1] != u'+' && f[1] != u'-') return false;
  const size_t degreeMark = f.find(kDegree);
  if (degreeMark == std::u16string::npos || degreeMark < 5 || f.size() != degreeMark + 7)
    return false;
  int64_t degrees = 0;
  for (size_t i = 2; i < degreeMark; ++i) {
    if (!IsDigit(f[i]) || degrees > 1000000000) return false;
    degrees = degrees * 10 + (f[i] - u'0');
  }
  const char16_t* tail = f.c_str() + degreeMark;
  if (!IsDigit(tail[1]) || !IsDigit(tail[2]) || tail[3] != u'\'' || !IsDigit(tail[4]) ||
      !IsDigit(tail[5]) || tail[6] != u'"')
    return false;
  const int minutes = (tail[1] - u'0') * 10 + (tail[2] - u'0');
  const int secs = (tail[4] - u'0') * 10 + (tail[5] - u'0');
  if (minutes > 59 || secs > 59) return false;
  seconds = degrees * 3600 + minutes * 60 + secs;
  if (f[1] == u'-') seconds = -seconds;
  return true;
}

void AnyText(const std::u16string& text) {
  std::u16string formal;
  try {
    formal = AngleFormalStr(text);
  } catch (const Error&) {
    return;
  }
  int64_t shown = 0;
  Check(IsFormal(formal, shown), "not a formal text: " + Show(formal) + " from " + Show(text));
  Check(AngleFormalStr(formal) == formal, "the formal text " + Show(formal) + " changes");
  Check(AngleSecStrToVal(formal) == shown, "the formal text " + Show(formal) + " reads as " +
                                               std::to_string(AngleSecStrToVal(formal)));
}

// The formats whose text says its unit: with unit styles 5 and 6 the seconds-only and radian
// formats print a bare number, which any reader takes for degrees.
bool SaysItsUnit(int16_t format, int16_t unitStyle) {
  return unitStyle <= 4 || format == 1 || format == 2 || format == 4;
}

int64_t ShownValue(int64_t sec, int16_t format) {
  if (format != 2) return sec;
  const int64_t m = ((sec < 0 ? -sec : sec) + 30) / 60 * 60;  // to the nearest minute
  return sec < 0 ? -m : m;
}

void ReadsBack(const std::u16string& text, int64_t expected, const char* what) {
  std::u16string formal;
  int32_t value = 0;
  try {
    formal = AngleFormalStr(text);
    value = AngleSecStrToVal(formal);
  } catch (const Error& e) {
    Fail(std::string(what) + " text " + Show(text) + " is refused: " + Show(e.Description()));
  }
  Check(value == expected, std::string(what) + " text " + Show(text) + " reads as " +
                               std::to_string(value) + ", not " + std::to_string(expected));
}

void FormattedAngle(const uint8_t* data, size_t size) {
  if (size < 7) return;
  int32_t sec;
  std::memcpy(&sec, data, sizeof sec);
  if (sec == INT32_MIN) return;  // its magnitude has no positive 32-bit value
  const auto format = static_cast<int16_t>(data[4] % 5 + 1);
  const auto unitStyle = static_cast<int16_t>(data[5] % 6 + 1);
  const auto dirStyle = static_cast<int16_t>(data[6] % 4 + 1);
  SetAngleFormat(format);
  SetAngleUnitStyle(unitStyle);
  SetAngleDirStyle(dirStyle);
  if (!SaysItsUnit(format, unitStyle)) return;
  ReadsBack(SecToStr(sec), ShownValue(sec, format), "plain");
  ReadsBack(AngleSpanStr(sec), ShownValue(sec % kFullTurn, format), "span");
  ReadsBack(LonToStr(sec), ShownValue(NormalizeLon(sec), format), "longitude");
  // A suffix "S" right after the last number of a unitless text is that number's seconds
  // mark to the reader; such a latitude cannot be told from a northern one.
  const int32_t lat = NormalizeLat(sec);
  if (dirStyle == 3 && unitStyle >= 5 && lat < 0) return;
  ReadsBack(LatToStr(sec), ShownValue(lat, format), "latitude");
}

}  // namespace
}  // namespace picmap::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picmap;
  if (size < 1) return 0;
  if (data[0] & 1) {
    fuzz::FormattedAngle(data + 1, size - 1);
  } else {
    // The texts arrive as UTF-8: the notations are mostly Japanese and full-width characters.
    fuzz::AnyText(FromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)));
  }
  return 0;
}
