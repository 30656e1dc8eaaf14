// Module Library ("basLibrary"): tokens, Japanese numerals, small numeric operations, path and
// file tests, the error message box and the stacked screen mouse pointer.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace picmap {

// Splits a line into tokens. Mode 1: blank, ideographic space, tab; 2: comma; 3: tab; any other:
// blank, ideographic space, tab, comma. CR and LF always separate. Never empty: a text without
// tokens gives one empty string.
std::vector<std::u16string> StrToTokens(const std::u16string& src, int16_t mode);

// Replaces every written number (Arabic, full-width or kanji numerals with multipliers) by its
// value in Arabic digits: 二十三 -> 23, 一億二千万円 -> 120000000円.
std::u16string KansujiToArabic(const std::u16string& src);

// A non-negative code pushes the screen's pointer and sets `mode`; a negative one pops.
void ScreenMousePointer(int16_t mode);
// Depth of the pointer stack (for tests and diagnostics).
int16_t ScreenMousePointerDepth();

// Message box with the error icon, the application's title and an OK button.
void ShowError(const std::u16string& message);

bool FileExists(const std::u16string& file);
// The file a symbolic link names, through every link; `file` itself when it is no link, a link
// to nothing, or a link to a file of another extension. A map's companion files are named
// after the file really written.
std::u16string LinkTarget(const std::u16string& file);
// True when the file exists and this process may not write it, decided from the mode bits
// (root ignores permission bits, so access() would say writable). With showMessage the
// "...は読み取り専用ファイルです." box is shown when the result is true.
bool IsReadOnlyFile(const std::u16string& file, bool showMessage);
// "/" and "\" both separate folders.
std::u16string ChangeExtension(const std::u16string& file, const std::u16string& ext);
std::u16string FileNameOf(const std::u16string& file);
// The current date and time as text with every non-digit replaced by `replacement`.
std::u16string DateTimeDigits(const std::u16string& replacement);
std::u16string Quote(const std::u16string& text);

// A value stored either as a string or as a byte array.
using TextOrBytes = std::variant<std::monostate, std::u16string, std::vector<uint8_t>>;
std::u16string VarToText(const TextOrBytes& v);

bool InRange(int32_t a, int32_t lo, int32_t hi);
int32_t ClampInt(int32_t a, int32_t lo, int32_t hi);
template <class A, class B>
std::common_type_t<A, B> MinOf(A a, B b) { return a < b ? a : b; }
template <class A, class B>
std::common_type_t<A, B> MaxOf(A a, B b) { return a > b ? a : b; }
int32_t SatToLong(double x);
double Hypot(double a, double b);

// ---- Text helpers of the platform's string functions ----

// Full-width ASCII and the ideographic space to half-width; full-width katakana (a voiced one
// becomes two characters, ガ -> ｶﾞ) and the marks ゛ ゜ ー 。 「 」 、 ・ to their half-width
// forms (ー becomes ｰ).
std::u16string NarrowChars(const std::u16string& text);
// ASCII and full-width Latin letters to upper case.
std::u16string UpperText(const std::u16string& text);
// Text comparison ignoring the case of ASCII and full-width Latin letters.
bool EqualsIgnoringCase(const std::u16string& a, const std::u16string& b);
// Position (1-based) of `what` in `text` from position `start`, ignoring case; 0 when absent.
size_t FindIgnoringCase(const std::u16string& text, const std::u16string& what, size_t start = 1);
std::u16string TrimText(const std::u16string& text);  // blanks (and ideographic spaces) at both ends

// The locale-aware conversion of a whole text to a real (decimal point ".", optional blanks
// around, sign, exponent E or D, &H/&O). False when the text is not a number; "," is no
// thousands separator, so "135,30" is not a number. A value beyond the range of a real
// raises the overflow error.
bool TryTextToDouble(const std::u16string& text, double& value);
// The general conversion of a real to text: at most 15 significant digits, whole numbers
// without a point, exponent notation such as 1E+16 for very large or small values.
std::u16string DoubleToText(double v);
// Formats |v| by a digit pattern such as "000.0000000" or "0.000000000" (rounding half away
// from zero at the last place, like the platform's Format).
std::u16string FormatPattern(double v, const std::u16string& pattern);

}  // namespace picmap
