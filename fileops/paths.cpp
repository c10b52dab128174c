#include "fileops/paths.h"

#include "app/dialogue/resources/messages.h"
#include "codec/result_code.h"
#include "fileops/file_ops.h"
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

int FileOps::EnsureFolders(const std::string& drive, const std::string& folder) {
  if (IsTopLevelFolder(folder)) return kDone;
  // The usual case, every level there already, in one look: the whole
  // folder exists only when each level above it does.
  {
    std::string whole = MakePath(drive, folder, "", "");
    RemoveTrailingChar(whole, '\\');
    if (FolderExists(whole)) return kDone;
  }

  // Levels gathered so far; a rooted folder keeps its leading separator, a
  // relative one starts empty so that its first name is not cut.
  const bool rooted = folder[0] == '\\' || folder[0] == '/';
  std::string gathered = rooted ? "\\" : "";
  std::size_t pos = rooted ? 1 : 0;
  while (true) {
    std::size_t sep = cp932::Find(folder, '\\', pos);
    if (sep == cp932::npos) return kDone;
    std::string_view level = std::string_view(folder).substr(pos, sep - pos);
    pos = cp932::Next(folder, sep);
    // A doubled separator names no new level.
    if (level.empty()) continue;
    gathered += level;
    gathered += '\\';

    std::string candidate = MakePath(drive, gathered, "", "");
    RemoveTrailingChar(candidate, '\\');
    bool exists = FolderExists(candidate);
    candidate += '\\';
    if (exists) continue;

    if ((!space || space->Take(candidate, 0, true)) && plat::MakeFolder(candidate)) continue;
    if (ui.PromptRetry(candidate, msg::kMsgFolderFailed) == kChoiceSkip) {
      ui.StopRun();
      return kFolderFailed;
    }
    // Retry: the user may have put a fresh disk in, which lacks the levels
    // made so far as well: they are made again from the top.
    gathered = rooted ? "\\" : "";
    pos = rooted ? 1 : 0;
  }
}
