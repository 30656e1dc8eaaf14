#include "gui/ui_font.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

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

bool UseJapaneseQtTexts(QApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace picmap
