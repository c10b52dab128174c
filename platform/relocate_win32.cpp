// kelvod.exe carries the header flags that make Windows run it from the swap
// file when it is started from removable media (set after the link), so the
// process needs no copy of its own. It only leaves a start folder on
// removable media, whose open handle would keep the disk from being changed;
// elsewhere relative paths keep meaning what the user meant.
#include <windows.h>

#include <string>

#include "platform/relocate.h"

namespace plat {

void ContinueFromTemporaryCopy(char**) {}

bool TakeOverStartFolder() { return true; }

void LeaveStartFolder() {
  wchar_t current[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, current);
  if (n == 0 || n > MAX_PATH) return;
  wchar_t root[MAX_PATH + 1];
  if (!GetVolumePathNameW(current, root, MAX_PATH + 1)) return;
  UINT type = GetDriveTypeW(root);
  if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM) return;
  wchar_t temp[MAX_PATH + 1];
  n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH || !SetCurrentDirectoryW(temp)) {
    wchar_t windows[MAX_PATH];
    if (GetWindowsDirectoryW(windows, MAX_PATH)) SetCurrentDirectoryW(windows);
  }
}

}  // namespace plat
