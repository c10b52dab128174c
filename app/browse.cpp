#include "app/browse.h"

#include "app/dialogue/texts.h"

int BrowseForFolder(FrontEnd& frontEnd, const char* title, unsigned /*flags*/, int /*root*/,
                    std::string& out) {
  std::string chosen;
  if (frontEnd.BrowseForFolder(title ? title : Texts().kBrowseDefaultTitle, chosen) != 1) return 0;
  // A picker that reports success without a path has not chosen a folder.
  if (chosen.empty()) return 0;
  out = chosen;
  return 1;
}
