// The Start-menu shortcut on Windows: a shell link (.lnk) in the user's
// Programs folder, written through the shell's link object.
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include "platform/platform.h"
#include "platform/shortcut.h"
#include "platform/system_win32.h"
#include "text/cp932.h"

namespace plat {

const char* const kShortcutSuffix = ".lnk";

// The "Programs" value of the user's shell folders (what every Windows
// since 95 keeps there), else the shell's own answer, each in its code page
// 932 form or its short form. Where the folder has neither, the shortcut
// goes into the temporary folder, out of the way, rather than into a
// folder of its own at the root of a drive or into the current folder.
void ProgramsFolder(std::string& out) {
  const sys::System& system = sys::Sys();
  std::string folder = system.RegistryFolder(
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs");
  if (folder.empty()) folder = system.ShellFolder(CSIDL_PROGRAMS);
  if (folder.empty()) folder = TempFolder();
  if (folder.empty()) folder = system.WindowsFolder();
  if (!cp932::EndsWithChar(folder, '\\')) folder += '\\';
  out = folder;
}

void CreateShortcut(const std::string& target, const std::string& workingFolder,
                    const std::string& linkPath, const std::string& description) {
  sys::Sys().SaveShortcut(target, workingFolder, linkPath, description);
}

}  // namespace plat
