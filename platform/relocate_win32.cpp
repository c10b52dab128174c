// kelvod.exe carries the header flags that make Windows run it from the swap
// file when it is started from removable media (set after the link), so the
// process needs no copy of its own: it only leaves its start folder, whose
// handle would otherwise keep the disk busy.
#include <windows.h>

#include "platform/relocate.h"

namespace plat {

void ContinueFromTemporaryCopy(char**) {}

bool TakeOverStartFolder() { return true; }

void LeaveStartFolder() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH || !SetCurrentDirectoryW(temp)) {
    wchar_t windows[MAX_PATH];
    if (GetWindowsDirectoryW(windows, MAX_PATH)) SetCurrentDirectoryW(windows);
  }
}

}  // namespace plat
