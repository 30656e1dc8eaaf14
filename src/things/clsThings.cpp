#include "things/clsThings.h"

#include <algorithm>

#include "support/errormng.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/numeric.h"
#include "support/platform.h"
#include "support/text.h"
#include "support/ui_text.h"
#include "things/textlines.h"

namespace picmap {

namespace {

constexpr char16_t kModule[] = u"clsThings";
constexpr char16_t kCrLf[] = u"\r\n";

std::u16string Join(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += kCrLf;
    text += lines[i];
  }
  return text;
}

bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

clsThings::clsThings() {
  ClearAll();
  fileName_ = Program().folder + u"/Default.thg";
}

// ---- Properties ----

bool clsThings::Modify() {
  if (modify_) return true;
  for (const auto& thing : things_) {
    if (thing->Modify()) {
      modify_ = true;
      return true;
    }
  }
  return false;
}

void clsThings::Modify(bool sw) {
  modify_ = sw;
  if (sw) {
    indexValid_ = false;
    return;
  }
  for (const auto& thing : things_) thing->Modify(false);
}

void clsThings::FileName(const std::u16string& sFile) {
  const std::u16string path = ChangeExtension(sFile, u"THG");
  if (EqualsIgnoringCase(path, fileName_)) return;
  fileName_ = path;
  Modify(true);
  LockMode(false);
}

void clsThings::LockMode(bool f) {
  if (f == lockMode_) return;
  lockMode_ = f;
  Modify(true);
}

void clsThings::Comment(const std::u16string& sSrc) {
  if (RefuseLocked(u"Comment")) return;
  comment_ = sSrc;
  Modify(true);
}

std::u16string clsThings::CategoryName(int16_t iCate) const {
  if (!IsCategoryNumber(iCate)) return {};
  return categories_[static_cast<size_t>(iCate - 1)];
}

void clsThings::CategoryName(int16_t iCate, const std::u16string& sCate) {
  if (RefuseLocked(u"CategoryName")) return;
  if (!IsCategoryNumber(iCate)) return;
  categories_[static_cast<size_t>(iCate - 1)] = sCate;
  Modify(true);
}

bool clsThings::RefuseLocked(const std::u16string& operation) const {
  if (!lockMode_) return false;
  ShowError(fileName_ + u"\r\n" + Tr("clsThings", "は変更禁止.") + u" [" + operation + u"]");
  return true;
}

// ---- The collection ----

void clsThings::ClearAll() {
  if (RefuseLocked(u"ClearAll")) return;
  things_.clear();
  keys_.clear();
  categories_.fill(std::u16string());
  comment_.clear();
  index_.clear();
  indexValid_ = false;
  modify_ = false;
}

void clsThings::RebuildIndex() {
  index_.assign(kNumbers, -1);
  for (size_t i = 0; i < things_.size(); ++i) {
    const int16_t number = things_[i]->Index();
    if (IsThingNumber(number)) index_[static_cast<size_t>(number)] = static_cast<int32_t>(i);
  }
  indexValid_ = true;
}

std::shared_ptr<clsThing> clsThings::Item(int16_t iThg) {
  if (!indexValid_) RebuildIndex();
  if (!IsThingNumber(iThg)) return nullptr;
  const int32_t position = index_[static_cast<size_t>(iThg)];
  return position < 0 ? nullptr : things_[static_cast<size_t>(position)];
}

int16_t clsThings::HighestNumber() const {
  int16_t highest = -1;
  for (const auto& thing : things_) highest = std::max(highest, thing->Index());
  return highest;
}

void clsThings::ReplaceInPlace(const std::shared_ptr<clsThing>& oThg) {
  try {
    const auto key = std::find(keys_.begin(), keys_.end(), oThg->Index());
    things_[static_cast<size_t>(key - keys_.begin())] = oThg;
  } catch (...) {
    RaiseError(err::kClassDefault, kModule, u"Add");
  }
}

bool clsThings::Add(const std::shared_ptr<clsThing>& oThg) {
  if (RefuseLocked(u"Add")) return false;
  if (!oThg) return false;
  if (oThg->Index() == -1) oThg->Index(static_cast<int16_t>(HighestNumber() + 1));
  const int16_t number = oThg->Index();
  if (!IsThingNumber(number)) return false;
  if (std::find(keys_.begin(), keys_.end(), number) == keys_.end()) {
    things_.push_back(oThg);
    keys_.push_back(number);
  } else {
    ReplaceInPlace(oThg);
  }
  modify_ = true;
  indexValid_ = false;
  return true;
}

bool clsThings::Remove(int16_t iThg) {
  if (RefuseLocked(u"Remove")) return false;
  indexValid_ = false;
  const auto key = std::find(keys_.begin(), keys_.end(), iThg);
  if (key == keys_.end()) return false;
  things_.erase(things_.begin() + (key - keys_.begin()));
  keys_.erase(key);
  return true;
}

int16_t clsThings::Search(const std::u16string& sName) const {
  for (const auto& thing : things_) {
    if (EqualsIgnoringCase(thing->Name(), sName)) return thing->Index();
  }
  return -1;
}

void clsThings::ResetUse() {
  for (const auto& thing : things_) thing->Use(false);
}

// ---- The file ----

template <class F>
auto clsThings::Step(F&& statement) {
  return RetryFileStatement(fileName_, std::forward<F>(statement));
}

int32_t clsThings::GiveUp(FileFailure& failure, const std::u16string& procedure) {
  if (failure.PassUp()) {
    AddErrorLocation(failure.error, err::kClassDefault, kModule, procedure);
    throw failure.error;
  }
  return failure.error.Number();
}

namespace {

bool IsSectionHeader(const std::u16string& line) { return StartsWith(TrimText(line), u"["); }

}  // namespace

std::vector<std::u16string> clsThings::ReadBlock(TextLineReader& in) {
  std::vector<std::u16string> lines;
  while (!Step([&] { return in.AtEnd(); })) {
    std::u16string line = Step([&] { return in.ReadLine(); });
    if (line.empty()) break;
    lines.push_back(std::move(line));
  }
  return lines;
}

void clsThings::ReadCategoryLine(const std::u16string& line) {
  const std::vector<std::u16string> tokens = StrToTokens(line, 2);
  if (tokens.size() != 2) return;
  CategoryName(CInt(Val(tokens[0])), tokens[1]);
}

// A later block with a number already read would replace the earlier thing; the file is
// refused instead, naming the line the second number stands in.
std::optional<std::u16string> clsThings::ReadThingBlock(TextLineReader& in, const SourceLine& headerLine) {
  const std::u16string header = UpperText(TrimText(headerLine.text));
  auto thing = std::make_shared<clsThing>();
  SourceLine numberLine = headerLine;
  // [THING=12]: the number between "=" and the closing bracket.
  if (header.size() >= 7 && header[6] == u'=') {
    const std::u16string digits = header.size() > 8 ? header.substr(7, header.size() - 8) : u"";
    Step([&] { ReadingLine(headerLine, [&] { thing->Index(clsThing::NumberOfText(digits)); }); });
  }
  std::u16string endLine;
  Step([&] { thing->ReadThing(in, &numberLine, &endLine); });
  if (Item(thing->Index())) {
    Step([&] { Throw(err::kClassDefault, u"", Tr("clsThings", "事象番号が重複しています") + numberLine.Location()); });
  }
  Step([&] { return Add(thing); });
  if (IsSectionHeader(endLine)) return endLine;
  return std::nullopt;
}

std::optional<std::u16string> clsThings::ReadSection(TextLineReader& in, const std::u16string& line) {
  const std::u16string header = UpperText(TrimText(line));
  const bool known = header == u"[COMMENT]" || header == u"[CATEGORY]" || header == u"[LINK]" ||
                     header == u"[NATION]" || StartsWith(header, u"[THING");
  if (known) ++sectionsRead_;
  std::optional<std::u16string> next;
  if (header == u"[COMMENT]") {
    comment_ = Join(ReadBlock(in));
  } else if (header == u"[CATEGORY]") {
    for (const std::u16string& entry : ReadBlock(in)) Step([&] { ReadCategoryLine(entry); });
  } else if (StartsWith(header, u"[THING")) {
    next = ReadThingBlock(in, SourceLine{in.LineNumber(), line});
  } else if (header == u"[LINK]" || header == u"[NATION]") {
    ReadBlock(in);
  }
  return next;
}

int32_t clsThings::Load() {
  if (!FileExists(fileName_)) {
    ShowError(Tr("clsThings", "事象ファイルが存在しません.") + u"\r\n" + fileName_);
    return err::kFileNotFound;
  }
  TextLineReader in;
  const int32_t result = ReadLines(in, [&] { in.Open(fileName_); });
  // Directly, not through the setter: finding the lock is no change of the catalogue.
  if (result == 0) lockMode_ = IsReadOnlyFile(fileName_, false);
  return result;
}

int32_t clsThings::LoadContent(std::string bytes) {
  TextLineReader in;
  return ReadLines(in, [&] { in.OpenContent(std::move(bytes)); });
}

int32_t clsThings::ReadLines(TextLineReader& in, const std::function<void()>& open) {
  try {
    LockMode(false);
    ClearAll();
    sectionsRead_ = 0;
    Step(open);
    std::optional<std::u16string> next;
    while (next || !Step([&] { return in.AtEnd(); })) {
      const std::u16string line = next ? *std::exchange(next, std::nullopt) : Step([&] { return in.ReadLine(); });
      next = ReadSection(in, line);
    }
    Step([&] { in.Close(); });
  } catch (FileFailure& failure) {
    in.Close();
    ClearAll();
    return GiveUp(failure, u"Load");
  }
  Modify(false);
  return 0;
}

void clsThings::WriteSections(TextLineWriter& out) {
  auto line = [&](const std::u16string& text) { Step([&] { out.WriteLine(text); }); };
  if (!comment_.empty()) {
    line(u"[COMMENT]");
    line(comment_);
    line(u"");
  }
  line(u"[CATEGORY]");
  for (int16_t n = 1; n <= kCategories; ++n) {
    const std::u16string& name = categories_[static_cast<size_t>(n - 1)];
    if (!name.empty()) line(FromUtf8(std::to_string(n)) + u"," + Quote(name));
  }
  line(u"");
  for (const auto& thing : things_) {
    // A header without key lines would swallow the next thing's header when read back.
    if (thing->Index() == -1) continue;
    line(u"[THING]");
    Step([&] { thing->WriteThing(out); });
  }
}

int32_t clsThings::Save() {
  if (!Modify()) return 0;
  if (IsReadOnlyFile(fileName_, true)) return err::kPermissionDenied;
  TextLineWriter out;
  try {
    Step([&] { out.Open(fileName_); });
    WriteSections(out);
    // A thing file someone edited by hand is kept, as a replaced map file is.
    const bool keepOld = FileExists(fileName_) && !FileHolds(fileName_, out.Content());
    Step([&] { out.Commit(keepOld); });
  } catch (FileFailure& failure) {
    out.Discard();
    return GiveUp(failure, u"Save");
  }
  Modify(false);
  return 0;
}

}  // namespace picmap
