// clsMapFigure: the interface every element of a map implements (remark, polyline, polygon,
// symbol, text). The map document and the map file reader and writer know figures only
// through it; the concrete classes are reached by checking FigCode and casting.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
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

  virtual int32_t FigCode() const = 0;
  // The element keyword (1) or the Japanese name (2); empty for any other language.
  virtual std::u16string FigName(int32_t iLang) const = 0;
  virtual double FigID() const = 0;
  virtual void FigID(double value) = 0;
  // The creation time, to the second, encoded in FigID.
  virtual DateTime FigDate() const = 0;
  virtual bool Modify() const = 0;
  virtual void Modify(bool value) = 0;

  // Validated setters: a value out of range is ignored; one in range is stored and marks
  // the figure modified, even when it equals the old value.
  virtual int32_t OwnColor() const = 0;           // -1 .. 0xFFFFFF, -1 = none
  virtual void OwnColor(int32_t value) = 0;
  virtual int32_t OwnShowMode() const = 0;        // -1, 0, 1
  virtual void OwnShowMode(int32_t value) = 0;
  virtual int16_t Admin() const = 0;              // 0 .. 999
  virtual void Admin(int32_t value) = 0;
  virtual int16_t Thing() const = 0;              // 0 .. 999
  virtual void Thing(int32_t value) = 0;
  virtual int16_t JumpMark() const = 0;           // 0 .. 9
  virtual void JumpMark(int32_t value) = 0;
  virtual int32_t Reserve() const = 0;            // unchecked
  virtual void Reserve(int32_t value) = 0;

  // The figure's own point list (shared, not copied) for polylines and polygons; a new list
  // each call for the others.
  virtual std::shared_ptr<clsPoly> Poly() const = 0;
  virtual void Poly(std::shared_ptr<clsPoly> value) = 0;

  // A new independent figure of the same class, with its own new FigID.
  virtual std::shared_ptr<clsMapFigure> Copy() const = 0;
  // Complete and every attribute in range: the document takes in only such figures.
  virtual bool IsRight() const = 0;
  // Lies in or meets the rectangle.
  virtual bool IsInner(const clsRect& oRect) const = 0;
  // The element body after the figure code, in the layout of map file version `ver`
  // (104 for 1.04 ...). No range checks: the reader asks IsRight afterwards.
  virtual void ReadElm(BinaryReader& iFile, int32_t ver) = 0;
  // The whole element, figure code included.
  virtual void WriteElm(BinaryWriter& iFile, int32_t ver) = 0;
};

// A new figure identifier: the local time in whole seconds since 1899-12-30 times 100000,
// plus 0 .. 99999 from one pseudo-random sequence that is never reseeded.
double NewFigureId();
// The same for a time already read (local time in seconds since 1970 as ToEpochSeconds gives
// it): a long job reads the clock once, not once per figure.
double NewFigureIdAt(int64_t epochSeconds);
// The identifier the draw n places ahead in `sequence` (0: its next draw) gives at that time,
// without drawing: a reader that makes figures one at a time on request gives each the
// identifier it would have had from a load of the whole map.
double FigureIdAhead(const std::minstd_rand& sequence, uint64_t n, int64_t epochSeconds);
// Where the identifier sequence stands, and putting it back there: two documents built one
// after the other then draw the same identifiers (tests compare their files byte for byte).
std::minstd_rand FigureIdSequence();
void SetFigureIdSequence(const std::minstd_rand& sequence);
// Moves the sequence on by n identifiers without making them (figures that would have been
// made and given their identifier from a file).
void SkipFigureIds(uint64_t n);
// The creation time encoded in an identifier.
DateTime FigDateOf(double figId);

// A new, empty figure of the class with the given code (1 .. 5); nullptr for other codes.
std::shared_ptr<clsMapFigure> CreateFigure(int32_t figCode);

}  // namespace picmap
