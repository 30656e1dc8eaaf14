#include "app/language.h"

#include <QCoreApplication>
#include <QTranslator>
#include <cstdlib>
#include <memory>

#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

std::unique_ptr<QTranslator> gTranslation;

std::u16string FromQ(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<size_t>(s.size()));
}

std::u16string Translated(const char* context, const char* source) {
  return FromQ(QCoreApplication::translate(context, source));
}

}  // namespace

bool IsProgramLanguage(const std::string& lang) { return lang == "ja" || lang == "en"; }

std::string ChosenLanguage(const std::optional<std::string>& lang) {
  if (lang && IsProgramLanguage(*lang)) return *lang;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string(value).rfind("en", 0) == 0 ? "en" : "ja";
  }
  return "ja";
}

bool UseLanguage(const std::string& language) {
  if (gTranslation) {
    QCoreApplication::removeTranslator(gTranslation.get());
    gTranslation.reset();
  }
  SetTextTranslator(nullptr);
  if (language == "ja") return true;
  auto translation = std::make_unique<QTranslator>();
  if (!translation->load(QStringLiteral(":/i18n/picmap_") + QString::fromStdString(language)))
    return false;
  if (!QCoreApplication::installTranslator(translation.get())) return false;
  gTranslation = std::move(translation);
  SetTextTranslator(&Translated);
  return true;
}

}  // namespace picmap
