#include "app/dialogue/texts.h"

#include <cstdlib>
#include <string_view>

namespace {

const msg::Catalogue* g_texts = &msg::kJapanese;

bool Set(const char* value) { return value && *value; }

// "en", "en_US.UTF-8", "en@quot", "en-GB", but not "eo" or "english".
bool Names(std::string_view value, std::string_view language) {
  if (!value.starts_with(language)) return false;
  return value.size() == language.size() ||
         std::string_view("_.@-").find(value[language.size()]) != std::string_view::npos;
}

}  // namespace

const msg::Catalogue& Texts() { return *g_texts; }

void UseTexts(const msg::Catalogue& texts) { g_texts = &texts; }

const msg::Catalogue& CatalogueForLocale(const char* language, const char* lcAll,
                                         const char* lcMessages, const char* lang) {
  // Unlike gettext, the list counts in the C locale too: English is the
  // one language such a terminal can show.
  if (Set(language)) {
    std::string_view list = language;
    while (!list.empty()) {
      const std::string_view entry = list.substr(0, list.find(':'));
      if (Names(entry, "en")) return msg::kEnglish;
      if (Names(entry, "ja")) return msg::kJapanese;
      list.remove_prefix(entry.size() < list.size() ? entry.size() + 1 : list.size());
    }
  }
  const char* locale = Set(lcAll) ? lcAll : Set(lcMessages) ? lcMessages : lang;
  return Set(locale) && Names(locale, "en") ? msg::kEnglish : msg::kJapanese;
}

const msg::Catalogue& CatalogueForEnvironment() {
  return CatalogueForLocale(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                            std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}
