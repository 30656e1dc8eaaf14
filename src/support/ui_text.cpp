#include "support/ui_text.h"

#include "support/text.h"

namespace picmap {

namespace {
TextTranslator gTranslator = nullptr;
}  // namespace

TextTranslator SetTextTranslator(TextTranslator translator) {
  const TextTranslator old = gTranslator;
  gTranslator = translator;
  return old;
}

std::u16string Tr(const char* context, const char* source) {
  return gTranslator ? gTranslator(context, source) : FromUtf8(source);
}

std::u16string Arg(std::u16string text, std::initializer_list<std::u16string> values) {
  char16_t n = u'1';
  for (const std::u16string& value : values) {
    const std::u16string mark{u'%', n++};
    const size_t at = text.find(mark);
    if (at != std::u16string::npos) text.replace(at, mark.size(), value);
  }
  return text;
}

}  // namespace picmap
