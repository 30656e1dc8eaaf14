// The platform string functions the library and the angle module rely on: width and case
// conversion, trimming, and the general conversions between reals and text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "support/errors.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/text.h"

namespace picmap {

namespace {

constexpr char16_t kVoicedMark = u'\uFF9E';      // ﾞ
constexpr char16_t kSemiVoicedMark = u'\uFF9F';  // ﾟ

// Half-width forms of the katakana U+30A1 (ァ) to U+30F3 (ン); a second character is the
// voiced or semi-voiced mark.
constexpr const char16_t* kHalfKatakana[] = {
    u"ｧ", u"ｱ", u"ｨ", u"ｲ", u"ｩ", u"ｳ", u"ｪ", u"ｴ", u"ｫ", u"ｵ",                          // ァ..オ
    u"ｶ", u"ｶﾞ", u"ｷ", u"ｷﾞ", u"ｸ", u"ｸﾞ", u"ｹ", u"ｹﾞ", u"ｺ", u"ｺﾞ",                    // カ..ゴ
    u"ｻ", u"ｻﾞ", u"ｼ", u"ｼﾞ", u"ｽ", u"ｽﾞ", u"ｾ", u"ｾﾞ", u"ｿ", u"ｿﾞ",                    // サ..ゾ
    u"ﾀ", u"ﾀﾞ", u"ﾁ", u"ﾁﾞ", u"ｯ", u"ﾂ", u"ﾂﾞ", u"ﾃ", u"ﾃﾞ", u"ﾄ", u"ﾄﾞ",              // タ..ド
    u"ﾅ", u"ﾆ", u"ﾇ", u"ﾈ", u"ﾉ",                                                        // ナ..ノ
    u"ﾊ", u"ﾊﾞ", u"ﾊﾟ", u"ﾋ", u"ﾋﾞ", u"ﾋﾟ", u"ﾌ", u"ﾌﾞ", u"ﾌﾟ", u"ﾍ", u"ﾍﾞ", u"ﾍﾟ",    // ハ..ペ
    u"ﾎ", u"ﾎﾞ", u"ﾎﾟ",                                                                  // ホ..ポ
    u"ﾏ", u"ﾐ", u"ﾑ", u"ﾒ", u"ﾓ", u"ｬ", u"ﾔ", u"ｭ", u"ﾕ", u"ｮ", u"ﾖ",                  // マ..ヨ
    u"ﾗ", u"ﾘ", u"ﾙ", u"ﾚ", u"ﾛ", nullptr, u"ﾜ", nullptr, nullptr, u"ｦ", u"ﾝ",          // ラ..ン
};
constexpr char16_t kFirstKatakana = u'ァ';
constexpr size_t kKatakanaCount = sizeof kHalfKatakana / sizeof kHalfKatakana[0];

char16_t NarrowMark(char16_t c) {
  switch (c) {
    case u'\u3000': return u' ';
    case u'゛': return kVoicedMark;
    case u'゜': return kSemiVoicedMark;
    case u'ー': return u'ｰ';
    case u'。': return u'｡';
    case u'「': return u'｢';
    case u'」': return u'｣';
    case u'、': return u'､';
    case u'・': return u'･';
    default: return 0;
  }
}

void AppendNarrow(char16_t c, std::u16string& out) {
  if (c >= u'\uFF01' && c <= u'\uFF5E') {
    out += static_cast<char16_t>(c - 0xFEE0);
  } else if (char16_t mark = NarrowMark(c)) {
    out += mark;
  } else if (c == u'ヴ') {
    out += u"ｳﾞ";
  } else if (c >= kFirstKatakana && c < kFirstKatakana + kKatakanaCount &&
             kHalfKatakana[c - kFirstKatakana]) {
    out += kHalfKatakana[c - kFirstKatakana];
  } else {
    out += c;
  }
}

char16_t UpperChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
  if (c >= u'ａ' && c <= u'ｚ') return static_cast<char16_t>(c - u'ａ' + u'Ａ');
  return c;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\u3000'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Reads digits from `pos`; returns how many there were.
size_t SkipDigits(const std::u16string& s, size_t& pos, bool (*isDigit)(char16_t)) {
  const size_t start = pos;
  while (pos < s.size() && isDigit(s[pos])) ++pos;
  return pos - start;
}

bool IsOctalDigit(char16_t c) { return c >= u'0' && c <= u'7'; }

// &H or &O digits with an optional Long suffix, nothing else.
bool IsRadixNumber(const std::u16string& s) {
  if (s.size() < 3 || s[0] != u'&') return false;
  const char16_t radix = UpperChar(s[1]);
  if (radix != u'H' && radix != u'O') return false;
  size_t pos = 2;
  if (SkipDigits(s, pos, radix == u'H' ? IsHexDigit : IsOctalDigit) == 0) return false;
  if (pos < s.size() && s[pos] == u'&') ++pos;
  return pos == s.size();
}

// Sign, digits with at most one ".", exponent E or D with optional sign; builds the C form.
bool ParseDecimal(const std::u16string& s, std::string& cForm) {
  size_t pos = 0;
  if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-')) ++pos;
  size_t digits = SkipDigits(s, pos, IsDigit);
  if (pos < s.size() && s[pos] == u'.') {
    ++pos;
    digits += SkipDigits(s, pos, IsDigit);
  }
  if (digits == 0) return false;
  if (pos < s.size() && (UpperChar(s[pos]) == u'E' || UpperChar(s[pos]) == u'D')) {
    ++pos;
    if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-')) ++pos;
    if (SkipDigits(s, pos, IsDigit) == 0) return false;
  }
  if (pos != s.size()) return false;
  for (char16_t c : s) cForm += UpperChar(c) == u'D' ? 'e' : static_cast<char>(c);
  return true;
}

std::string TwoDigitExponent(int e) {
  std::string s = std::to_string(e < 0 ? -e : e);
  if (s.size() < 2) s.insert(s.begin(), '0');
  return (e < 0 ? "E-" : "E+") + s;
}

std::string TrimZeros(std::string digits) {
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return digits;
}

// Rounds the decimal text int.frac half away from zero to `places` decimals.
void RoundDecimalText(std::string& intPart, std::string& frac, size_t places) {
  if (frac.size() <= places) {
    frac.append(places - frac.size(), '0');
    return;
  }
  const bool up = frac[places] >= '5';
  frac.resize(places);
  if (!up) return;
  std::string all = intPart + frac;
  size_t i = all.size();
  while (i > 0 && all[i - 1] == '9') all[--i] = '0';
  if (i == 0) all.insert(all.begin(), '1');
  else ++all[i - 1];
  intPart = all.substr(0, all.size() - places);
  frac = all.substr(all.size() - places);
}

}  // namespace

std::u16string NarrowChars(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) AppendNarrow(c, out);
  return out;
}

std::u16string UpperText(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) c = UpperChar(c);
  return out;
}

bool EqualsIgnoringCase(const std::u16string& a, const std::u16string& b) {
  return UpperText(a) == UpperText(b);
}

size_t FindIgnoringCase(const std::u16string& text, const std::u16string& what, size_t start) {
  if (start < 1) start = 1;
  if (start > text.size() + 1) return 0;
  const size_t found = UpperText(text).find(UpperText(what), start - 1);
  return found == std::u16string::npos ? 0 : found + 1;
}

std::u16string TrimText(const std::u16string& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool TryTextToDouble(const std::u16string& text, double& value) {
  const std::u16string s = TrimText(text);
  if (IsRadixNumber(s)) {
    value = Val(s);
    return true;
  }
  std::string cForm;
  if (!ParseDecimal(s, cForm)) return false;
  const double v = ParseCDouble(cForm);
  if (std::isinf(v)) Throw(err::kOverflow);
  value = v;
  return true;
}

std::u16string DoubleToText(double v) {
  if (v == 0 || std::isnan(v)) return std::isnan(v) ? u"NaN" : u"0";
  char buf[40];
  // d.dddddddddddddde±x: fifteen significant digits.
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
  const std::string s(buf, r.ptr);
  const size_t ePos = s.find('e');
  const int exponent = std::stoi(s.substr(ePos + 1));
  const std::string digits = TrimZeros(s.substr(0, 1) + s.substr(2, ePos - 2));
  std::string out = v < 0 ? "-" : "";
  if (exponent >= 15 || exponent < -4) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += TwoDigitExponent(exponent);
  } else if (exponent < 0) {
    out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    const size_t intDigits = static_cast<size_t>(exponent) + 1;
    std::string padded = digits;
    if (padded.size() < intDigits) padded.append(intDigits - padded.size(), '0');
    out += padded.substr(0, intDigits);
    if (padded.size() > intDigits) out += "." + padded.substr(intDigits);
  }
  return FromUtf8(out);
}

std::u16string FormatPattern(double v, const std::u16string& pattern) {
  const size_t point = pattern.find(u'.');
  const size_t intZeros = std::count(pattern.begin(), pattern.begin() + std::min(point, pattern.size()), u'0');
  const size_t places = point == std::u16string::npos ? 0 : pattern.size() - point - 1;
  char buf[400];
  // The shortest text that reads back as v, so that 0.125 counts as a half and rounds up.
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed);
  std::string text(buf, res.ptr);
  const size_t dot = text.find('.');
  std::string intPart = text.substr(0, dot);
  std::string frac = dot == std::string::npos ? "" : text.substr(dot + 1);
  RoundDecimalText(intPart, frac, places);
  while (intPart.size() > 1 && intPart[0] == '0') intPart.erase(0, 1);
  if (intPart == "0" && intZeros == 0) intPart.clear();
  if (intPart.size() < intZeros) intPart.insert(0, intZeros - intPart.size(), '0');
  return FromUtf8(places ? intPart + "." + frac : intPart);
}

}  // namespace picmap
