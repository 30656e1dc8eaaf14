// Reading free angle text: normalising any accepted notation into the formal text
// (axis, sign, degrees ﾟ minutes ' seconds ") and reading the formal text into arc-seconds.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "support/angle.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/text.h"

namespace picmap {

namespace {

constexpr char16_t kDegreeMark = u'ﾟ';  // U+FF9F
constexpr char16_t kMinuteMark = u'\'';
constexpr char16_t kSecondMark = u'"';
constexpr char16_t kTerminator = u'\r';
constexpr double kSecondsPerRadian = 648000.0 / 3.14159265358979;
constexpr char16_t kFormalChars[] = u"0123456789.-+WESNXYR ﾟ'\"";

// An unreadable text: numberless, so that the module's default number is attached.
[[noreturn]] void Unreadable(const char16_t* why = u"Application-defined or object-defined error") {
  throw Error(err::kNone, u"", why);
}

struct Keyword {
  const char16_t* word;
  const char16_t* token;
};

// Longer words before their prefixes; the bare letters D and M only after every word with them.
// "弧度" must come before "度", or radians written in kanji would read as 0 degrees.
constexpr Keyword kKeywords[] = {
    {u":", u""}, {u"=", u""}, {u"経度", u"X"}, {u"LONGITUDE", u"X"},
    {u"LONG.", u"X"}, {u"LONG", u"X"}, {u"LON.", u"X"}, {u"LON", u"X"},
    {u"LNG", u"X"}, {u"λ", u"X"}, {u"緯度", u"Y"}, {u"LATITUDE", u"Y"},
    {u"LAT.", u"Y"}, {u"LAT", u"Y"}, {u"φ", u"Y"}, {u"西経", u"W"},
    {u"西", u"W"}, {u"WEST", u"W"}, {u"W.", u"W"}, {u"東経", u"E"},
    {u"東", u"E"}, {u"EAST", u"E"}, {u"E.", u"E"}, {u"南緯", u"S"},
    {u"南", u"S"}, {u"SOUTH", u"S"}, {u"S.", u"S"}, {u"北緯", u"N"},
    {u"北", u"N"}, {u"NORTH", u"N"}, {u"N.", u"N"}, {u"弧度", u"R"},
    {u"度", u"ﾟ"}, {u"DEGREE", u"ﾟ"}, {u"DEG", u"ﾟ"}, {u"ｰ", u"ﾟ"},
    {u"°", u"ﾟ"}, {u"゜", u"ﾟ"}, {u"分", u"'"}, {u"MINUTE", u"'"},
    {u"MIN", u"'"}, {u"′", u"'"}, {u"’", u"'"}, {u"秒", u"\""},
    {u"SECOND", u"\""}, {u"SEC", u"\""}, {u"″", u"\""}, {u"\u201D", u"\""},
    {u"゛", u"\""}, {u"RADIAN", u"R"}, {u"RAD.", u"R"}, {u"RAD", u"R"},
    {u"D", u"ﾟ"}, {u"M", u"'"},
};

void ReplaceAll(std::u16string& text, const std::u16string& what, const std::u16string& with) {
  for (size_t pos = text.find(what); pos != std::u16string::npos; pos = text.find(what, pos + with.size()))
    text.replace(pos, what.size(), with);
}

bool HasOnlyFormalChars(const std::u16string& text) {
  return text.find_first_not_of(kFormalChars) == std::u16string::npos;
}

std::u16string Padded(int32_t v, size_t width) {
  std::u16string s = FromUtf8(std::to_string(v));
  if (s.size() < width) s.insert(0, width - s.size(), u'0');
  return s;
}

int32_t WholeSeconds(double seconds) {
  const double r = RoundHalfEven(seconds);
  if (!(r >= 0 && r <= std::numeric_limits<int32_t>::max())) Unreadable(u"Overflow");
  return static_cast<int32_t>(r);
}

std::u16string BuildFormal(char16_t axis, char16_t sign, double seconds) {
  const int32_t total = WholeSeconds(seconds);
  return std::u16string(1, axis) + sign + Padded(total / 3600, 3) + kDegreeMark +
         Padded(total % 3600 / 60, 2) + kMinuteMark + Padded(total % 60, 2) + kSecondMark;
}

// Steps 3 and 4: one notation for direction words, unit words and numerals.
std::u16string Tokenised(const std::u16string& text) {
  std::u16string t = TrimText(text);
  // The narrow conversion would turn the seconds mark "゛" into the half-width voiced mark,
  // which no keyword knows.
  ReplaceAll(t, u"゛", u"″");
  t = NarrowChars(UpperText(t));
  // "分" would otherwise be read as the fraction 0.01 by the numeral conversion.
  ReplaceAll(t, u"分", u"′");
  t = KansujiToArabic(t);
  if (!HasOnlyFormalChars(t)) {
    for (const Keyword& k : kKeywords) ReplaceAll(t, k.word, k.token);
  }
  return t + kTerminator;
}

// The scan over the tokenised text: axis, sign, and up to three number slots.
class FormalScanner {
 public:
  std::u16string Scan(const std::u16string& t) {
    for (size_t i = 0; i < t.size(); ++i) {
      if (!Step(t[i], i + 1 == t.size())) break;
    }
    if (!valid_) Unreadable();
    const double seconds = Val(parts_[0]) * 3600 + Val(parts_[1]) * 60 + Val(parts_[2]);
    return BuildFormal(axis_, sign_, seconds);
  }

 private:
  // Returns false when scanning stops.
  bool Step(char16_t c, bool last) {
    switch (c) {
      case u'X': case u'Y': axis_ = c; return true;
      case u'-': case u'+': sign_ = c; return true;
      case u'W': axis_ = u'X'; sign_ = u'-'; return true;
      case u'E': axis_ = u'X'; sign_ = u'+'; return true;
      case u'N': axis_ = u'Y'; sign_ = u'+'; return true;
      case u'S':
        if (buffer_.empty()) {
          axis_ = u'Y';
          sign_ = u'-';
        } else {
          Store(2, 3);
        }
        return true;
      case u'.': buffer_ += c; return true;
      case kDegreeMark: Store(0, 1); return true;
      case kMinuteMark: Store(1, 2); return true;
      case kSecondMark: Store(2, 3); return true;
      case u'R': StoreRadians(); return true;
      default:
        if (c >= u'0' && c <= u'9') {
          buffer_ += c;
          valid_ = true;
          return true;
        }
        return Separator(last);
    }
  }

  void Store(int part, int nextSlot) {
    parts_[part] = buffer_;
    buffer_.clear();
    slot_ = nextSlot;
  }

  void StoreRadians() {
    double radians = 0;
    if (!TryTextToDouble(buffer_, radians)) Unreadable(u"Type mismatch");
    parts_[2] = FromUtf8(std::to_string(WholeSeconds(radians * kSecondsPerRadian)));
    buffer_.clear();
    slot_ = 3;
  }

  // A blank, the terminator or any other character closes the number in the current slot.
  bool Separator(bool last) {
    if (!buffer_.empty()) {
      if (slot_ <= 2) parts_[slot_] = buffer_;
      else valid_ = false;
      buffer_.clear();
    } else if (!last) {
      valid_ = false;
    }
    ++slot_;
    return valid_;
  }

  char16_t axis_ = u' ';
  char16_t sign_ = u'+';
  std::u16string buffer_;
  std::u16string parts_[3];
  int slot_ = 0;
  bool valid_ = false;
};

// Decimal degrees, when the whole text is a number.
bool IsWholeNumber(const std::u16string& text, double& degrees) {
  try {
    return TryTextToDouble(text, degrees);
  } catch (const Error&) {
    Unreadable(u"Overflow");  // a number too large for any angle
  }
}

std::u16string FormalOf(std::u16string text) {
  if (text.find(u',') != std::u16string::npos && text.find(u'.') != std::u16string::npos) {
    ReplaceAll(text, u".", u"ﾟ");  // 135.30,15 is 135°30′15″
    ReplaceAll(text, u",", u"'");
  }
  double degrees = 0;
  if (IsWholeNumber(text, degrees)) {
    return BuildFormal(u' ', degrees >= 0 ? u'+' : u'-', std::fabs(degrees) * 3600);
  }
  return FormalScanner().Scan(Tokenised(text));
}

int32_t SecondsOfFormal(const std::u16string& formal) {
  if (formal.size() <= 10) Unreadable();
  int64_t total = 0, a = 0;
  const auto add = [&](int64_t factor) {
    total += a * factor;
    a = 0;
    if (total > std::numeric_limits<int32_t>::max()) Unreadable(u"Overflow");
  };
  for (size_t i = 2; i < formal.size(); ++i) {
    const char16_t c = formal[i];
    if (c >= u'0' && c <= u'9') {
      a = a * 10 + (c - u'0');
      if (a > std::numeric_limits<int32_t>::max()) Unreadable(u"Overflow");
    } else if (c == kDegreeMark) {
      add(3600);
    } else if (c == kMinuteMark) {
      add(60);
    } else if (c == kSecondMark) {
      add(1);
    }
  }
  return static_cast<int32_t>(formal[1] == u'-' ? -total : total);
}

}  // namespace

std::u16string AngleFormalStr(const std::u16string& text) {
  try {
    return FormalOf(text);
  } catch (...) {
    RaiseAngleError(err::kModuleDefault, u"AngleFormalStr", u"");
  }
}

int32_t AngleSecStrToVal(const std::u16string& formal) {
  try {
    return SecondsOfFormal(formal);
  } catch (...) {
    RaiseAngleError(err::kModuleDefault, u"AngleSecStrToVal", u"");
  }
}

}  // namespace picmap
