#include "gui/app_icon.h"

// A resource in a static library is registered by hand, outside any namespace.
static void InitIconResource() { Q_INIT_RESOURCE(picmap_gui); }

namespace picmap {

QIcon AppIcon() {
  InitIconResource();
  return QIcon::fromTheme(QStringLiteral("picmap"), QIcon(QStringLiteral(":/picmap/picmap.svg")));
}

}  // namespace picmap
