#include "support/angle.h"

#include <cmath>
#include <exception>
#include <string>

#include "support/errors.h"
#include "support/library.h"
#include "support/text.h"

namespace picmap {

namespace {

int16_t gFormat = 0;
int16_t gUnitStyle = 0;
int16_t gDirStyle = 0;

constexpr int16_t kDefaultFormat = 1;
constexpr int16_t kDefaultUnitStyle = 2;
constexpr int16_t kDefaultDirStyle = 2;
constexpr double kRadianPerSecond = 4.848136811095355e-6;
constexpr double kPi = 3.14159265358979;
constexpr double kHalfPi = 1.5707963267949;

void EnsureDefaults() {
  if (gFormat == 0) gFormat = kDefaultFormat;
  if (gUnitStyle == 0) gUnitStyle = kDefaultUnitStyle;
  if (gDirStyle == 0) gDirStyle = kDefaultDirStyle;
}

struct UnitTexts {
  std::u16string degree, minute, second, radian;
};

UnitTexts UnitsOf(int16_t style, int16_t format) {
  switch (style) {
    case 1: return {u"度", u"分", u"秒", u"弧度"};
    case 3: return {u"d", u"m", u"s", u"radian"};
    case 4: return {u"ﾟ", u"'", u"\"", u"rad"};
    case 5:
    case 6: {
      const std::u16string filler = style == 5 ? u"_" : u" ";
      return {format == 4 ? u"" : filler, format == 2 ? u"" : filler, u"", u""};
    }
    default: return {u"°", u"′", u"″", u"ｒａｄ"};
  }
}

// Zero-padded to at least `width` digits; wider numbers keep all their digits.
std::u16string Padded(int64_t v, size_t width) {
  std::u16string s = FromUtf8(std::to_string(v));
  if (s.size() < width) s.insert(0, width - s.size(), u'0');
  return s;
}

std::u16string FormatMagnitude(int64_t s, const UnitTexts& u) {
  switch (gFormat) {
    case 2: {
      const int64_t r = s + 30;  // to the nearest minute
      return Padded(r / 3600, 3) + u.degree + Padded(r % 3600 / 60, 2) + u.minute;
    }
    case 3: return Padded(s, 7) + u.second;
    case 4: return FormatPattern(static_cast<double>(s) / 3600.0, u"000.0000000") + u.degree;
    case 5: return FormatPattern(static_cast<double>(s) * kRadianPerSecond, u"0.000000000") + u.radian;
    default:
      return Padded(s / 3600, 3) + u.degree + Padded(s % 3600 / 60, 2) + u.minute +
             Padded(s % 60, 2) + u.second;
  }
}

std::u16string DirectionWord(int16_t kind, bool negative) {
  switch (gDirStyle) {
    case 1:
      if (kind == 1) return negative ? u"西経" : u"東経";
      return negative ? u"南緯" : u"北緯";
    case 4: return negative ? u"-" : u"+";
    default:
      if (kind == 1) return negative ? u"W" : u"E";
      return negative ? u"S" : u"N";
  }
}

}  // namespace

std::u16string SecToStr(int32_t sec) {
  EnsureDefaults();
  const int64_t s = sec < 0 ? -int64_t{sec} : int64_t{sec};
  return (sec < 0 ? u"-" : u"+") + FormatMagnitude(s, UnitsOf(gUnitStyle, gFormat));
}

std::u16string AddDirChr(const std::u16string& text, int16_t kind) {
  EnsureDefaults();
  if (text.size() < 3) return u"";
  const bool negative = text[0] == u'-';
  std::u16string body = text.substr(1);
  // Latitudes show two-digit degrees: the hundreds digit goes.
  if (kind == 2 && (gFormat == 1 || gFormat == 2 || gFormat == 4)) body.erase(0, 1);
  if (gDirStyle != 4 && kind != 1 && kind != 2) return u"";
  if (gDirStyle == 3) return body + DirectionWord(kind, negative);
  return DirectionWord(kind, negative) + body;
}

std::u16string LonToStr(int32_t sec) { return AddDirChr(SecToStr(NormalizeLon(sec)), 1); }
std::u16string LatToStr(int32_t sec) { return AddDirChr(SecToStr(NormalizeLat(sec)), 2); }
std::u16string AngleSpanStr(int32_t sec) { return SecToStr(sec % kFullTurn); }

int32_t NormalizeLon(int32_t sec) {
  int64_t v = sec;
  while (v > kHalfTurn) v -= kFullTurn;
  while (v < -kHalfTurn) v += kFullTurn;
  return static_cast<int32_t>(v);
}

int32_t NormalizeLat(int32_t sec) {
  const int32_t v = NormalizeLon(sec);
  if (v > kQuarterTurn) return kHalfTurn - v;  // folded back over the pole
  if (v < -kQuarterTurn) return -v - kHalfTurn;
  return v;
}

bool SetAngleFormat(int16_t n) {
  if (n < 1 || n > 5) return false;
  gFormat = n;
  return true;
}

bool SetAngleUnitStyle(int16_t n) {
  if (n < 1 || n > 6) return false;
  gUnitStyle = n;
  return true;
}

bool SetAngleDirStyle(int16_t n) {
  if (n < 1 || n > 4) return false;
  gDirStyle = n;
  return true;
}

int16_t AngleFormat() { return gFormat; }
int16_t AngleUnitStyle() { return gUnitStyle; }
int16_t AngleDirStyle() { return gDirStyle; }

void ResetAngleSettings() { gFormat = gUnitStyle = gDirStyle = 0; }

double AnglePosToRadian(double x, double y) {
  if (std::fabs(y) > std::fabs(x)) return std::atan(-x / y) + (y <= 0 ? -kHalfPi : kHalfPi);
  const double t = x != 0 ? std::atan(y / x) : 0.0;
  if (x >= 0) return t;
  return y <= 0 ? t - kPi : t + kPi;
}

void RaiseAngleError(int32_t number, const std::u16string& procedure, const std::u16string& comment) {
  if (std::current_exception()) RaiseError(number, u"basAngle", procedure, comment);
  // Called outside a handler: the failure is the module's own.
  Error e(number, u"", DefaultDescription(number));
  AddErrorLocation(e, number, u"basAngle", procedure, comment);
  throw e;
}

std::optional<int32_t> LetterInFrontReading(const std::u16string& text) {
  const std::u16string t = TrimText(text);
  if (t.size() < 2 || std::u16string_view(u"SWENswen").find(t.back()) == std::u16string_view::npos)
    return std::nullopt;
  const std::u16string before = TrimText(t.substr(0, t.size() - 1));
  if (before.empty() || before.back() < u'0' || before.back() > u'9') return std::nullopt;
  try {
    const int32_t read = AngleSecStrToVal(AngleFormalStr(t));
    const int32_t meant = AngleSecStrToVal(AngleFormalStr(t.back() + before));
    if (read != meant) return meant;
  } catch (const Error&) {
  }
  return std::nullopt;
}

}  // namespace picmap
