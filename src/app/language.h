// The language of the window (and, once wired, of the command line): Japanese, the program's
// own, unless the user asks for English.
#pragma once

#include <optional>
#include <string>

namespace picmap {

// "ja" or "en". `lang` is the user's explicit choice (--lang ja, --lang en) and wins; without
// one the system locale decides: LC_ALL, else LC_MESSAGES, else LANG (the first one set)
// starting with "en" chooses English, every other locale (C and POSIX among them) Japanese.
// A `lang` that is not a language of the program counts as not given.
std::string ChosenLanguage(const std::optional<std::string>& lang);

// Whether `lang` names a language of the program ("ja", "en").
bool IsProgramLanguage(const std::string& lang);

// Makes `language` the one of every text the program shows: its translation of the program's
// words, read by Qt's tr() and the library's Tr(). "ja" removes any translation (the words are
// written in Japanese). Needs the application object; false when the translation is missing.
bool UseLanguage(const std::string& language);

}  // namespace picmap
