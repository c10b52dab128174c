// The folder picker behind the Browse button.
#pragma once

#include <string>

#include "app/dialogue/frontend.h"

// Shows the picker with the instruction title (nullptr: the default
// instruction). Returns 1 with the chosen folder's path in out, or 0 with
// out untouched (cancelled, or a choice without a file-system path). The
// pickers we have show no tree, so flags and root are taken but unused.
int BrowseForFolder(FrontEnd& frontEnd, const char* title, unsigned flags, int root,
                    std::string& out);
