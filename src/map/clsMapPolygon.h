// clsMapPolygon: the closed-area figure (code 3, "POLYGON"); right with at least 4 points.
#pragma once

#include "map/clsMapLinear.h"
#include "map/map_rectangle.h"

namespace picmap {

class clsMapPolygon : public clsMapLinear {
 public:
  clsMapPolygon() = default;
  int32_t FigCode() const override;

  // The figure a rectangle record stands for, with the record's identifier and marks.
  static std::shared_ptr<clsMapPolygon> FromRectangle(const MapRectangle& r);
  // A polygon to write records through (WriteElm); its own identifier is not drawn.
  static std::unique_ptr<clsMapPolygon> Scratch();
  // Turns this polygon into the rectangle record's figure.
  void AssignRectangle(const MapRectangle& r);
  // The record that stands for this polygon exactly, when it has one.
  bool AsRectangle(MapRectangle& r) const;

  // The version 1.06 element of a record, figure code included, as WriteElm writes it.
  static constexpr size_t kRectangleElement106 = 72;
  static void EncodeRectangle106(const MapRectangle& r, uint8_t* out);
  // The record of an element body (what follows the figure code) when the element is such a
  // rectangle exactly; false for any other polygon element.
  static bool DecodeRectangle106(const uint8_t* body, MapRectangle& r);

 protected:
  int32_t MinPointCount() const override;
  std::shared_ptr<clsMapLinear> NewEmpty() const override;

 private:
  explicit clsMapPolygon(double figId) : clsMapLinear(figId) {}
};

}  // namespace picmap
