// kelvod.exe carries the header flags that make Windows run it from the swap
// file when it is started from removable media (set after the link), so the
// process needs no copy of its own. It only leaves a start folder on
// removable media, whose open handle would keep the disk from being changed;
// elsewhere relative paths keep meaning what the user meant.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/relocate.h"
#include "platform/system_win32.h"

namespace plat {

void ContinueFromTemporaryCopy(char**) {}

bool TakeOverStartFolder() { return true; }

void LeaveStartFolder() {
  const sys::System& system = sys::Sys();
  const std::string current = system.CurrentFolder();
  if (current.empty()) return;
  const UINT type = system.DriveType(system.VolumeRoot(current));
  if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM) return;
  const std::string temp = TempFolder();
  if (temp.empty() || !system.ChangeFolder(temp)) system.ChangeFolder(system.WindowsFolder());
}

}  // namespace plat
