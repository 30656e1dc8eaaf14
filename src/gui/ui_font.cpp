#include "gui/ui_font.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace picmap {

void UseJapaneseUiFont(QApplication& app) {
  const QStringList preferred = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                 QStringLiteral("Noto Sans CJK JP"),
                                 QStringLiteral("VL PGothic"),
                                 QStringLiteral("TakaoPGothic")};
  QStringList found;
  for (const QString& family : preferred)
    if (QFontDatabase::hasFamily(family)) found << family;
  if (found.isEmpty()) return;
  QFont font = QApplication::font();
  font.setFamilies(found + QStringList{font.family()});
  app.setFont(font);
}

}  // namespace picmap
