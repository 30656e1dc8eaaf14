// The words the user reads, in the language the program chose at start-up. The library keeps
// no translations of its own: the program installs a translator (app/language.h) and every
// text shown to the user goes through Tr; without one a text stays as written, in Japanese.
#pragma once

#include <initializer_list>
#include <string>

// Marks a text kept for a later Tr (QT_TRANSLATE_NOOP("context", "text")), so that the
// translation file lists it; the same definition as Qt's, for code without Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace picmap {

// Returns the text of `source` (UTF-8, Japanese) in the chosen language; `context` groups the
// texts of one part of the program as the translation file does.
using TextTranslator = std::u16string (*)(const char* context, const char* source);
TextTranslator SetTextTranslator(TextTranslator translator);

std::u16string Tr(const char* context, const char* source);

// `text` with %1, %2 ... replaced by the values in turn, so that a translation may put them
// in the order of its own language.
std::u16string Arg(std::u16string text, std::initializer_list<std::u16string> values);

}  // namespace picmap
