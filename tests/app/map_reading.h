// Reading generated maps back in tests: the rectangles and the remark texts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "geometry/clsPoly.h"
#include "map/clsMap.h"
#include "map/clsMapFigure.h"
#include "map/clsMapRem.h"
#include "support/figcodes.h"

namespace picmap::test {

struct Rect {
  int32_t left, right, top, bottom, colour;
  bool operator==(const Rect&) const = default;
};

// The polygons of the map in order, as rectangles; a polygon that is not the closed
// five-point ring of a rectangle fails the test that reads it.
inline std::vector<Rect> RectsOf(clsMap& map) {
  std::vector<Rect> out;
  for (int32_t i = 1; i <= map.Count(); ++i) {
    std::shared_ptr<clsMapFigure> f = map.Item(i);
    if (f->FigCode() != figcode::kPolygon) continue;
    const clsPoly& p = *f->Poly();
    EXPECT_EQ(p.Count(), 5);
    if (p.Count() != 5) continue;
    const Rect r{p.x(1), p.x(2), p.y(1), p.y(3), f->OwnColor()};
    EXPECT_EQ(p.y(2), r.top);
    EXPECT_EQ(p.x(3), r.right);
    EXPECT_EQ(p.x(4), r.left);
    EXPECT_EQ(p.y(4), r.bottom);
    EXPECT_EQ(p.x(5), r.left);
    EXPECT_EQ(p.y(5), r.top);
    out.push_back(r);
  }
  return out;
}

inline std::vector<std::u16string> RemarksOf(clsMap& map) {
  std::vector<std::u16string> out;
  for (int32_t i = 1; i <= map.Count(); ++i)
    if (auto rem = std::dynamic_pointer_cast<clsMapRem>(map.Item(i))) out.push_back(rem->Comment());
  return out;
}

inline std::u16string CommentAt(clsMap& map, int32_t index) {
  auto rem = std::dynamic_pointer_cast<clsMapRem>(map.Item(index));
  return rem ? rem->Comment() : u"(not a remark)";
}

}  // namespace picmap::test
