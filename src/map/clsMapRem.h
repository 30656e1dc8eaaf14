// clsMapRem: the remark figure (code 1), one line of text among the figures. Header lines of
// the form "# key：value" carry the facts about the whole map, found through Key and Value.
#pragma once

#include <memory>
#include <string>

#include "map/NewRemark.h"
#include "map/figure_common.h"

namespace picmap {

class clsMapRem : public MapFigureCommon {
 public:
  clsMapRem() = default;

  int32_t FigCode() const override { return 1; }
  // A remark has no thing: it reads -1 and ignores writes.
  int16_t Thing() const override { return -1; }
  void Thing(int32_t) override {}
  // No geometry: a new empty list on every read; writes are ignored.
  std::shared_ptr<clsPoly> Poly() const override;
  void Poly(std::shared_ptr<clsPoly>) override {}
  std::shared_ptr<clsMapFigure> Copy() const override;
  bool IsRight() const override;
  bool IsInner(const clsRect&) const override { return false; }
  void ReadElm(BinaryReader& iFile, int32_t ver) override;
  void WriteElm(BinaryWriter& iFile, int32_t ver) override;

  const std::u16string& Comment() const { return comment_; }
  void Comment(const std::u16string& sSrc);
  // The key and value of a header line ("# " key colon value), both trimmed; empty for any
  // other comment. The colon is the first full-width "：", or the first ":" without one, at
  // character position 5 to 20.
  std::u16string Key() const;
  std::u16string Value() const;

 private:
  // Position (0-based) of the header colon, or npos when the comment is no header line.
  size_t HeaderColon() const;
  void ReadText106(BinaryReader& r);
  void ReadCharCounted(BinaryReader& r);
  void WriteCharCounted(BinaryWriter& w, FieldBlock& head) const;

  std::u16string comment_;
};

}  // namespace picmap
