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
