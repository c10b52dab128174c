// The Windows forms of the test helpers that need the operating system.
#include <windows.h>

#include <string>

#include "support/disk_fixtures.h"

namespace {

std::wstring Widen(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring out(n > 0 ? static_cast<std::size_t>(n) : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(out.size() - 1);
  return out;
}

// The Windows names that stand for a POSIX variable.
std::vector<std::wstring> Names(const char* name) {
  std::wstring wide = Widen(name);
  if (wide == L"TMPDIR") return {wide, L"TMP", L"TEMP"};
  if (wide == L"HOME") return {wide, L"USERPROFILE"};
  return {wide};
}

}  // namespace

int setenv(const char* name, const wchar_t* value, int overwrite) {
  for (const std::wstring& n : Names(name)) {
    if (!overwrite && GetEnvironmentVariableW(n.c_str(), nullptr, 0) != 0) continue;
    if (_wputenv_s(n.c_str(), value) != 0) return -1;
  }
  return 0;
}

int setenv(const char* name, const char* value, int overwrite) {
  return setenv(name, Widen(value).c_str(), overwrite);
}

int unsetenv(const char* name) {
  for (const std::wstring& n : Names(name))
    if (_wputenv_s(n.c_str(), L"") != 0) return -1;
  return 0;
}

TempDir::TempDir() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return;
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::wstring name = std::wstring(temp, n) + L"kvtest-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount() + attempt);
    if (CreateDirectoryW(name.c_str(), nullptr)) {
      path = fs::path(name);
      return;
    }
  }
}

bool TmpfsDrive::Available(std::string* reason) {
  if (reason)
    *reason =
        "a Windows program cannot mount a tmpfs (tools/wine-tests.sh runs real floppy disks "
        "under Wine)";
  return false;
}

TmpfsDrive::TmpfsDrive(const fs::path& mountPoint, std::size_t bytes)
    : mountPoint_(mountPoint), bytes_(bytes) {}
TmpfsDrive::~TmpfsDrive() {}
bool TmpfsDrive::Mount() { return false; }
void TmpfsDrive::Unmount() {}
fs::path TmpfsDrive::Change(const fs::path&, std::size_t) { return {}; }
