#include "map/clsMapPolygon.h"

#include <span>

namespace picmap {

int32_t clsMapPolygon::FigCode() const { return 3; }

int32_t clsMapPolygon::MinPointCount() const { return 4; }

std::shared_ptr<clsMapLinear> clsMapPolygon::NewEmpty() const { return std::make_shared<clsMapPolygon>(); }

std::shared_ptr<clsMapPolygon> clsMapPolygon::FromRectangle(const MapRectangle& r) {
  std::shared_ptr<clsMapPolygon> p(new clsMapPolygon(r.figId));
  p->AssignRectangle(r);
  return p;
}

std::unique_ptr<clsMapPolygon> clsMapPolygon::Scratch() {
  return std::unique_ptr<clsMapPolygon>(new clsMapPolygon(0.0));
}

// As generation leaves a figure: the points appended one by one (modified, bounds not yet
// known), or as reading or saving leaves it (nothing modified).
void clsMapPolygon::AssignRectangle(const MapRectangle& r) {
  figId_ = r.figId;
  admin_ = 0;
  thing_ = r.thing;
  ownColor_ = r.colour;
  ownShowMode_ = r.showMode;
  jumpMark_ = 0;
  reserve_ = 0;
  clsPoly& q = *Poly();
  q.Count(5);
  q.SetXandY(1, r.left, r.top);
  q.SetXandY(2, r.right, r.top);
  q.SetXandY(3, r.right, r.bottom);
  q.SetXandY(4, r.left, r.bottom);
  q.SetXandY(5, r.left, r.top);
  modified_ = r.modified;
  q.Modify(r.modified);
}

bool clsMapPolygon::AsRectangle(MapRectangle& r) const {
  if (admin_ != 0 || jumpMark_ != 0 || reserve_ != 0) return false;
  const std::span<const PolyPoint> p = Poly()->Points();
  if (p.size() != 5) return false;
  const PolyPoint& a = p[0];
  const PolyPoint& c = p[2];
  if (p[1].x != c.x || p[1].y != a.y || p[3].x != a.x || p[3].y != c.y || p[4].x != a.x ||
      p[4].y != a.y)
    return false;
  r = MapRectangle{figId_, a.x, a.y, c.x, c.y, ownColor_, thing_,
                   static_cast<int8_t>(ownShowMode_), Modify()};
  return true;
}

}  // namespace picmap
