// Modules ColorLib and HMap: the six-digit colour code and the figure attribute word.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace picmap {

// Upper-case six-digit hexadecimal BBGGRR; "------" for -1 or anything of 0x1000000 and more.
std::u16string ColorCodeStr(int32_t color);
// The same colour as people write it elsewhere, "#RRGGBB" (red first); empty for no colour.
std::u16string HtmlColorStr(int32_t color);
// A colour as a person types it: "#RRGGBB", "rgb(R,G,B)" (0 to 255 each) or six bare digits
// BBGGRR, the colour code's own order, which map files and scripts use. Nothing when it is
// none of these.
std::optional<int32_t> ParseColorText(const std::u16string& text);
inline bool IsColorValue(int32_t color) { return color >= -1 && color <= 0xFFFFFF; }
bool IsJumpMarkValue(int16_t mark);  // 0 .. 9
// Bits 0-23 colour, 24-25 show mode + 1, 26 colour present, 27-30 jump mark.
int32_t PackFigAttr(int16_t mark, int16_t showMode, int32_t color);
void UnpackFigAttr(int32_t word, int16_t& mark, int16_t& showMode, int32_t& color);
// Version 1.04 elements carry no attributes: reading changes nothing, writing gives 0.
void ReadOldFigAttr(int32_t word, int16_t& showMode, int32_t& color);
int32_t WriteOldFigAttr(int16_t showMode, int32_t color);

}  // namespace picmap
