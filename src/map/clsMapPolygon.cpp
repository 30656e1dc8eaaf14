#include "map/clsMapPolygon.h"

#include <cstring>
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
  const PolyPoint ring[5] = {
      {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}, {r.left, r.top}};
  q.Count(5);
  q.FromArray(ring, 1, 1, 5);  // one block copy: readers make a million of these
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

namespace {

template <class T>
void Put(uint8_t*& out, T v) {
  std::memcpy(out, &v, sizeof v);
  out += sizeof v;
}

template <class T>
T Take(const uint8_t*& in) {
  T v;
  std::memcpy(&v, in, sizeof v);
  in += sizeof v;
  return v;
}

}  // namespace

// Code, element size, FigID, Admin, thing, OwnColor, show mode + 1, JumpMark, Reserve, the
// point count in the long form and the five points.
void clsMapPolygon::EncodeRectangle106(const MapRectangle& r, uint8_t* out) {
  Put<int16_t>(out, 3);
  Put<int32_t>(out, static_cast<int32_t>(kRectangleElement106));
  Put<double>(out, r.figId);
  Put<int16_t>(out, 0);
  Put<int16_t>(out, r.thing);
  Put<int32_t>(out, r.colour);
  Put<uint8_t>(out, static_cast<uint8_t>(r.showMode + 1));
  Put<uint8_t>(out, 0);
  Put<int32_t>(out, 0);
  Put<int32_t>(out, 5);
  const int32_t xy[10] = {r.left, r.top, r.right, r.top, r.right, r.bottom, r.left, r.bottom, r.left, r.top};
  std::memcpy(out, xy, sizeof xy);
}

bool clsMapPolygon::DecodeRectangle106(const uint8_t* body, MapRectangle& r) {
  if (Take<int32_t>(body) != static_cast<int32_t>(kRectangleElement106)) return false;
  r.figId = Take<double>(body);
  if (Take<int16_t>(body) != 0) return false;
  r.thing = Take<int16_t>(body);
  r.colour = Take<int32_t>(body);
  const int shown = Take<uint8_t>(body) - 1;
  if (shown < -1 || shown > 1) return false;
  r.showMode = static_cast<int8_t>(shown);
  if (Take<uint8_t>(body) != 0 || Take<int32_t>(body) != 0 || Take<int32_t>(body) != 5) return false;
  int32_t xy[10];
  std::memcpy(xy, body, sizeof xy);
  r.left = xy[0];
  r.top = xy[1];
  r.right = xy[2];
  r.bottom = xy[5];
  r.modified = false;
  return xy[3] == r.top && xy[4] == r.right && xy[6] == r.left && xy[7] == r.bottom &&
         xy[8] == r.left && xy[9] == r.top;
}

}  // namespace picmap
