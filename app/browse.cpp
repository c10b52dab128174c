#include "app/browse.h"

#include "app/frontend.h"
#include "app/resources/messages.h"

int BrowseForFolder(const char* title, unsigned /*flags*/, int /*root*/, std::string& out) {
  std::string chosen;
  if (CurrentFrontEnd().BrowseForFolder(title ? title : msg::kBrowseDefaultTitle, chosen) != 1)
    return 0;
  // A picker that reports success without a path has not chosen a folder.
  if (chosen.empty()) return 0;
  out = chosen;
  return 1;
}
