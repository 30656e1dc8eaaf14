// The code page 932 conversion. Every byte sequence converts to UTF-16 and back: what was no
// code page 932 becomes U+FFFD and then "?", everything else converts back to bytes that
// read as the same text, and after that one round the bytes stay as they are. Every single
// byte that is no lead byte is a character of the code page, both ways. UTF-16 text (the
// bytes after an odd first byte) converts to bytes that read back to one character per
// character, a text that stays as it is after one round.
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "support/text.h"

namespace picmap::fuzz {
namespace {

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void FromBytes(std::string_view bytes) {
  const std::u16string text = FromCp932(bytes);
  std::u16string expected = text;
  for (char16_t& c : expected)
    if (c == u'\uFFFD') c = u'?';
  const std::string back = ToCp932(text);
  Check(FromCp932(back) == expected, "bytes " + Hex(bytes) + "read as " + Show(text) +
                                         ", which converts to " + Hex(back) + "reading as " +
                                         Show(FromCp932(back)));
  Check(ToCp932(FromCp932(back)) == back, "bytes " + Hex(back) + "change on a second round");
  for (unsigned char b : bytes) {
    if (IsLeadByte(b)) continue;
    const std::u16string one = FromCp932(std::string(1, static_cast<char>(b)));
    Check(one.size() == 1 && one[0] != u'\uFFFD', "byte " + Hex(std::string(1, static_cast<char>(b))) +
                                                      "is no character");
    Check(ToCp932(one) == std::string(1, static_cast<char>(b)),
          "byte " + Hex(std::string(1, static_cast<char>(b))) + "does not convert back");
  }
}

// Characters counted as the converter counts them: a surrogate pair is one character.
size_t Characters(const std::u16string& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i, ++n)
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF)
      ++i;
  return n;
}

void FromText(const std::u16string& text) {
  const std::string bytes = ToCp932(text);
  const std::u16string back = FromCp932(bytes);
  Check(back.find(u'\uFFFD') == std::u16string::npos || text.find(u'\uFFFD') != std::u16string::npos,
        "text " + Show(text) + " converts to bytes that are no code page 932: " + Hex(bytes));
  Check(Characters(back) == Characters(text),
        "text " + Show(text) + " converts to " + Show(back) + ", another number of characters");
  Check(ToCp932(back) == bytes, "text " + Show(text) + " is not stable after one round");
}

}  // namespace
}  // namespace picmap::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picmap;
  if (size < 1) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    std::u16string text((size - 1) / 2, u'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    fuzz::FromText(text);
  } else {
    fuzz::FromBytes(bytes);
  }
  return 0;
}
