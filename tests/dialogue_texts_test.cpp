// Which texts a locale asks for: the first entry of LANGUAGE that names a
// language the program has, then LC_ALL, LC_MESSAGES, LANG.
#include <gtest/gtest.h>

#include "app/dialogue/texts.h"

namespace {

TEST(Texts, TheLocaleChoosesEnglishOrJapaneseInTheUsualOrder) {
  const struct {
    const char *language, *lcAll, *lcMessages, *lang, *expected;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, "ja"},
      {"", "", "", "", "ja"},
      {nullptr, nullptr, nullptr, "en_US.UTF-8", "en"},
      {nullptr, nullptr, nullptr, "ja_JP.UTF-8", "ja"},
      {nullptr, nullptr, nullptr, "C.UTF-8", "ja"},
      {nullptr, nullptr, nullptr, "POSIX", "ja"},
      {nullptr, nullptr, nullptr, "english", "ja"},
      {nullptr, "C.UTF-8", "en_GB", "en_US", "ja"},
      {nullptr, "", "en_GB@euro", "ja_JP", "en"},
      {"en", "C.UTF-8", nullptr, "ja_JP.UTF-8", "en"},
      {"ja:en", nullptr, nullptr, "en_US", "ja"},
      {"fr:de:en_GB:ja", nullptr, nullptr, "ja_JP", "en"},
      {"fr", nullptr, nullptr, "en_US", "en"},
      {"fr:", nullptr, nullptr, nullptr, "ja"},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(CatalogueForLocale(c.language, c.lcAll, c.lcMessages, c.lang).language, c.expected)
        << "case " << &c - cases;
  EXPECT_STREQ(Texts().language, "ja");  // until the program's entry chooses
}

}  // namespace
