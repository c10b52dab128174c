// The texts the dialogs and the main window show: the program's own
// Japanese, or English when the user's locale asks for it. The program's
// entry chooses once, at start-up, for the terminal and the desktop window;
// everything else only reads the choice (Japanese until one is made).
#pragma once

#include "app/dialogue/resources/messages.h"

const msg::Catalogue& Texts();
void UseTexts(const msg::Catalogue& texts);

// The catalogue a locale asks for, from the values of LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG (null or empty: unset), in gettext's order: the
// first entry of the LANGUAGE list that names English or Japanese decides;
// without one, the first of the other three that is set. English when it
// names "en" ("en", "en_US.UTF-8"), Japanese for anything else (C, POSIX,
// unset).
const msg::Catalogue& CatalogueForLocale(const char* language, const char* lcAll,
                                         const char* lcMessages, const char* lang);
// The same for this process's environment.
const msg::Catalogue& CatalogueForEnvironment();
