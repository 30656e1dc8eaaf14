// The facts about the whole map that live in header remark lines: version, last update, map
// code with kind, country and scale level, map names and projection name.
#include <algorithm>
#include <array>
#include <cstdio>

#include "map/clsMap.h"
#include "map/clsMapRem.h"
#include "map/map_guard.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/text.h"

namespace picmap {

namespace {

constexpr char16_t kVersionKey[] = u"地図バージョン";
constexpr char16_t kLastDateKey[] = u"最終更新日時";
constexpr char16_t kMapCodeKey[] = u"地図コード";

const std::array<const char16_t*, 10> kKinds = {
    u"その他地図", u"ベース地図", u"海底地形図", u"世界行政図", u"世界地形図",
    u"世界交通図", u"国別行政図", u"国別地形図", u"国別交通図", u"ユーザー地図"};

const std::array<const char16_t*, 7> kLatinNameKeys = {
    u"欧州語地図名", u"欧文地図名", u"欧文国名", u"欧文大陸名", u"地図名", u"大陸名", u"国名"};
const std::array<const char16_t*, 7> kJapaneseNameKeys = {
    u"日本語地図名", u"和文地図名", u"和文国名", u"和文大陸名", u"地図名", u"大陸名", u"国名"};

// A whole text as a number; anything else is the conversion error (13).
double NumberOf(const std::u16string& text) {
  double v = 0;
  if (!TryTextToDouble(text, v)) Throw(err::kTypeMismatch);
  return v;
}


// "2026/12/07 4:52:01" (or a date alone); false for any other text.
bool ParseGeneralDate(const std::u16string& text, DateTime& t) {
  const std::string s = ToUtf8(TrimText(text));
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  char tail = 0;
  const int n = std::sscanf(s.c_str(), "%d/%d/%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &sec, &tail);
  if (n != 3 && n != 6) return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 ||
      sec > 59)
    return false;
  t = DateTime{y, mo, d, h, mi, sec};
  return true;
}

}  // namespace

clsMapRem* clsMap::RemarkAt(int32_t Index) const {
  if (FigCode(Index) != 1) return nullptr;  // asks a rectangle record nothing
  return static_cast<clsMapRem*>(FigureAt(Index).get());
}

int32_t clsMap::SearchHeaderLine(const std::u16string& sKey) const {
  return GuardedMapOperation(u"SearchHeaderLine", [&] {
    const int32_t last = std::min(Count(), kHeaderLines);
    for (int32_t i = 1; i <= last; ++i) {
      const clsMapRem* rem = RemarkAt(i);
      if (!rem) continue;
      const std::u16string key = rem->Key();
      if (!key.empty() && EqualsIgnoringCase(key, sKey)) return i;
    }
    return int32_t{0};
  });
}

std::u16string clsMap::SearchHeader(const std::u16string& sKey) const {
  return GuardedMapOperation(u"SearchHeader", [&] {
    const int32_t i = SearchHeaderLine(sKey);
    return i == 0 ? std::u16string() : RemarkAt(i)->Value();
  });
}

std::u16string clsMap::SearchRem(const std::u16string& sKey) const {
  return GuardedMapOperation(u"SearchRem", [&] {
    for (int32_t i = 1; i <= Count(); ++i) {
      const clsMapRem* rem = RemarkAt(i);
      if (!rem) continue;
      const std::u16string key = rem->Key();
      if (!key.empty() && EqualsIgnoringCase(key, sKey)) return rem->Value();
    }
    return std::u16string();
  });
}

int16_t clsMap::Version() const {
  const std::u16string v = SearchHeader(kVersionKey);
  if (v == u"1.06")
    version_ = 106;
  else if (v == u"1.05")
    version_ = 105;
  return version_;
}

void clsMap::Version(int16_t iVer) {
  if (iVer < 99 || iVer > 106) return;
  try {
    const std::u16string line =
        std::u16string(u"# ") + kVersionKey + u"　：" + DoubleToText(iVer / 100.0);
    bool rewritten = false;
    const int32_t last = std::min(Count(), kHeaderLines);
    for (int32_t i = 1; i <= last; ++i) {
      clsMapRem* rem = RemarkAt(i);
      if (!rem) continue;
      const std::u16string key = rem->Key();
      if (key.empty()) continue;
      if (EqualsIgnoringCase(key, kVersionKey) || FindIgnoringCase(key, u"version") > 0) {
        rem->Comment(line);
        Modify(true);
        rewritten = true;
      }
    }
    if (!rewritten) Ins(1, NewRemark(line));
    version_ = iVer;
  } catch (...) {
    RaiseError(err::kMapVersion, u"clsMap", u"Version");
  }
}

std::u16string clsMap::Kind() const {
  return GuardedMapOperation(u"Kind", [&] {
    const std::u16string code = SearchHeader(kMapCodeKey);
    if (code.size() != 6) return SearchHeader(u"種別");
    const double digit = NumberOf(code.substr(1, 1));
    if (digit < 0 || digit > 9) return std::u16string();
    return std::u16string(kKinds[static_cast<size_t>(digit)]);
  });
}

int16_t clsMap::Country() const {
  return GuardedMapOperation(u"Country", [&] {
    const std::u16string code = SearchHeader(kMapCodeKey);
    if (code.size() == 6) return CInt(NumberOf(code.substr(3, 3)));
    const std::u16string text = SearchHeader(u"国番号");
    return text.empty() ? int16_t{-1} : CInt(NumberOf(text));
  });
}

int16_t clsMap::Level() const {
  return GuardedMapOperation(u"Level", [&] {
    const std::u16string code = SearchHeader(kMapCodeKey);
    if (code.size() == 6) return CInt(NumberOf(code.substr(2, 1)));
    const std::u16string text = SearchHeader(u"縮尺レベル");
    return text.empty() ? int16_t{-1} : CInt(NumberOf(text));
  });
}

int32_t clsMap::MapCode() const {
  const std::u16string text = SearchHeader(kMapCodeKey);
  return text.empty() ? -1 : CLng(NumberOf(text));
}

std::u16string clsMap::MapName(int32_t iLang) const {
  return GuardedMapOperation(u"MapName", [&] {
    if (iLang != 1 && iLang != 2) return std::u16string();
    for (const char16_t* key : iLang == 1 ? kLatinNameKeys : kJapaneseNameKeys) {
      std::u16string name = SearchHeader(key);
      if (!name.empty()) return name;
    }
    return FileNameOf(fileName_);
  });
}

std::u16string clsMap::ProjectionName() const {
  return GuardedMapOperation(u"ProjectionName", [&] {
    if (mapMode_ != 2) return std::u16string();
    if (projectionName_.empty()) projectionName_ = SearchRem(u"図法名");
    if (projectionName_.empty()) projectionName_ = SearchRem(u"投影法名");
    return projectionName_;
  });
}

DateTime clsMap::LastDate() const {
  DateTime t{1899, 12, 30, 0, 0, 0};
  ParseGeneralDate(SearchHeader(kLastDateKey), t);
  return t;
}

void clsMap::LastDate(const DateTime& dt) {
  const std::u16string line = std::u16string(u"# ") + kLastDateKey + u"　　：" + GeneralDateText(dt);
  const int32_t i = SearchHeaderLine(kLastDateKey);
  if (i == 0) {
    Ins(2, NewRemark(line));
    return;
  }
  RemarkAt(i)->Comment(line);
  Modify(true);
}

}  // namespace picmap
