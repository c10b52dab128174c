#include "fileops/paths.h"

#include "platform/platform.h"
#include "text/cp932.h"
#include "text/paths.h"

bool FolderExists(const std::string& path) {
  plat::FindEntry entry;
  plat::FindHandle* h = plat::FindFirst(path, entry);
  if (!h) return false;
  bool folder = entry.isFolder;
  plat::FindClose(h);
  return folder;
}

int IsFolder(std::string& path) {
  PathParts parts;
  SplitPath(path, parts);
  if (IsTopLevelFolder(parts.folder)) return 1;
  RemoveTrailingChar(path, '\\');
  return FolderExists(path) ? 1 : 0;
}
