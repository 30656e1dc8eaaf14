#include "support/library.h"

#include "support/ui_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "support/errors.h"
#include "support/numeric.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap {

namespace {

[[noreturn]] void RaiseLibraryError(int32_t number, const std::u16string& procedure) {
  RaiseError(number, u"basLibrary", procedure);
}

// ---- StrToTokens ----

bool IsTokenSeparator(char16_t c, int16_t mode) {
  if (c == u'\r' || c == u'\n') return true;
  const bool blank = c == u' ' || c == u'\u3000' || c == u'\t';
  switch (mode) {
    case 1: return blank;
    case 2: return c == u',';
    case 3: return c == u'\t';
    default: return blank || c == u',';
  }
}

std::vector<std::u16string> SplitTokens(const std::u16string& src, int16_t mode) {
  std::vector<std::u16string> tokens;
  std::u16string token;
  bool pending = false;
  bool quoting = false;
  for (char16_t c : src + u'\r') {
    if (c == u'"') {
      quoting = !quoting;
      continue;
    }
    if (IsTokenSeparator(c, mode) && !quoting) {
      // A comma always closes a token, even an empty one; blanks only close a started one.
      if (c == u',') pending = true;
      if (pending) {
        tokens.push_back(std::move(token));
        token.clear();
        pending = false;
      }
      continue;
    }
    token.push_back(c);
    pending = true;
  }
  // A quote left open would swallow the terminator and with it the last token: keep the text.
  if (quoting && pending) {
    token.pop_back();
    tokens.push_back(std::move(token));
  }
  if (tokens.empty()) tokens.emplace_back();
  return tokens;
}

// ---- KansujiToArabic ----

enum class NumeralKind { None, Digit, SmallUnit, LargeUnit, Point, Comma };

struct NumeralValue {
  NumeralKind kind = NumeralKind::None;
  double value = 0;      // the multiplier of a unit
  char16_t digit = 0;    // the half-width digit
  char16_t replacement = 0;  // what a full-width sign is copied as
};

constexpr char16_t kKanjiDigits[] = u"〇零一壱二弐三参四肆五伍六陸七漆八捌九玖";
constexpr char16_t kNumeralKanji[] = u"〇零一壱二弐三参四肆五伍六陸七漆八捌九玖十拾百佰千阡仟廿卅";

NumeralValue Unit(NumeralKind kind, double v) { return {kind, v, 0, 0}; }

NumeralValue KanjiUnitValue(char16_t c) {
  switch (c) {
    case u'十': case u'拾': return Unit(NumeralKind::SmallUnit, 10);
    case u'百': case u'佰': return Unit(NumeralKind::SmallUnit, 100);
    case u'千': case u'阡': case u'仟': return Unit(NumeralKind::SmallUnit, 1000);
    case u'廿': return Unit(NumeralKind::SmallUnit, 20);
    case u'卅': return Unit(NumeralKind::SmallUnit, 30);
    case u'万': case u'萬': return Unit(NumeralKind::LargeUnit, 1e4);
    case u'億': return Unit(NumeralKind::LargeUnit, 1e8);
    case u'兆': return Unit(NumeralKind::LargeUnit, 1e12);
    case u'京': return Unit(NumeralKind::LargeUnit, 1e16);
    case u'割': return Unit(NumeralKind::LargeUnit, 0.1);
    case u'分': return Unit(NumeralKind::LargeUnit, 0.01);
    case u'厘': return Unit(NumeralKind::LargeUnit, 0.001);
    case u'毛': return Unit(NumeralKind::LargeUnit, 0.0001);
    default: return {};
  }
}

NumeralValue NumeralValueOf(char16_t c) {
  if (c >= u'0' && c <= u'9') return {NumeralKind::Digit, 0, c, 0};
  if (c >= u'０' && c <= u'９') return {NumeralKind::Digit, 0, static_cast<char16_t>(c - u'０' + u'0'), 0};
  for (int i = 0; kKanjiDigits[i]; ++i) {
    if (kKanjiDigits[i] == c) return {NumeralKind::Digit, 0, static_cast<char16_t>(u'0' + i / 2), 0};
  }
  if (c == u'.' || c == u'．' || c == u'・') return {NumeralKind::Point, 0, 0, 0};
  if (c == u',' || c == u'，') return {NumeralKind::Comma, 0, 0, 0};
  if (c == u'－') return {NumeralKind::None, 0, 0, u'-'};
  if (c == u'＋') return {NumeralKind::None, 0, 0, u'+'};
  return KanjiUnitValue(c);
}

bool IsNumeralChar(char16_t c) {
  if ((c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９')) return true;
  return std::u16string_view(kNumeralKanji).find(c) != std::u16string_view::npos;
}

// The running state of one written number.
// The general form writes a fraction below 0.0001 with an exponent ("9.696E-06"), whose "E"
// a reader of the converted text would take for a word (east, in an angle text). Such a
// fraction is written out: the same fifteen significant digits, without the exponent.
std::u16string PositionalText(double v) {
  const std::u16string general = DoubleToText(v);
  const size_t e = general.find(u"E-");
  if (e == std::u16string::npos) return general;
  const bool negative = general[0] == u'-';
  std::u16string digits = general.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
  digits.erase(std::remove(digits.begin(), digits.end(), u'.'), digits.end());
  const auto zeros = static_cast<size_t>(std::stoi(ToUtf8(general.substr(e + 2))) - 1);
  return (negative ? u"-0." : u"0.") + std::u16string(zeros, u'0') + digits;
}

class NumeralReader {
 public:
  // Feeds the character at `pos` (pos == text length is the end) and appends to `out`.
  void Feed(const std::u16string& text, size_t pos, std::u16string& out) {
    const bool atEnd = pos >= text.size();
    const char16_t c = atEnd ? 0 : text[pos];
    const char16_t next = pos + 1 < text.size() ? text[pos + 1] : 0;
    NumeralValue v = atEnd ? NumeralValue{} : NumeralValueOf(c);
    switch (v.kind) {
      case NumeralKind::SmallUnit: AddSmallUnit(v.value); break;
      case NumeralKind::LargeUnit: if (!AddLargeUnit(v.value)) v.kind = NumeralKind::None; break;
      case NumeralKind::Digit: digits_ += v.digit; break;
      case NumeralKind::Point: if (!AddPoint(next)) v.kind = NumeralKind::None; break;
      case NumeralKind::Comma: if (!(inNumber_ && next && IsNumeralChar(next))) v.kind = NumeralKind::None; break;
      case NumeralKind::None: break;
    }
    if (v.kind == NumeralKind::None) {
      if (inNumber_) out += EndNumber();
      if (!atEnd) out += v.replacement ? v.replacement : c;
    }
    inNumber_ = v.kind != NumeralKind::None;
  }

 private:
  double DigitValue() const { return digits_.empty() ? 0.0 : Val(digits_); }

  void AddSmallUnit(double unit) {
    if (digits_.empty()) digits_.push_back(u'1');
    small_ += DigitValue() * unit;
    digits_.clear();
  }

  // A large unit or a fraction word only counts right after a number ("万" alone is text).
  bool AddLargeUnit(double unit) {
    if (!inNumber_) return false;
    small_ += DigitValue();
    digits_.clear();
    total_ += small_ * unit;
    small_ = 0;
    return true;
  }

  bool AddPoint(char16_t next) {
    if (!next || !IsNumeralChar(next)) return false;
    if (digits_.find(u'.') == std::u16string::npos) digits_ += u'.';
    return true;
  }

  std::u16string EndNumber() {
    small_ += DigitValue();
    digits_.clear();
    total_ += small_;
    small_ = 0;
    if (std::isinf(total_)) Throw(err::kOverflow);  // more digits than a real can hold
    std::u16string text = PositionalText(total_);
    total_ = 0;
    return text;
  }

  std::u16string digits_;
  double small_ = 0;
  double total_ = 0;
  bool inNumber_ = false;
};

// ---- Mouse pointer stack ----

std::vector<int16_t> gPointerStack{0};  // element 0 is never used
int16_t gPointerDepth = 0;

bool IsPathSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool MayWrite(const struct stat& st) {
  if (st.st_uid == geteuid()) return st.st_mode & S_IWUSR;
  if (st.st_gid == getegid()) return st.st_mode & S_IWGRP;
  std::vector<gid_t> groups(static_cast<size_t>(getgroups(0, nullptr)) + 1);
  const int n = getgroups(static_cast<int>(groups.size()), groups.data());
  for (int i = 0; i < n; ++i) {
    if (groups[i] == st.st_gid) return st.st_mode & S_IWGRP;
  }
  return st.st_mode & S_IWOTH;
}

}  // namespace

std::vector<std::u16string> StrToTokens(const std::u16string& src, int16_t mode) {
  try {
    return SplitTokens(src, mode);
  } catch (...) {
    RaiseLibraryError(err::kModuleDefault, u"StrToTokens");
  }
}

std::u16string KansujiToArabic(const std::u16string& src) {
  try {
    std::u16string out;
    NumeralReader reader;
    for (size_t pos = 0; pos <= src.size(); ++pos) reader.Feed(src, pos, out);
    return out;
  } catch (...) {
    RaiseLibraryError(err::kModuleDefault, u"KansujiToArabic");
  }
}

void ScreenMousePointer(int16_t mode) {
  try {
    if (mode >= 0) {
      gPointerDepth = AddI(gPointerDepth, 1);
      gPointerStack.resize(static_cast<size_t>(gPointerDepth) + 1);
      gPointerStack[gPointerDepth] = Pointer().ScreenPointer();
      Pointer().SetScreenPointer(mode);
    } else if (gPointerDepth >= 1) {
      Pointer().SetScreenPointer(gPointerStack[gPointerDepth]);
      gPointerDepth = SubI(gPointerDepth, 1);
      gPointerStack.resize(static_cast<size_t>(gPointerDepth) + 1);
    }
  } catch (...) {
    RaiseLibraryError(err::kModuleDefault, u"ScreenMousePointer");
  }
}

int16_t ScreenMousePointerDepth() { return gPointerDepth; }

void ShowError(const std::u16string& message) {
  ShowMessage(message, MsgButtons::Ok, MsgIcon::Error);
}

bool FileExists(const std::u16string& file) {
  if (file.empty()) return false;
  try {
    struct stat st {};
    return ::stat(ToUtf8(file).c_str(), &st) == 0;
  } catch (...) {
    return false;
  }
}

std::u16string LinkTarget(const std::u16string& file) {
  try {
    const std::filesystem::path path(ToUtf8(file));
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) return file;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (error || !EqualsIgnoringCase(FromUtf8(target.extension().string()), FromUtf8(path.extension().string())))
      return file;
    return FromUtf8(target.string());
  } catch (...) {
    return file;
  }
}

bool IsReadOnlyFile(const std::u16string& file, bool showMessage) {
  if (!FileExists(file)) return false;
  struct stat st {};
  if (::stat(ToUtf8(file).c_str(), &st) != 0) return false;
  const bool readOnly = !MayWrite(st);
  if (readOnly && showMessage) ShowError(file + u"\r\n" + Tr("Library", "は読み取り専用ファイルです."));
  return readOnly;
}

std::u16string ChangeExtension(const std::u16string& file, const std::u16string& ext) {
  std::u16string base = file;
  for (size_t i = file.size(); i-- > 0;) {
    if (IsPathSeparator(file[i])) break;
    if (file[i] == u'.') {
      base = file.substr(0, i);
      break;
    }
  }
  const std::u16string bare = !ext.empty() && ext[0] == u'.' ? ext.substr(1) : ext;
  return base + u"." + bare;
}

std::u16string FileNameOf(const std::u16string& file) {
  const size_t slash = file.find_last_of(u"/\\");
  if (slash != std::u16string::npos) return file.substr(slash + 1);
  // Only a drive letter ends at a colon ("C:JAPAN.MLL"); elsewhere a colon is part of the name.
  const bool drive = file.size() >= 2 && file[1] == u':' &&
                     ((file[0] >= u'A' && file[0] <= u'Z') || (file[0] >= u'a' && file[0] <= u'z'));
  return drive ? file.substr(2) : file;
}

std::u16string DateTimeDigits(const std::u16string& replacement) {
  std::u16string out;
  for (char16_t c : GeneralDateText(Now())) {
    if (c >= u'0' && c <= u'9') out += c;
    else out += replacement;
  }
  return out;
}

std::u16string Quote(const std::u16string& text) { return u"\"" + text + u"\""; }

std::u16string VarToText(const TextOrBytes& v) {
  if (const auto* s = std::get_if<std::u16string>(&v)) return *s;
  const auto* bytes = std::get_if<std::vector<uint8_t>>(&v);
  if (!bytes || bytes->empty() || bytes->front() == 0) return u"";
  return std::u16string(bytes->begin(), bytes->end());
}

bool InRange(int32_t a, int32_t lo, int32_t hi) { return lo <= a && a <= hi; }

int32_t ClampInt(int32_t a, int32_t lo, int32_t hi) {
  if (a < lo) return lo;
  if (a > hi) return hi;
  return a;
}

int32_t SatToLong(double x) {
  if (x > 2147483646.0) return 2147483647;
  if (x < -2147483646.0) return -2147483647;
  return CLng(x);
}

double Hypot(double a, double b) { return std::sqrt(a * a + b * b); }

}  // namespace picmap
