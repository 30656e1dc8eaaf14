#include "support/text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace picmap {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    uint32_t c;
    size_t n;
    if (b < 0x80) { c = b; n = 1; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; n = 2; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; n = 3; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; n = 4; }
    else { out.push_back(0xFFFD); ++i; continue; }
    if (i + n > bytes.size()) { out.push_back(0xFFFD); break; }
    bool ok = true;
    for (size_t k = 1; k < n; ++k) {
      unsigned char cb = static_cast<unsigned char>(bytes[i + k]);
      if ((cb & 0xC0) != 0x80) { ok = false; break; }
      c = (c << 6) | (cb & 0x3F);
    }
    if (!ok) { out.push_back(0xFFFD); ++i; continue; }
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

namespace {

// One converter per direction and thread; iconv_open is far too slow to call per field.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error("iconv cannot convert between code page 932 and UTF-16");
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much as it can; returns false when it stopped at an invalid or unmappable
  // sequence (in, inLeft then point at it).
  bool Run(char*& in, size_t& inLeft, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      char buf[4096];
      char* o = buf;
      size_t oLeft = sizeof buf;
      size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buf, static_cast<size_t>(o - buf));
      if (r == static_cast<size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t cd_;
};

// Single bytes that the Windows code page 932 maps but glibc's CP932 refuses: 0x80 to U+0080
// and 0xA0, 0xFD, 0xFE, 0xFF to the private-use characters U+F8F0 .. U+F8F3. Mapping them
// both ways lets every byte of a stored text survive a load and a save.
constexpr struct {
  unsigned char byte;
  char16_t character;
} kExtraSingleBytes[] = {{0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

// The character of a byte iconv stopped at (a character boundary), or U+FFFD.
char16_t ExtraCharacterOfByte(unsigned char byte) {
  for (const auto& e : kExtraSingleBytes)
    if (e.byte == byte) return e.character;
  return 0xFFFD;
}

// The byte of a character iconv could not map, or -1.
int ByteOfExtraCharacter(char16_t c) {
  for (const auto& e : kExtraSingleBytes)
    if (e.character == c) return e.byte;
  return -1;
}

bool IsAscii(std::u16string_view t) {
  for (char16_t c : t)
    if (c >= 0x80) return false;
  return true;
}

bool IsAscii(std::string_view t) {
  for (char c : t)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::string ToCp932(std::u16string_view text) {
  if (IsAscii(text)) return std::string(text.begin(), text.end());
  thread_local Converter conv("CP932", "UTF-16LE");
  std::string in(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  char* p = in.data();
  size_t left = in.size();
  std::string out;
  while (!conv.Run(p, left, out)) {
    char16_t c = static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                       (static_cast<unsigned char>(p[1]) << 8));
    const int single = ByteOfExtraCharacter(c);
    out.push_back(single >= 0 ? static_cast<char>(single) : '?');
    const char16_t next = left >= 4 ? static_cast<char16_t>(static_cast<unsigned char>(p[2]) |
                                                          (static_cast<unsigned char>(p[3]) << 8))
                                    : 0;
    // A pair is skipped whole; a lone high surrogate must not take the next character with it.
    const bool pair = c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF;
    const size_t skip = pair ? 4 : 2;
    p += skip;
    left -= skip;
  }
  return out;
}

namespace {

// Runs the code page 932 decoder over `bytes` into UTF-16LE `out`; each byte it cannot read is
// handed to `unreadable`, which decides whether to go on.
template <class Unreadable>
bool DecodeCp932(std::string_view bytes, std::string& out, Unreadable unreadable) {
  thread_local Converter conv("UTF-16LE", "CP932");
  std::string in(bytes);
  char* p = in.data();
  size_t left = in.size();
  while (!conv.Run(p, left, out)) {
    if (!unreadable(static_cast<unsigned char>(*p), out)) return false;
    ++p;
    --left;
  }
  return true;
}

}  // namespace

std::u16string FromCp932(std::string_view bytes) {
  if (IsAscii(bytes)) return std::u16string(bytes.begin(), bytes.end());
  std::string out;
  DecodeCp932(bytes, out, [](unsigned char byte, std::string& o) {
    const char16_t c = ExtraCharacterOfByte(byte);
    o.push_back(static_cast<char>(c & 0xFF));  // little-endian
    o.push_back(static_cast<char>(c >> 8));
    return true;
  });
  std::u16string r(out.size() / 2, u'\0');
  for (size_t i = 0; i < r.size(); ++i)
    r[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                 (static_cast<unsigned char>(out[2 * i + 1]) << 8));
  return r;
}

bool IsCp932(std::string_view bytes) {
  if (IsAscii(bytes)) return true;
  std::string out;
  return DecodeCp932(bytes, out, [](unsigned char byte, std::string&) {
    return ExtraCharacterOfByte(byte) != 0xFFFD;
  });
}

namespace {

// The length of the UTF-8 sequence at `at`, 0 when it is not a valid one.
size_t Utf8SequenceAt(std::string_view bytes, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char b = byte(at);
  if (b < 0x80) return 1;
  size_t n;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) low = 0xA0;   // overlong
    if (b == 0xED) high = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) low = 0x90;   // overlong
    if (b == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (at + n > bytes.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t k = 2; k < n; ++k)
    if ((byte(at + k) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceAt(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace picmap
