// clsThing: one thing of the catalogue, the feature category that map figures refer to by
// number. It says what kind of figure the thing's figures are, what it is called, which
// category it falls in, and how its figures are shown on each of eight display pages.
// Pages 1 to 8 are the working pages; pages -1 to -8 keep the values last read from the file
// so that a working page can be set back to them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace picmap {

class TextLineReader;
struct SourceLine;
class TextLineWriter;

// The display settings of one page.
struct ThingPage {
  int16_t ShowMode = -1;  // -1 by the scale range, 0 never, 1 always
  double ScaleS = 1000000000.0;  // the largest scale denominator still shown
  double ScaleL = 100000.0;      // the smallest scale denominator still shown
  int32_t Fore = 0;
  int32_t Back = -1;
  int16_t Style = 0;
  int16_t Size = 0;  // line width of a polyline thing, text height of a text thing
  std::u16string Europian = u"(default)";
  std::u16string Japanese = u"(default)";
  bool operator==(const ThingPage&) const = default;
};

class clsThing {
 public:
  static constexpr int16_t kPages = 8;

  clsThing();

  bool Modify() const { return modify_; }
  void Modify(bool value) { modify_ = value; }
  bool Use() const { return use_; }
  void Use(bool value) { use_ = value; }
  // 1..8 select a working page, -1..-8 a saved page; other values are ignored.
  int16_t Page() const { return page_; }
  void Page(int16_t iPage);
  int16_t Index() const { return index_; }
  void Index(int16_t iThg);
  int32_t Figure() const { return figure_; }
  void Figure(int32_t iFig);
  const std::u16string& Name() const { return name_; }
  void Name(const std::u16string& sName);
  int16_t Category() const { return category_; }
  void Category(int16_t iCate);

  // The settings of the page selected by Page.
  int16_t ShowMode() const { return Current().ShowMode; }
  // A value other than -1, 0, 1 is stored as -1.
  void ShowMode(int16_t mode);
  double ScaleS() const { return Current().ScaleS; }
  void ScaleS(double sc);
  double ScaleL() const { return Current().ScaleL; }
  void ScaleL(double sc);
  int32_t Fore() const { return Current().Fore; }
  void Fore(int32_t rgbFore);
  int32_t Back() const { return Current().Back; }
  void Back(int32_t rgbBack);
  int16_t Style() const { return Current().Style; }
  int16_t Size() const { return Current().Size; }
  const std::u16string& Europian() const { return Current().Europian; }
  void Europian(const std::u16string& sFont);
  const std::u16string& Japanese() const { return Current().Japanese; }
  void Japanese(const std::u16string& sFont);

  bool IsSameAllPage() const;
  // Whether the current page shows the thing at scale denominator `sc`.
  bool IsPrint(double sc) const;
  void Clear();
  // Sets working page iPage (1..8) back to the values read from the file.
  bool Recovery(int16_t iPage);
  void RecoveryAll();
  void SameOne();
  void CopyPage(int16_t src, int16_t dst);

  // Reads the key lines of one thing block (the block's header line is already read). An
  // error names the line it arose in; a NUMBER line outside 0..999 is one. `numberLine`, when
  // given, receives the NUMBER line the thing took its number from; `endLine` the line that
  // ended the block (a blank line, or the next section's header where no blank line came first).
  void ReadThing(TextLineReader& in, SourceLine* numberLine = nullptr, std::u16string* endLine = nullptr);
  // Writes the key lines and the closing empty line; a thing without a number writes nothing.
  void WriteThing(TextLineWriter& out);

  // The whole record of a page, -8..8 (0 is unused); for copying and comparing pages.
  const ThingPage& PageRecord(int16_t iPage) const;

  // The scale of a LEVEL value, and the scale of a SMALL or LARGE value (a level of the
  // 41-step ladder when 41 or less, else a denominator), clamped into the scale bounds.
  static double LevelScale(int16_t level);
  static double ScaleOfValue(double value);
  // A thing number as a file writes it; a value outside 0..999 is an error, not ignored as
  // the Index setter ignores it, because a thing read under no number or another one is lost.
  static int16_t NumberOfText(const std::u16string& text);

 private:
  ThingPage& Slot(int16_t iPage) { return pages_[static_cast<size_t>(iPage + kPages)]; }
  const ThingPage& Slot(int16_t iPage) const {
    return pages_[static_cast<size_t>(iPage + kPages)];
  }
  ThingPage& Current() { return Slot(page_); }
  const ThingPage& Current() const { return Slot(page_); }
  // Stores one key line's values; false for the line that ends the block.
  bool ReadKeyLine(const SourceLine& line, SourceLine* numberLine);
  // Stores one key line's value; false for a key that does not belong to a thing.
  bool ReadWholeThingKey(const std::u16string& key, const std::u16string& token);
  bool ReadPageKey(const std::u16string& key, const std::u16string& token, ThingPage& page);

  int16_t index_ = -1;
  std::u16string name_;
  int16_t figure_ = 0;
  int16_t category_ = -1;
  std::array<ThingPage, 2 * kPages + 1> pages_{};
  bool modify_ = false;
  int16_t page_ = 1;
  bool use_ = false;
};

// "&H000000FF&": eight upper-case hexadecimal digits of the 32-bit value.
std::u16string ColorText(int32_t rgb);

}  // namespace picmap
