// clsThings: the thing catalogue of one thing file (".THG"): the things keyed by number, in
// file order, the file's comment and the names of its twenty categories. The file is text in
// code page 932 with CR LF lines, made of bracketed sections ([COMMENT], [CATEGORY], one
// [THING] per thing). A catalogue loaded from a read-only file is locked: every changing
// operation is refused with a message.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "things/clsThing.h"

namespace picmap {

struct FileFailure;
class TextLineReader;
struct SourceLine;
class TextLineWriter;

class clsThings {
 public:
  static constexpr int16_t kCategories = 20;
  static constexpr int16_t kNumbers = 1000;

  clsThings();

  // True when the catalogue or any of its things changed since loading or saving.
  bool Modify();
  // False also clears every thing's mark.
  void Modify(bool sw);
  const std::u16string& FileName() const { return fileName_; }
  // Gives the path the extension ".THG"; a different path (ignoring case) unlocks.
  void FileName(const std::u16string& sFile);
  bool LockMode() const { return lockMode_; }
  void LockMode(bool f);
  int32_t Count() const { return static_cast<int32_t>(things_.size()); }
  const std::u16string& Comment() const { return comment_; }
  void Comment(const std::u16string& sSrc);
  // Empty for a number outside 1..20.
  std::u16string CategoryName(int16_t iCate) const;
  void CategoryName(int16_t iCate, const std::u16string& sCate);
  // The things in collection order.
  const std::vector<std::shared_ptr<clsThing>>& NewEnum() const { return things_; }
  auto begin() const { return things_.begin(); }
  auto end() const { return things_.end(); }

  void ClearAll();
  // The thing with number iThg, or null.
  std::shared_ptr<clsThing> Item(int16_t iThg);
  // Adds the thing, numbering it after the highest number when it has none; a thing with a
  // number already present replaces that one in its place.
  bool Add(const std::shared_ptr<clsThing>& oThg);
  bool Remove(int16_t iThg);
  // Number of the first thing named sName (letter case ignored), -1 when there is none.
  int16_t Search(const std::u16string& sName) const;
  void ResetUse();

  // 0 on success, 53 for a missing file, else the number of the error that ended it.
  int32_t Load();
  // Load from the bytes of the thing file named by FileName, read elsewhere (the map file
  // driver reads them through GDAL); the catalogue is not locked.
  int32_t LoadContent(std::string bytes);
  // 0 on success, 70 for a read-only file, else the number of the error that ended it.
  int32_t Save();

  // ---- Project-internal ----

  // Names the file exactly as given (no extension change, no unlocking), as a new catalogue
  // names its default file; for tools that must read a file whose name they do not own.
  void AssignFileName(const std::u16string& sFile) { fileName_ = sFile; }
  // The number of sections the last Load recognised: none means the file was no thing file.
  int32_t SectionsRead() const { return sectionsRead_; }

 private:
  bool RefuseLocked(const std::u16string& operation) const;
  int16_t HighestNumber() const;
  void ReplaceInPlace(const std::shared_ptr<clsThing>& oThg);
  void RebuildIndex();
  template <class F>
  auto Step(F&& statement);
  int32_t GiveUp(FileFailure& failure, const std::u16string& procedure);

  int32_t ReadLines(TextLineReader& in, const std::function<void()>& open);
  // The next section's header when a thing block ran into it without a blank line.
  std::optional<std::u16string> ReadSection(TextLineReader& in, const std::u16string& line);
  std::vector<std::u16string> ReadBlock(TextLineReader& in);
  void ReadCategoryLine(const std::u16string& line);
  std::optional<std::u16string> ReadThingBlock(TextLineReader& in, const SourceLine& headerLine);
  void WriteSections(TextLineWriter& out);

  std::u16string fileName_;
  bool lockMode_ = false;
  bool modify_ = false;
  std::vector<std::shared_ptr<clsThing>> things_;
  std::vector<int16_t> keys_;  // the number each thing was added under
  std::array<std::u16string, kCategories> categories_{};
  std::u16string comment_;
  int32_t sectionsRead_ = 0;
  bool indexValid_ = false;
  std::vector<int32_t> index_;  // thing number -> position in things_ (-1 none), on demand
};

}  // namespace picmap
