// The Start-menu shortcut on Windows: a shell link (.lnk) in the user's
// Programs folder, written through IShellLinkW and IPersistFile.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/platform.h"
#include "platform/shortcut.h"
#include "text/cp932.h"
#include "text/wide_win32.h"

namespace plat {

const char* const kShortcutSuffix = ".lnk";

namespace {

// The "Programs" value of the current user's shell folders, opened level by
// level with each parent closed right after its child was tried.
bool ProgramsFromRegistry(std::string& out) {
  static const wchar_t* const kLevels[] = {L"Software",       L"Microsoft", L"Windows",
                                           L"CurrentVersion", L"Explorer",  L"Shell Folders"};
  HKEY key = HKEY_CURRENT_USER;
  for (const wchar_t* level : kLevels) {
    HKEY child = nullptr;
    // Reading is all this needs; asking for every right fails where policy
    // keeps the key read-only.
    LONG r = RegOpenKeyExW(key, level, 0, KEY_READ, &child);
    if (key != HKEY_CURRENT_USER) RegCloseKey(key);
    if (r != ERROR_SUCCESS) return false;
    key = child;
  }
  wchar_t value[MAX_PATH + 1] = {};
  DWORD type = 0, size = sizeof value - sizeof(wchar_t);
  LONG r =
      RegQueryValueExW(key, L"Programs", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  std::wstring text(value, size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return !text.empty() && cp932::FromWide(text, out);
}

}  // namespace

void ProgramsFolder(std::string& out) {
  std::string folder;
  if (!ProgramsFromRegistry(folder)) {
    // The shell knows the folder even where the registry value is missing;
    // C:\ is the last resort.
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        !cp932::FromWide(path, folder))
      folder = "C:";
  }
  if (!cp932::EndsWithChar(folder, '\\')) folder += '\\';
  out = folder;
}

void CreateShortcut(const std::string& target, const std::string& workingFolder,
                    const std::string& linkPath, const std::string& description) {
  std::wstring wideTarget, wideWorking, wideLink, wideDescription;
  if (!cp932::ToWide(target, wideTarget) || !cp932::ToWide(workingFolder, wideWorking) ||
      !cp932::ToWide(linkPath, wideLink) || !cp932::ToWide(description, wideDescription))
    return;
  // The terminal front end has not initialised COM on this thread.
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    link->SetPath(wideTarget.c_str());
    link->SetWorkingDirectory(wideWorking.c_str());
    link->SetDescription(wideDescription.c_str());
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (FAILED(file->Save(wideLink.c_str(), TRUE))) DeleteFileW(wideLink.c_str());
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
}

}  // namespace plat
