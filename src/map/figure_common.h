// What the five figure classes share: the common attributes with their validated setters,
// the attribute fields of the element layouts, and the code page 932 text fields.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "map/clsMapFigure.h"

namespace picmap {

// Little-endian fields gathered in a small buffer so that a fixed part of an element is one
// read or one write of the buffered file.
class FieldBlock {
 public:
  static constexpr size_t kCapacity = 64;
  template <class T>
  void Put(T v) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(bytes_ + size_, &v, sizeof v);
    size_ += sizeof v;
  }
  template <class T>
  T Take() {
    static_assert(std::is_trivially_copyable_v<T>);
    T v;
    std::memcpy(&v, bytes_ + taken_, sizeof v);
    taken_ += sizeof v;
    return v;
  }
  void WriteTo(BinaryWriter& w) const;
  // Fills the block with the next n bytes of the file.
  void ReadFrom(BinaryReader& r, size_t n);
  size_t Size() const { return size_; }

 private:
  uint8_t bytes_[kCapacity];
  size_t size_ = 0;
  size_t taken_ = 0;
};

// The common attributes and the members every figure implements the same way.
class MapFigureCommon : public clsMapFigure {
 public:
  std::u16string FigName(int32_t iLang) const override;
  double FigID() const override { return figId_; }
  void FigID(double value) override;
  DateTime FigDate() const override { return FigDateOf(figId_); }
  bool Modify() const override { return modified_; }
  void Modify(bool value) override { modified_ = value; }
  int32_t OwnColor() const override { return ownColor_; }
  void OwnColor(int32_t value) override;
  int32_t OwnShowMode() const override { return ownShowMode_; }
  void OwnShowMode(int32_t value) override;
  int16_t Admin() const override { return admin_; }
  void Admin(int32_t value) override;
  int16_t Thing() const override { return thing_; }
  void Thing(int32_t value) override;
  int16_t JumpMark() const override { return jumpMark_; }
  void JumpMark(int32_t value) override;
  int32_t Reserve() const override { return reserve_; }
  void Reserve(int32_t value) override;

 protected:
  MapFigureCommon() : figId_(NewFigureId()) {}
  // A figure that already has its identifier (the sequence of new identifiers is not drawn).
  explicit MapFigureCommon(double figId) : figId_(figId) {}
  // Every attribute the class has is in range.
  bool AttributesRight() const;
  // Sets the attributes of `target` from this figure through target's own setters.
  void CopyAttributesTo(clsMapFigure& target) const;

  // Version 1.06: FigID, Admin, thing, OwnColor, show mode + 1, JumpMark, Reserve (22 bytes).
  static constexpr size_t kCommon106Size = 22;
  void PutCommon106(FieldBlock& b, int16_t thing) const;
  void TakeCommon106(FieldBlock& b);
  // Version 1.05: the packed attribute word.
  int32_t AttributeWord() const;
  void SetFromAttributeWord(int32_t word);

  mutable bool modified_ = false;
  int16_t admin_ = -1;
  int16_t thing_ = -1;
  int16_t ownShowMode_ = -1;
  int16_t jumpMark_ = 0;
  int32_t ownColor_ = -1;
  int32_t reserve_ = 0;
  double figId_;
};

// Code page 932 text in elements.
bool IsCp932LeadByte(uint8_t b);
// Number of characters the bytes hold (a lead byte and its follower count once).
int32_t Cp932CharCount(std::string_view bytes);
// The last byte is a lead byte without the byte that completes it (a cut-off text).
bool EndsInLoneLeadByte(std::string_view bytes);
// Reads `chars` characters of code page 932 text and returns their bytes. The file must
// hold at least one byte per character; anything shorter is the short-file error.
std::string ReadCp932Chars(BinaryReader& r, int32_t chars);
// Reads n bytes after checking that the file holds them (no allocation on a corrupt count).
std::string ReadTextBytes(BinaryReader& r, int32_t n);

}  // namespace picmap
