// clsMapFigure: the interface every element of a map implements (remark, polyline, polygon,
// symbol, text). The map document and the map file know figures only through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "geometry/clsPoly.h"
#include "geometry/clsRect.h"
#include "support/platform.h"

namespace picmap {

class BinaryReader;
class BinaryWriter;

class clsMapFigure {
 public:
  virtual ~clsMapFigure() = default;

  // 1 REM, 2 POLYLINE, 3 POLYGON, 4 SYMBOL, 5 TEXT.
  virtual int32_t FigCode() const = 0;
  // Keyword (1) or Japanese name (2) of the kind; empty for any other language.
  virtual std::u16string FigName(int32_t iLang) const = 0;

  virtual double FigID() const = 0;
  virtual void FigID(double value) = 0;  // unchecked; sets Modify
  // Creation time derived from FigID, to the second.
  virtual DateTime FigDate() const = 0;

  virtual bool Modify() = 0;  // may fold the point list's flag into the figure's own
  virtual void Modify(bool value) = 0;

  // Validated setters: a value out of range is ignored silently; one in range is stored and
  // sets Modify even when it equals the old value.
  virtual int32_t OwnColor() const = 0;  // -1 .. 0xFFFFFF
  virtual void OwnColor(int32_t value) = 0;
  virtual int32_t OwnShowMode() const = 0;  // -1, 0, 1
  virtual void OwnShowMode(int32_t value) = 0;
  virtual int16_t Admin() const = 0;  // 0 .. 999, -1 unset
  virtual void Admin(int16_t value) = 0;
  virtual int16_t Thing() const = 0;  // 0 .. 999, -1 unset; inert in a remark
  virtual void Thing(int16_t value) = 0;
  virtual int16_t JumpMark() const = 0;  // 0 .. 9
  virtual void JumpMark(int16_t value) = 0;
  virtual int32_t Reserve() const = 0;
  virtual void Reserve(int32_t value) = 0;  // unchecked; sets Modify

  // The figure's own point list, shared (not a copy). A remark hands out a new empty list
  // each time and ignores the setter.
  virtual std::shared_ptr<clsPoly> Poly() = 0;
  virtual void Poly(std::shared_ptr<clsPoly> list) = 0;

  // A new, independent figure of the same class (with a new FigID).
  virtual std::shared_ptr<clsMapFigure> Copy() const = 0;
  // Complete, and every attribute in range; the map refuses figures that are not.
  virtual bool IsRight() const = 0;
  // The figure lies in or meets the rectangle (a remark: never).
  virtual bool IsInner(const clsRect& oRect) const = 0;

  // Reads the element body (after the 16-bit figure code the reader consumed) of a map file
  // of version `ver` (99..106), storing values without range checks; clears Modify.
  virtual void ReadElm(BinaryReader& iFile, int32_t ver) = 0;
  // Writes the whole element, figure code included; clears Modify.
  virtual void WriteElm(BinaryWriter& iFile, int32_t ver) = 0;
};

using FigurePtr = std::shared_ptr<clsMapFigure>;

// A new figure identifier: local time in whole seconds since 1899-12-30 times 100000, plus
// 0..99999 from one fixed-seed pseudo-random sequence that is never reseeded.
double NewFigureID();
// The creation time encoded in a figure identifier.
DateTime FigureIDDate(double figID);

// A new figure of the class for a figure code (1..5); nullptr for any other code.
FigurePtr NewFigureOfCode(int32_t code);

}  // namespace picmap
