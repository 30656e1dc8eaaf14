// Text conversions. Text is UTF-16 inside the program (character counts and positions then
// match the file formats); code page 932 bytes appear only at the file boundary, UTF-8 only
// at the terminal and toolkit boundary. Nothing else in the program converts text.
#pragma once

#include <string>
#include <string_view>

namespace picmap {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view bytes);

// Code page 932 (Shift-JIS as the Japanese system uses it). Characters that the code page
// cannot hold become "?"; bytes that are not valid code page 932 become U+FFFD.
std::string ToCp932(std::u16string_view text);
std::u16string FromCp932(std::string_view bytes);

// Whether the bytes read as text without a single invalid sequence: as code page 932 (the
// single bytes FromCp932 maps included), and as UTF-8 (no overlong forms, no surrogates).
bool IsCp932(std::string_view bytes);
bool IsUtf8(std::string_view bytes);

// Shorthand for literals in code that must name a UTF-8 constant.
inline std::u16string U16(std::string_view utf8) { return FromUtf8(utf8); }

}  // namespace picmap
