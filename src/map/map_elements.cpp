#include "map/map_elements.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "map/clsMapPolygon.h"
#include "map/clsMapRem.h"
#include "map/point_figure.h"
#include "support/binfile.h"
#include "support/figcodes.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

constexpr int16_t kRectangleVersion = 106;
constexpr size_t kRectangle = clsMapPolygon::kRectangleElement106;

void SetBounds(MapElement& e, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  e.bounded = true;
  e.minX = std::min(x1, x2);
  e.maxX = std::max(x1, x2);
  e.minY = std::min(y1, y2);
  e.maxY = std::max(y1, y2);
}

void SetBounds(MapElement& e, const clsMapFigure& figure) {
  switch (figure.FigCode()) {
    case figcode::kSymbol:
    case figcode::kText: {
      const auto& p = static_cast<const MapPointFigure&>(figure);
      SetBounds(e, p.mx(), p.my(), p.mx(), p.my());
      return;
    }
    case figcode::kPolyline:
    case figcode::kPolygon: {
      const std::shared_ptr<clsPoly> poly = figure.Poly();
      if (poly->Count() == 0) return;
      int32_t sx, sy, ex, ey;
      poly->GetBound4(sx, sy, ex, ey);
      SetBounds(e, sx, sy, ex, ey);
      return;
    }
    default: return;
  }
}

// A generated rectangle of a version 1.06 file, taken straight from the read buffer as Load
// takes it; false for any other element.
bool TakeRectangle(const uint8_t* element, MapRectangle& m) {
  int16_t code;
  std::memcpy(&code, element, sizeof code);
  return code == figcode::kPolygon && clsMapPolygon::DecodeRectangle106(element + 2, m) &&
         RectangleRight(m);
}

// The rectangles from the read position on, a buffer at a time, until another element.
void WalkRectangles(BinaryReader& r, MapElement& e, const std::function<void(const MapElement&)>& each) {
  for (;;) {
    size_t available = 0;
    const uint8_t* run = r.PeekRun(kRectangle, available);
    if (!run) return;
    size_t taken = 0;
    MapRectangle m;
    while (taken + kRectangle <= available && TakeRectangle(run + taken, m)) {
      ++e.position;
      e.offset = r.Position() + static_cast<int64_t>(taken);
      SetBounds(e, m.left, m.top, m.right, m.bottom);
      each(e);
      taken += kRectangle;
    }
    r.Skip(taken);
    if (taken + kRectangle <= available) return;  // stopped at another element
  }
}

}  // namespace

void WalkMapElements(BinaryReader& r, int16_t& version,
                     const std::function<void(const MapElement&)>& each) {
  std::shared_ptr<clsMapRem> projection;
  version = ReadMapFileHeader(r, projection);
  MapElement e;
  e.right = true;
  // One figure of each kind reads every element of its kind in turn: the walk wants only where
  // an element ends, what it covers and whether it is right, and a figure's reader sets every
  // field its layout holds (those it does not hold keep a new figure's values).
  std::array<std::shared_ptr<clsMapFigure>, 6> figures;
  if (projection) {
    e.position = 1;
    e.code = figcode::kRemark;
    e.right = projection->IsRight();
    each(e);
  }
  for (;;) {
    if (version >= kRectangleVersion) {
      e.code = figcode::kPolygon;
      e.right = true;
      WalkRectangles(r, e, each);
    }
    if (r.Remaining() < 2) return;
    ++e.position;
    e.offset = r.Position();
    e.code = r.Read<int16_t>();
    if (e.code < figcode::kRemark || e.code > figcode::kText)
      RaiseInvalidElement(Tr("clsMap", "不正な図形コード"), e.position, e.code);
    std::shared_ptr<clsMapFigure>& figure = figures[static_cast<size_t>(e.code)];
    if (!figure) figure = CreateFigure(e.code);
    figure->ReadElm(r, version);
    e.right = figure->IsRight();
    e.bounded = false;
    SetBounds(e, *figure);
    each(e);
  }
}

MapElementReader::MapElementReader(BinaryReader& r, int16_t version)
    : r_(r), version_(version), rectangle_(clsMapPolygon::Scratch()) {}

MapElementReader::~MapElementReader() = default;

clsMapFigure& MapElementReader::Read(int64_t offset, int32_t position) {
  r_.Seek(offset);
  if (version_ >= kRectangleVersion) {
    MapRectangle m;
    if (const uint8_t* element = r_.Peek(kRectangle); element && TakeRectangle(element, m)) {
      rectangle_->AssignRectangle(m);
      return *rectangle_;
    }
  }
  const int16_t code = r_.Read<int16_t>();
  if (code < figcode::kRemark || code > figcode::kText) RaiseInvalidElement(Tr("clsMap", "不正な図形コード"), position, code);
  std::shared_ptr<clsMapFigure>& figure = figures_[code];
  if (!figure) figure = CreateFigure(code);
  figure->ReadElm(r_, version_);
  if (!figure->IsRight()) RaiseInvalidElement(Tr("clsMap", "不正な図形内容"), position, code);
  return *figure;
}

}  // namespace picmap
