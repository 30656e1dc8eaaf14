// Shared validity tests of thing and figure attributes, figure names and the scale ladder.
#pragma once

#include <cstdint>
#include <string>

namespace picmap {

namespace figcode {
constexpr int32_t kRemark = 1;
constexpr int32_t kPolyline = 2;
constexpr int32_t kPolygon = 3;
constexpr int32_t kSymbol = 4;
constexpr int32_t kText = 5;
}  // namespace figcode

inline bool IsThingNumber(int16_t n) { return n >= 0 && n <= 999; }  // also districts
bool IsPageNumber(int16_t n);      // 1..8
bool IsCategoryNumber(int16_t n);  // 1..20
bool IsFigureCode(int32_t code);   // 1..5
inline bool IsShowMode(int16_t mode) { return mode >= -1 && mode <= 1; }

// Scale bounds (denominators); start-up sets them, the defaults are the same values.
constexpr double kMaxScaleDefault = 1000000000.0;
constexpr double kMinScaleDefault = 100000.0;
double MaxScale();
double MinScale();
void SetScaleBounds(double minScale, double maxScale);

bool IsScale(double value);
double ClampScale(double value);
double ScaleOfLevel(int16_t level);  // levels 1..41, 0 otherwise
// Keyword (language 1) or Japanese name (language 2) of a figure kind; empty otherwise.
std::u16string FigureName(int32_t code, int16_t language);

}  // namespace picmap
