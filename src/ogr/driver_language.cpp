#include "ogr/driver_language.h"

#include <cpl_conv.h>

#include <cstdlib>
#include <cstring>

#include "support/text.h"
#include "support/ui_text.h"

namespace picmap::ogr {

namespace {

struct Words {
  const char* context;
  const char* source;
  const char* english;
};

const Words kEnglish[] = {
#include "english_words.inc"
};

bool SpeaksJapanese() {
  if (const char* chosen = CPLGetConfigOption("MLL_LANGUAGE", nullptr)) return EQUAL(chosen, "ja");
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::strncmp(value, "ja", 2) == 0;
  }
  return false;
}

}  // namespace

std::u16string HostText(const char* context, const char* source) {
  if (!SpeaksJapanese())
    for (const Words& w : kEnglish)
      if (std::strcmp(w.source, source) == 0 && std::strcmp(w.context, context) == 0)
        return FromUtf8(w.english);
  return FromUtf8(source);
}

void SpeakHostLanguage() { SetTextTranslator(&HostText); }

}  // namespace picmap::ogr
