#include "things/clsThing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "support/errors.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/text.h"
#include "support/ui_text.h"
#include "things/textlines.h"

namespace picmap {

namespace {

constexpr char16_t kModule[] = u"clsThing";

ThingPage DefaultPage() {
  ThingPage page;
  page.ScaleS = MaxScale();
  page.ScaleL = MinScale();
  return page;
}

int16_t NumberToInt(const std::u16string& token) { return CInt(Val(token)); }
int32_t NumberToLong(const std::u16string& token) { return CLng(Val(token)); }

int16_t ShowModeOf(int16_t mode) { return IsShowMode(mode) ? mode : int16_t{-1}; }

// The figure code of a FIGURE keyword, 0 for any other word.
int16_t FigureOfKeyword(const std::u16string& word) {
  const std::u16string upper = UpperText(word);
  for (int16_t code = figcode::kRemark; code <= figcode::kText; ++code) {
    if (upper == FigureName(code, 1)) return code;
  }
  return 0;
}

// The general text of a real; when fifteen digits do not read back as the same value, the
// shortest text that does.
std::u16string ScaleText(double v) {
  const std::u16string general = DoubleToText(v);
  if (Val(general) == v) return general;
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return FromUtf8(std::string(buf, res.ptr));
}

std::u16string DecimalText(int32_t v) { return FromUtf8(std::to_string(v)); }

bool IsTextKey(const std::u16string& key) {
  return key == u"NAME" || key == u"EUROPIAN" || key == u"JAPANESE";
}

}  // namespace

std::u16string ColorText(int32_t rgb) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const uint32_t bits = static_cast<uint32_t>(rgb);
  std::u16string text = u"&H";
  for (int shift = 28; shift >= 0; shift -= 4) text.push_back(kHex[(bits >> shift) & 0xF]);
  return text + u"&";
}

double clsThing::LevelScale(int16_t level) {
  static constexpr double kLevelScales[] = {100000,   1500000,  3000000,   8000000,  15000000,
                                            30000000, 80000000, 150000000, 300000000};
  if (level < 0 || level > 8) return 1000000000;
  return kLevelScales[level];
}

double clsThing::ScaleOfValue(double value) {
  if (value <= 41) {
    // Values far below any level would overflow the level's 16 bits; they are no level either.
    const int16_t level = value >= 0.5 ? CInt(value) : int16_t{0};
    value = ScaleOfLevel(level);
  }
  return ClampScale(value);
}

clsThing::clsThing() { Clear(); }

void clsThing::Page(int16_t iPage) {
  if (IsPageNumber(static_cast<int16_t>(std::abs(iPage)))) page_ = iPage;
}

void clsThing::Index(int16_t iThg) {
  if (!IsThingNumber(iThg)) return;
  index_ = iThg;
  modify_ = true;
}

void clsThing::Figure(int32_t iFig) {
  if (!IsFigureCode(iFig)) return;
  figure_ = static_cast<int16_t>(iFig);
  modify_ = true;
}

void clsThing::Name(const std::u16string& sName) {
  name_ = sName;
  modify_ = true;
}

void clsThing::Category(int16_t iCate) {
  if (!IsCategoryNumber(iCate)) return;
  category_ = iCate;
  modify_ = true;
}

void clsThing::ShowMode(int16_t mode) {
  Current().ShowMode = ShowModeOf(mode);
  modify_ = true;
}

void clsThing::ScaleS(double sc) {
  if (!IsScale(sc)) return;
  Current().ScaleS = sc;
  modify_ = true;
}

void clsThing::ScaleL(double sc) {
  if (!IsScale(sc)) return;
  Current().ScaleL = sc;
  modify_ = true;
}

void clsThing::Fore(int32_t rgbFore) {
  Current().Fore = rgbFore;
  modify_ = true;
}

void clsThing::Back(int32_t rgbBack) {
  Current().Back = rgbBack;
  modify_ = true;
}

void clsThing::Europian(const std::u16string& sFont) {
  Current().Europian = sFont;
  modify_ = true;
}

void clsThing::Japanese(const std::u16string& sFont) {
  Current().Japanese = sFont;
  modify_ = true;
}

const ThingPage& clsThing::PageRecord(int16_t iPage) const {
  if (iPage < -kPages || iPage > kPages) Throw(err::kSubscript);
  return Slot(iPage);
}

bool clsThing::IsSameAllPage() const {
  for (int16_t n = 2; n <= kPages; ++n) {
    if (!(Slot(n) == Slot(1))) return false;
  }
  return true;
}

bool clsThing::IsPrint(double sc) const {
  const ThingPage& page = Current();
  if (page.ShowMode == 0) return false;
  if (page.ShowMode == 1) return true;
  return page.ScaleL <= sc && sc <= page.ScaleS;
}

void clsThing::Clear() {
  index_ = -1;
  name_.clear();
  figure_ = 0;
  category_ = -1;
  modify_ = false;
  const ThingPage page = DefaultPage();
  for (int16_t n = 1; n <= kPages; ++n) {
    Slot(n) = page;
    Slot(static_cast<int16_t>(-n)) = page;
  }
  page_ = 1;
}

bool clsThing::Recovery(int16_t iPage) {
  if (!IsPageNumber(iPage)) return false;
  Slot(iPage) = Slot(static_cast<int16_t>(-iPage));
  return true;
}

void clsThing::RecoveryAll() {
  for (int16_t n = 1; n <= kPages; ++n) Slot(n) = Slot(static_cast<int16_t>(-n));
  modify_ = false;
}

void clsThing::SameOne() {
  for (int16_t n = 2; n <= kPages; ++n) Slot(n) = Slot(1);
  modify_ = true;
}

void clsThing::CopyPage(int16_t src, int16_t dst) {
  if (!IsPageNumber(src) || !IsPageNumber(dst)) return;
  Slot(dst) = Slot(src);
  modify_ = true;
}

// ---- Reading ----

int16_t clsThing::NumberOfText(const std::u16string& text) {
  const double value = Val(text);
  // Checked before the 16-bit conversion, which would end a huge value in a bare overflow.
  if (!(std::fabs(value) < 10000) || !IsThingNumber(CInt(value)))
    Throw(err::kClassDefault, u"", Tr("clsThing", "事象番号が範囲外です(0～999)"));
  return CInt(value);
}

bool clsThing::ReadWholeThingKey(const std::u16string& key, const std::u16string& token) {
  if (key == u"NUMBER") {
    Index(NumberOfText(token));
  } else if (key == u"FIGURE") {
    if (const int16_t code = FigureOfKeyword(token)) figure_ = code;
  } else if (key == u"NAME") {
    name_ = token;
  } else if (key == u"CATEGORY") {
    Category(NumberToInt(token));
  } else {
    return false;
  }
  return true;
}

bool clsThing::ReadPageKey(const std::u16string& key, const std::u16string& token,
                           ThingPage& page) {
  if (key == u"SHOW") {
    page.ShowMode = ShowModeOf(NumberToInt(token));
  } else if (key == u"LEVEL") {
    page.ScaleS = LevelScale(NumberToInt(token));
    page.ScaleL = MinScale();
  } else if (key == u"SMALL") {
    page.ScaleS = ScaleOfValue(Val(token));
  } else if (key == u"LARGE") {
    page.ScaleL = ScaleOfValue(Val(token));
  } else if (key == u"FORE") {
    page.Fore = NumberToLong(token);
  } else if (key == u"BACK") {
    page.Back = NumberToLong(token);
  } else if (key == u"STYLE") {
    page.Style = NumberToInt(token);
  } else if (key == u"WIDTH" || key == u"HEIGHT") {
    page.Size = NumberToInt(token);
  } else if (key == u"EUROPIAN") {
    page.Europian = token;
  } else if (key == u"JAPANESE") {
    page.Japanese = token;
  } else {
    return false;
  }
  return true;
}

bool clsThing::ReadKeyLine(const SourceLine& line, SourceLine* numberLine) {
  const size_t equals = line.text.find(u'=');
  // The empty line that closes a block ends here too.
  if (equals == std::u16string::npos || equals == 0) return false;
  const std::u16string key = UpperText(line.text.substr(0, equals));
  const std::vector<std::u16string> tokens = StrToTokens(line.text.substr(equals + 1), 2);
  // An empty value says nothing about a number or a keyword, but it is a valid text (a thing
  // may be named ""); such a line must not end the block either, or the keys after it would
  // be lost.
  if (tokens[0].empty() && !IsTextKey(key)) return true;
  ReadingLine(line, [&] {
    if (ReadWholeThingKey(key, tokens[0])) return;
    for (int16_t n = 1; n <= kPages; ++n) {
      const size_t at = std::min(static_cast<size_t>(n - 1), tokens.size() - 1);
      if (!ReadPageKey(key, tokens[at], Slot(static_cast<int16_t>(-n)))) return;
    }
  });
  if (key == u"NUMBER" && numberLine) *numberLine = line;
  return true;
}

void clsThing::ReadThing(TextLineReader& in, SourceLine* numberLine, std::u16string* endLine) {
  try {
    while (!in.AtEnd()) {
      SourceLine line;
      line.text = in.ReadLine();
      line.number = in.LineNumber();
      if (!ReadKeyLine(line, numberLine)) {
        if (endLine) *endLine = std::move(line.text);
        break;
      }
    }
    RecoveryAll();
    page_ = 1;
    modify_ = false;
  } catch (...) {
    RaiseError(err::kClassDefault, kModule, u"ReadThing");
  }
}

// ---- Writing ----

namespace {

template <class F>
std::u16string PageList(const clsThing& thing, F valueText) {
  if (thing.IsSameAllPage()) return valueText(thing.PageRecord(1));
  std::u16string list;
  for (int16_t n = 1; n <= clsThing::kPages; ++n) {
    if (n > 1) list += u",";
    list += valueText(thing.PageRecord(n));
  }
  // A closing "" alone is no token to the reader, which would then give the last page the
  // text before it; a comma after it makes it one.
  if (list.ends_with(u",\"\"")) list += u",";
  return list;
}

std::vector<std::u16string> KeyLines(const clsThing& thing) {
  const int32_t figure = thing.Figure();
  std::vector<std::u16string> lines = {
      u"NUMBER=" + DecimalText(thing.Index()), u"FIGURE=" + FigureName(figure, 1),
      u"NAME=" + Quote(thing.Name()), u"CATEGORY=" + DecimalText(thing.Category())};
  auto add = [&](const char16_t* key, auto valueText) {
    lines.push_back(key + PageList(thing, valueText));
  };
  if (figure != figcode::kRemark) {
    add(u"SHOW=", [](const ThingPage& p) { return DecimalText(p.ShowMode); });
    add(u"SMALL=", [](const ThingPage& p) { return ScaleText(p.ScaleS); });
    add(u"LARGE=", [](const ThingPage& p) { return ScaleText(p.ScaleL); });
    add(u"FORE=", [](const ThingPage& p) { return ColorText(p.Fore); });
    add(u"BACK=", [](const ThingPage& p) { return ColorText(p.Back); });
    add(u"STYLE=", [](const ThingPage& p) { return DecimalText(p.Style); });
  }
  if (figure == figcode::kPolyline)
    add(u"WIDTH=", [](const ThingPage& p) { return DecimalText(p.Size); });
  if (figure == figcode::kText) {
    add(u"HEIGHT=", [](const ThingPage& p) { return DecimalText(p.Size); });
    add(u"EUROPIAN=", [](const ThingPage& p) { return Quote(p.Europian); });
    add(u"JAPANESE=", [](const ThingPage& p) { return Quote(p.Japanese); });
  }
  lines.emplace_back();
  return lines;
}

}  // namespace

void clsThing::WriteThing(TextLineWriter& out) {
  if (index_ == -1) return;
  try {
    for (const std::u16string& line : KeyLines(*this)) out.WriteLine(line);
    modify_ = false;
  } catch (...) {
    RaiseError(err::kClassDefault, kModule, u"WriteThing");
  }
}

}  // namespace picmap
