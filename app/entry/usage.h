// The usage text of the whole program (kelvod --help): its facets, the
// terminal protocol and the exit statuses.
#pragma once

#include <string>

std::string UsageText();
