#include "support/figcodes.h"

#include <cmath>

namespace picmap {

namespace {

double gMinScale = kMinScaleDefault;
double gMaxScale = kMaxScaleDefault;

constexpr int kLevelCount = 41;
constexpr double kLevelSteps[10] = {1000, 800, 600, 500, 400, 300, 250, 200, 150, 120};

double PowerOfTen(int e) {
  double p = 1.0;
  for (int i = 0; i < e; ++i) p *= 10.0;
  for (int i = 0; i > e; --i) p /= 10.0;
  return p;
}

}  // namespace

bool IsPageNumber(int16_t n) { return n >= 1 && n <= 8; }
bool IsCategoryNumber(int16_t n) { return n >= 1 && n <= 20; }
bool IsFigureCode(int32_t code) { return code >= figcode::kRemark && code <= figcode::kText; }

double MaxScale() { return gMaxScale; }
double MinScale() { return gMinScale; }

void SetScaleBounds(double minScale, double maxScale) {
  gMinScale = minScale;
  gMaxScale = maxScale;
}

bool IsScale(double value) { return value >= gMinScale && value <= gMaxScale; }

double ClampScale(double value) {
  if (value < gMinScale) return gMinScale;
  if (value > gMaxScale) return gMaxScale;
  return value;
}

double ScaleOfLevel(int16_t level) {
  if (level < 1 || level > kLevelCount) return 0.0;
  const int c = level - 1;
  // The top decade follows the largest scale: 1000 * 10^6 for 1:1000000000.
  const int topExponent = static_cast<int>(std::nearbyint(std::log10(gMaxScale / 1000.0)));
  return kLevelSteps[c % 10] * PowerOfTen(topExponent - c / 10);
}

std::u16string FigureName(int32_t code, int16_t language) {
  static const char16_t* const kKeywords[] = {u"REM", u"POLYLINE", u"POLYGON", u"SYMBOL", u"TEXT"};
  static const char16_t* const kJapanese[] = {u"注釈", u"連続線", u"多辺形", u"点記号", u"文字列"};
  if (!IsFigureCode(code)) return u"";
  if (language == 1) return kKeywords[code - 1];
  if (language == 2) return kJapanese[code - 1];
  return u"";
}

}  // namespace picmap
