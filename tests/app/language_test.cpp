// Which language the window speaks: Japanese under every locale that does not ask for
// English, English under an English one, and --lang over either.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "app/language.h"

namespace picmap {
namespace {

// The locale variables for one test, put back afterwards.
class Locale {
 public:
  explicit Locale(const std::map<std::string, std::string>& set) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      if (const char* v = std::getenv(name)) saved_[name] = v;
      ::unsetenv(name);
    }
    for (const auto& [name, value] : set) ::setenv(name.c_str(), value.c_str(), 1);
  }
  ~Locale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(name);
    for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::map<std::string, std::string> saved_;
};

std::string Under(const std::map<std::string, std::string>& locale,
                  std::optional<std::string> lang = std::nullopt) {
  Locale scope(locale);
  return ChosenLanguage(lang);
}

TEST(ChosenLanguage, JapaneseUnlessTheLocaleAsksForEnglish) {
  EXPECT_EQ(Under({}), "ja");
  EXPECT_EQ(Under({{"LANG", "C"}}), "ja");
  EXPECT_EQ(Under({{"LANG", "POSIX"}}), "ja");
  EXPECT_EQ(Under({{"LANG", "C.UTF-8"}}), "ja");
  EXPECT_EQ(Under({{"LANG", "ja_JP.UTF-8"}}), "ja");
  EXPECT_EQ(Under({{"LANG", "de_DE.UTF-8"}}), "ja");
  EXPECT_EQ(Under({{"LANG", "en_US.UTF-8"}}), "en");
  EXPECT_EQ(Under({{"LANG", "en"}}), "en");
}

TEST(ChosenLanguage, LcAllOverLcMessagesOverLang) {
  EXPECT_EQ(Under({{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_GB.UTF-8"}}), "en");
  EXPECT_EQ(Under({{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}), "ja");
  EXPECT_EQ(Under({{"LANG", "en_US.UTF-8"}, {"LC_ALL", "C"}}), "ja");
  EXPECT_EQ(Under({{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LC_ALL", "en_US.UTF-8"}}), "en");
  EXPECT_EQ(Under({{"LANG", "en_US.UTF-8"}, {"LC_ALL", ""}}), "en");  // set but empty: unset
}

TEST(ChosenLanguage, TheOptionWinsOverTheLocale) {
  EXPECT_EQ(Under({{"LANG", "en_US.UTF-8"}}, "ja"), "ja");
  EXPECT_EQ(Under({{"LANG", "C"}}, "en"), "en");
  EXPECT_EQ(Under({{"LANG", "en_US.UTF-8"}}, "fr"), "en");  // not a language of the program
  EXPECT_TRUE(IsProgramLanguage("ja"));
  EXPECT_TRUE(IsProgramLanguage("en"));
  EXPECT_FALSE(IsProgramLanguage("EN"));
  EXPECT_FALSE(IsProgramLanguage(""));
}

}  // namespace
}  // namespace picmap
