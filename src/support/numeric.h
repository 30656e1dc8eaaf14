// Checked integer arithmetic and real-to-integer conversion. Geometry is 32-bit and must
// never wrap: every operation that leaves the target range raises the overflow error (6).
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "support/errors.h"

namespace picmap {

[[noreturn]] void ThrowOverflow();

// Narrows a wider integer to 32 (or 16) bits, raising the overflow error when it does not fit.
inline int32_t ToLong(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    ThrowOverflow();
  return static_cast<int32_t>(v);
}
inline int16_t ToInt(int64_t v) {
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
    ThrowOverflow();
  return static_cast<int16_t>(v);
}

inline int32_t AddL(int32_t a, int32_t b) { return ToLong(int64_t{a} + b); }
inline int32_t SubL(int32_t a, int32_t b) { return ToLong(int64_t{a} - b); }
inline int32_t MulL(int32_t a, int32_t b) { return ToLong(int64_t{a} * b); }
inline int32_t NegL(int32_t a) { return ToLong(-int64_t{a}); }
inline int32_t AbsL(int32_t a) { return ToLong(a < 0 ? -int64_t{a} : int64_t{a}); }
inline int16_t AddI(int16_t a, int16_t b) { return ToInt(int32_t{a} + b); }
inline int16_t SubI(int16_t a, int16_t b) { return ToInt(int32_t{a} - b); }
inline int16_t MulI(int16_t a, int16_t b) { return ToInt(int32_t{a} * b); }

// Integer division truncating toward zero; division by zero raises error 11.
int32_t DivL(int32_t a, int32_t b);
// Remainder with the sign of the dividend (a - DivL(a, b) * b).
int32_t ModL(int32_t a, int32_t b);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double x);
// Real to 32-bit (16-bit) integer with halves to even; out of range (or NaN) is the overflow error.
int32_t CLng(double x);
int16_t CInt(double x);

// The leading-number reading of a text: blanks, tabs and line feeds are skipped; then an
// optional sign, digits, a fraction and an exponent (E or D), or &H hexadecimal / &O octal
// digits; reading stops at the first character that does not fit. Empty text reads 0.
double Val(const std::u16string& text);

// Reads a well-formed decimal text (optional sign, digits, point, exponent) in the C locale,
// whatever locale the process runs in; out of range gives an infinity of the sign.
double ParseCDouble(const std::string& num);

}  // namespace picmap
