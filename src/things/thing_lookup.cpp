#include "things/thing_lookup.h"

#include "support/colorlib.h"
#include "support/errors.h"
#include "support/library.h"
#include "things/clsThings.h"

namespace picmap {

std::u16string ThingLookup::ThingFileOf(const std::u16string& mapFile) {
  return ChangeExtension(mapFile, u".THG");
}

ThingLookup ThingLookup::BesideMap(const std::u16string& mapFile) {
  for (const char16_t* ext : {u".THG", u".thg"}) {
    const std::u16string file = ChangeExtension(LinkTarget(mapFile), ext);
    if (!FileExists(file)) continue;
    auto things = std::make_shared<clsThings>();
    // The exact name: on a case-sensitive file system ".thg" is another file than ".THG".
    things->AssignFileName(file);
    try {
      if (things->Load() == 0) return ThingLookup(things);
    } catch (const Error&) {
      // An unreadable thing file leaves the map without thing colours and names.
    }
    return ThingLookup();
  }
  return ThingLookup();
}

ThingLookup ThingLookup::BesideMap(const std::u16string& mapFile, const FileReader& read,
                                   std::u16string* problem) {
  auto refuse = [&](const std::u16string& why) {
    if (problem) *problem = why;
    return ThingLookup();
  };
  for (const char16_t* ext : {u".THG", u".thg"}) {
    const std::u16string file = ChangeExtension(LinkTarget(mapFile), ext);
    std::optional<std::string> content = read(file);
    if (!content) continue;
    auto things = std::make_shared<clsThings>();
    things->AssignFileName(file);
    // As for a local file, a thing file that cannot be read leaves the map without thing
    // colours and names.
    try {
      if (things->LoadContent(std::move(*content)) != 0) return refuse(file + u": cannot be read");
    } catch (const Error& e) {
      return refuse(file + u": " + e.Description());
    }
    if (things->SectionsRead() == 0) return refuse(file + u": not a thing file");
    return ThingLookup(things);
  }
  return refuse(ThingFileOf(LinkTarget(mapFile)) + u": no such thing file");
}

std::optional<std::u16string> ThingLookup::NameOf(int16_t thing) const {
  if (!things_) return std::nullopt;
  const std::shared_ptr<clsThing> t = things_->Item(thing);
  if (!t) return std::nullopt;
  return t->Name();
}

std::optional<int32_t> ThingLookup::ForeOf(int16_t thing) const {
  if (!things_) return std::nullopt;
  const std::shared_ptr<clsThing> t = things_->Item(thing);
  if (!t) return std::nullopt;
  const int16_t page = t->Page();
  t->Page(1);
  const int32_t fore = t->Fore();
  t->Page(page);
  if (fore < 0 || !IsColorValue(fore)) return std::nullopt;
  return fore;
}

std::optional<int16_t> ThingLookup::CategoryOf(int16_t thing) const {
  if (!things_) return std::nullopt;
  const std::shared_ptr<clsThing> t = things_->Item(thing);
  if (!t) return std::nullopt;
  return t->Category();
}

std::optional<std::u16string> ThingLookup::CategoryNameOf(int16_t thing) const {
  const std::optional<int16_t> category = CategoryOf(thing);
  if (!category) return std::nullopt;
  return things_->CategoryName(*category);
}

int32_t ThingLookup::ColorOf(int32_t ownColor, int16_t thing) const {
  if (ownColor >= 0) return ownColor;
  return ForeOf(thing).value_or(kNeutralGrey);
}

}  // namespace picmap
