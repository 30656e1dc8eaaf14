#include "gui/cursors.h"

#include "support/platform.h"

namespace picmap {

Qt::CursorShape CursorForPointer(int16_t code) {
  switch (code) {
    case pointer::kArrow: return Qt::ArrowCursor;
    case pointer::kCross: return Qt::CrossCursor;
    case pointer::kIBeam: return Qt::IBeamCursor;
    case pointer::kSizePointer: return Qt::SizeAllCursor;
    case pointer::kSizeNESW: return Qt::SizeBDiagCursor;
    case pointer::kSizeNS: return Qt::SizeVerCursor;
    case pointer::kSizeNWSE: return Qt::SizeFDiagCursor;
    case pointer::kSizeWE: return Qt::SizeHorCursor;
    case pointer::kUpArrow: return Qt::UpArrowCursor;
    case pointer::kHourglass: return Qt::WaitCursor;
    case pointer::kNoDrop: return Qt::ForbiddenCursor;
    default: return Qt::ArrowCursor;
  }
}

}  // namespace picmap
