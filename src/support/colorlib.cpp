#include "support/colorlib.h"

#include "support/numeric.h"

namespace picmap {

namespace {

constexpr uint32_t kColorMask = 0xFFFFFF;
constexpr int32_t kColorPresent = 0x4000000;
constexpr int kShowModeShift = 24;
constexpr int kMarkShift = 27;

}  // namespace

std::u16string ColorCodeStr(int32_t color) {
  const uint32_t value = static_cast<uint32_t>(color);
  if (value > kColorMask) return u"------";
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string code(6, u'0');
  for (int i = 5; i >= 0; --i) code[i] = kHex[(value >> (4 * (5 - i))) & 0xF];
  return code;
}


std::u16string HtmlColorStr(int32_t color) {
  if (static_cast<uint32_t>(color) > kColorMask) return u"";
  const std::u16string code = ColorCodeStr(color);  // BBGGRR
  return u"#" + code.substr(4, 2) + code.substr(2, 2) + code.substr(0, 2);
}

namespace {

std::optional<uint32_t> HexDigits(const std::u16string& text) {
  if (text.size() != 6) return std::nullopt;
  uint32_t value = 0;
  for (char16_t c : text) {
    const int d = c >= u'0' && c <= u'9' ? c - u'0'
                  : c >= u'a' && c <= u'f' ? c - u'a' + 10
                  : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
    if (d < 0) return std::nullopt;
    value = value << 4 | static_cast<uint32_t>(d);
  }
  return value;
}

int32_t FromRgb(uint32_t r, uint32_t g, uint32_t b) { return static_cast<int32_t>(b << 16 | g << 8 | r); }

// "rgb(R,G,B)", spaces allowed around the numbers.
std::optional<int32_t> RgbFunction(const std::u16string& text) {
  if (text.size() < 10 || text.compare(0, 4, u"rgb(") != 0 || text.back() != u')') return std::nullopt;
  uint32_t parts[3];
  size_t at = 4;
  for (int i = 0; i < 3; ++i) {
    while (at < text.size() && text[at] == u' ') ++at;
    uint32_t v = 0;
    size_t digits = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9' && digits < 4; ++at, ++digits)
      v = v * 10 + (text[at] - u'0');
    while (at < text.size() && text[at] == u' ') ++at;
    if (digits == 0 || v > 255 || at >= text.size() || text[at] != (i < 2 ? u',' : u')')) return std::nullopt;
    ++at;
    parts[i] = v;
  }
  if (at != text.size()) return std::nullopt;
  return FromRgb(parts[0], parts[1], parts[2]);
}

}  // namespace

std::optional<int32_t> ParseColorText(const std::u16string& text) {
  if (!text.empty() && text[0] == u'#') {
    const std::optional<uint32_t> rgb = HexDigits(text.substr(1));
    if (!rgb) return std::nullopt;
    return FromRgb(*rgb >> 16, (*rgb >> 8) & 0xFF, *rgb & 0xFF);
  }
  if (const std::optional<uint32_t> bgr = HexDigits(text)) return static_cast<int32_t>(*bgr);
  return RgbFunction(text);
}

bool IsJumpMarkValue(int16_t mark) { return mark >= 0 && mark <= 9; }

int32_t PackFigAttr(int16_t mark, int16_t showMode, int32_t color) {
  const int32_t colorBits =
      color < 0 ? 0 : static_cast<int32_t>(static_cast<uint32_t>(color) & kColorMask) | kColorPresent;
  // Both products follow the 32-bit rules: a mark outside -16..15 or a show mode of 32767
  // is an overflow rather than a silently wrapped word.
  const int32_t markBits = MulL(mark, int32_t{1} << kMarkShift);
  const int32_t showBits = (AddI(showMode, 1) & 3) << kShowModeShift;
  return colorBits | markBits | showBits;
}

void UnpackFigAttr(int32_t word, int16_t& mark, int16_t& showMode, int32_t& color) {
  color = (word & kColorPresent) ? static_cast<int32_t>(static_cast<uint32_t>(word) & kColorMask) : -1;
  showMode = static_cast<int16_t>(((word >> kShowModeShift) & 3) - 1);
  mark = static_cast<int16_t>((word >> kMarkShift) & 15);
}

void ReadOldFigAttr(int32_t, int16_t&, int32_t&) {}

int32_t WriteOldFigAttr(int16_t, int32_t) { return 0; }

}  // namespace picmap
