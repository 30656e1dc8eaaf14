// Small helpers shared by the geometry tests.
#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include "geometry/clsPoly.h"
#include "support/errors.h"

namespace picmap::testing {

inline clsPoly MakePoly(std::initializer_list<PolyPoint> pts) {
  clsPoly p;
  for (const PolyPoint& pt : pts) p.AddPoint(pt);
  return p;
}

inline std::vector<PolyPoint> PointsOf(const clsPoly& p) {
  return {p.Points().begin(), p.Points().end()};
}

using Pts = std::vector<PolyPoint>;

// The number of the error raised by f, 0 when it raises none.
inline int32_t ErrorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

inline Error CaughtError(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, u"", u"");
}

}  // namespace picmap::testing

namespace picmap {
inline void PrintTo(const PolyPoint& p, std::ostream* os) { *os << "(" << p.x << "," << p.y << ")"; }
}  // namespace picmap
