#include "support/numeric.h"

#include <cmath>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <string>

namespace picmap {

void ThrowOverflow() { Throw(err::kOverflow); }

int32_t DivL(int32_t a, int32_t b) {
  if (b == 0) Throw(err::kDivisionByZero);
  return ToLong(int64_t{a} / b);
}

int32_t ModL(int32_t a, int32_t b) {
  if (b == 0) Throw(err::kDivisionByZero);
  return static_cast<int32_t>(int64_t{a} % b);
}

double RoundHalfEven(double x) { return std::nearbyint(x); }  // default FE_TONEAREST

int32_t CLng(double x) {
  double r = RoundHalfEven(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) ThrowOverflow();
  return static_cast<int32_t>(r);
}

int16_t CInt(double x) {
  double r = RoundHalfEven(x);
  if (!(r >= -32768.0 && r <= 32767.0)) ThrowOverflow();
  return static_cast<int16_t>(r);
}

// The C-locale reading of a well-formed decimal text. Qt sets the C library's locale from the
// environment, and a decimal-comma locale would make strtod stop at the point.
double ParseCDouble(const std::string& num) {
  const char* first = num.data();
  const char* last = num.data() + num.size();
  if (first != last && *first == '+') ++first;
  double v = 0;
  const auto r = std::from_chars(first, last, v);
  if (r.ec == std::errc::result_out_of_range)
    return (*first == '-' ? -1 : 1) * std::numeric_limits<double>::infinity();
  return v;
}

namespace {

bool IsSkipped(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

std::string WithoutBlanks(const std::u16string& text) {
  std::string s;
  for (char16_t c : text) {
    if (IsSkipped(c)) continue;
    if (c > 0x7F) break;  // no number character lies outside ASCII
    s.push_back(static_cast<char>(c));
  }
  return s;
}

double ReadRadix(const std::string& s, size_t pos, int radix) {
  // A real accumulates exactly up to 53 bits and cannot wrap beyond 64 like an integer would.
  double v = 0;
  size_t digits = 0;  // guards against endless digit strings
  for (; pos < s.size(); ++pos) {
    int d;
    char c = s[pos];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    if (d >= radix) break;
    v = v * radix + d;
    if (++digits > 22) break;
  }
  // Like an integer literal: a value that fits 16 bits is an Integer (so &HFFFF is -1) unless
  // the Long suffix "&" follows; one that fits 32 bits is a Long (&HFFFFFFFF is -1).
  const bool longSuffix = pos < s.size() && s[pos] == '&';
  const double full = 0x10000;
  if (!longSuffix && v < full && v >= full / 2) return v - full;
  if (v <= 4294967295.0 && v > 2147483647.0) v -= 4294967296.0;
  return v;
}

double ReadDecimal(const std::string& s) {
  size_t i = 0;
  std::string num;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) num.push_back(s[i++]);
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { num.push_back(s[i++]); digits = true; }
  if (i < s.size() && s[i] == '.') {
    num.push_back(s[i++]);
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { num.push_back(s[i++]); digits = true; }
  }
  if (!digits) return 0.0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    std::string ex = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ex.push_back(s[j++]);
    bool exDigits = false;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) { ex.push_back(s[j++]); exDigits = true; }
    if (exDigits) num += ex;
  }
  return ParseCDouble(num);
}

}  // namespace

double Val(const std::u16string& text) {
  std::string s = WithoutBlanks(text);
  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') return ReadRadix(s, 2, 16);
    if (s[1] == 'O' || s[1] == 'o') return ReadRadix(s, 2, 8);
    return 0.0;
  }
  return ReadDecimal(s);
}

}  // namespace picmap
