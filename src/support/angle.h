// Module Angle ("basAngle"): angles in whole arc-seconds as display text, and free angle text
// typed by a user read back into arc-seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace picmap {

constexpr int32_t kFullTurn = 1296000;
constexpr int32_t kHalfTurn = 648000;
constexpr int32_t kQuarterTurn = 324000;

std::u16string SecToStr(int32_t sec);
std::u16string AddDirChr(const std::u16string& text, int16_t kind);  // kind 1 lon, 2 lat
std::u16string LonToStr(int32_t sec);
std::u16string LatToStr(int32_t sec);
std::u16string AngleSpanStr(int32_t sec);
int32_t NormalizeLon(int32_t sec);
int32_t NormalizeLat(int32_t sec);

bool SetAngleFormat(int16_t n);     // 1..5
bool SetAngleUnitStyle(int16_t n);  // 1..6
bool SetAngleDirStyle(int16_t n);   // 1..4
int16_t AngleFormat();              // 0 until set or first used
int16_t AngleUnitStyle();
int16_t AngleDirStyle();
void ResetAngleSettings();          // back to "not yet set" (for tests)

// Normalises any accepted notation into the formal text, e.g. X+135ﾟ30'15" ; raises
// 0x800403EA (source basAngle.AngleFormalStr/) for text it cannot read.
std::u16string AngleFormalStr(const std::u16string& text);
// Reads a formal text into arc-seconds; raises for a text of 10 characters or fewer.
int32_t AngleSecStrToVal(const std::u16string& formal);
// A letter N, S, E or W after a number counts arc-seconds ("36.5S" is 36.5″ north), though
// whoever types "36.5S" for a southern edge means 36.5° south. When the same letter in front
// reads otherwise, that reading; none for any other text.
std::optional<int32_t> LetterInFrontReading(const std::u16string& text);
double AnglePosToRadian(double x, double y);
[[noreturn]] void RaiseAngleError(int32_t number, const std::u16string& procedure,
                                  const std::u16string& comment);

}  // namespace picmap
