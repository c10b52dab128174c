#include "runs/shortcut.h"

#include "app/dialogue/resources/messages.h"
#include "platform/shortcut.h"
#include "text/paths.h"

void MakeStartMenuShortcut(FileOps& ops, const std::string& destination, const std::string& title) {
  std::string link;
  plat::ProgramsFolder(link);
  link += std::string(msg::kShortcutFolder) + "\\" + title + plat::kShortcutSuffix;
  PathParts parts;
  SplitPath(link, parts);
  ops.EnsureFolders(parts.drive, parts.folder);

  std::string target = destination + "\\" + msg::kLauncherName;
  SplitPath(target, parts);
  std::string working = MakePath(parts.drive, parts.folder, "", "");
  plat::CreateShortcut(target, working, link, title);
}
