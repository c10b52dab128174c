#include "runs/shortcut.h"

#include "platform/shortcut.h"
#include "runs/set_writer.h"
#include "text/paths.h"

void MakeStartMenuShortcut(RunContext& run, const std::string& destination,
                           const std::string& title) {
  std::string link;
  plat::ProgramsFolder(link);
  link += std::string(kShortcutFolder) + "\\" + title + plat::kShortcutSuffix;
  PathParts parts;
  SplitPath(link, parts);
  // Whatever the answer to a retry prompt here, the entry is attempted.
  (void)EnsureFolders(run, parts.drive, parts.folder);

  std::string target = destination + "\\" + kLauncherName;
  SplitPath(target, parts);
  std::string working = MakePath(parts.drive, parts.folder, "", "");
  plat::CreateShortcut(target, working, link, title);
}
