#include "platform/system_win32.h"

// After windows.h, which they need.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "text/cp932.h"
#include "text/wide_win32.h"

// The identifiers of the shell-link interfaces, defined here: the uuid
// library would bring along every identifier Windows has (40 KB of a
// program that shares a floppy with the set).
const CLSID kShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIShellLinkW = {0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace plat::sys {

namespace {

bool Utf8ToWide(std::string_view in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  const int n = static_cast<int>(in.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, in.data(), n, nullptr, 0);
  if (size <= 0) return false;
  out.resize(static_cast<std::size_t>(size));
  return MultiByteToWideChar(CP_UTF8, 0, in.data(), n, out.data(), size) == size;
}

std::string WideToUtf8(std::wstring_view in) {
  std::string out;
  const int n = static_cast<int>(in.size());
  const int size =
      in.empty() ? 0 : WideCharToMultiByte(CP_UTF8, 0, in.data(), n, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return out;
  out.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, in.data(), n, out.data(), size, nullptr, nullptr);
  return out;
}

// The W interfaces of Windows NT, with UTF-16 texts.
struct WideCalls {
  using Char = wchar_t;
  using Text = std::wstring;
  using FindData = WIN32_FIND_DATAW;
  using ShellLink = IShellLinkW;
  static constexpr const char* kFreeSpaceEx = "GetDiskFreeSpaceExW";
  static constexpr const char* kHardLink = "CreateHardLinkW";
  static constexpr const char* kVolumePath = "GetVolumePathNameW";

  static bool In(std::string_view inner, Text& out) { return cp932::ToWide(inner, out); }
  static bool Out(const Text& text, std::string& inner) { return cp932::FromWide(text, inner); }
  static bool FromHost(std::string_view utf8, Text& out) { return Utf8ToWide(utf8, out); }
  static std::string ToHost(const Text& text) { return WideToUtf8(text); }
  static bool LinkPath(const Text& text, std::wstring& wide) {
    wide = text;
    return true;
  }
  static const IID& ShellLinkId() { return kIShellLinkW; }

  static HANDLE Create(const Char* p, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return CreateFileW(p, access, share, nullptr, disposition, flags, nullptr);
  }
  static std::FILE* OpenStream(const Char* p, const Char* mode) { return _wfopen(p, mode); }
  static BOOL Remove(const Char* p) { return DeleteFileW(p); }
  static BOOL MakeDir(const Char* p) { return CreateDirectoryW(p, nullptr); }
  static BOOL RemoveDir(const Char* p) { return RemoveDirectoryW(p); }
  static DWORD Attributes(const Char* p) { return GetFileAttributesW(p); }
  static BOOL AttributesEx(const Char* p, WIN32_FILE_ATTRIBUTE_DATA* d) {
    return GetFileAttributesExW(p, GetFileExInfoStandard, d);
  }
  static HANDLE FindFirst(const Char* p, FindData* d) { return FindFirstFileW(p, d); }
  static BOOL FindNext(HANDLE h, FindData* d) { return FindNextFileW(h, d); }
  static BOOL MoveTo(const Char* from, const Char* to) { return MoveFileW(from, to); }
  static BOOL CopyTo(const Char* from, const Char* to) { return CopyFileW(from, to, TRUE); }
  static UINT TempName(const Char* folder, const Char* prefix, Char* out) {
    return GetTempFileNameW(folder, prefix, 0, out);
  }
  static DWORD TempDir(DWORD size, Char* out) { return GetTempPathW(size, out); }
  static DWORD ShortName(const Char* p, Char* out, DWORD size) {
    return GetShortPathNameW(p, out, size);
  }
  static DWORD FullName(const Char* p, DWORD size, Char* out) {
    return GetFullPathNameW(p, size, out, nullptr);
  }
  static UINT DriveKind(const Char* root) { return GetDriveTypeW(root); }
  static UINT WindowsDir(Char* out, UINT size) { return GetWindowsDirectoryW(out, size); }
  static DWORD Env(const Char* name, Char* out, DWORD size) {
    return GetEnvironmentVariableW(name, out, size);
  }
  static BOOL SetEnv(const Char* name, const Char* value) {
    return SetEnvironmentVariableW(name, value);
  }
  static DWORD ModuleName(Char* out, DWORD size) { return GetModuleFileNameW(nullptr, out, size); }
  static DWORD GetCwd(DWORD size, Char* out) { return GetCurrentDirectoryW(size, out); }
  static BOOL SetCwd(const Char* p) { return SetCurrentDirectoryW(p); }
  static BOOL DiskFree(const Char* root, DWORD* a, DWORD* b, DWORD* c, DWORD* d) {
    return GetDiskFreeSpaceW(root, a, b, c, d);
  }
  static BOOL VolumeSerial(const Char* root, DWORD* serial) {
    return GetVolumeInformationW(root, nullptr, 0, serial, nullptr, nullptr, nullptr, 0);
  }
  static LONG RegOpen(HKEY key, const Char* name, HKEY* out) {
    return RegOpenKeyExW(key, name, 0, KEY_READ, out);
  }
  static LONG RegQuery(HKEY key, const Char* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExW(key, name, nullptr, type, data, size);
  }
  static BOOL PathFromIdList(LPCITEMIDLIST item, Char* out) {
    return SHGetPathFromIDListW(item, out);
  }
  static DWORD Search(const Char* name, const Char* ext, DWORD size, Char* out) {
    return SearchPathW(nullptr, name, ext, size, out, nullptr);
  }
  static BOOL StartProcess(Char* line, HANDLE output, PROCESS_INFORMATION* process) {
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = output;
    start.hStdError = output;
    return CreateProcessW(nullptr, line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &start, process);
  }
  static void Arguments(std::vector<std::string>& args, std::string& whole) {
    const wchar_t* line = GetCommandLineW();
    whole = WideToUtf8(line);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line, &argc);
    for (int i = 0; argv && i < argc; ++i) args.push_back(WideToUtf8(argv[i]));
    if (argv) LocalFree(argv);
  }
};

// The ANSI code page's text <-> UTF-8.
bool AnsiToUtf8(std::string_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const int n = static_cast<int>(in.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, in.data(), n, nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, in.data(), n, wide.data(), size);
  out = WideToUtf8(wide);
  return true;
}

bool Utf8ToAnsi(std::string_view in, std::string& out) {
  std::wstring wide;
  out.clear();
  if (!Utf8ToWide(in, wide)) return false;
  if (wide.empty()) return true;
  const int n = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int size =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(size));
  return WideCharToMultiByte(CP_ACP, 0, wide.data(), n, out.data(), size, nullptr, &usedDefault) ==
             size &&
         !usedDefault;
}

// The A interfaces of Windows 95, 98 and Me, with texts in the ANSI code
// page. Those systems know no FILE_SHARE_DELETE (a share mode with it is
// refused) and no hard links.
struct AnsiCalls {
  using Char = char;
  using Text = std::string;
  using FindData = WIN32_FIND_DATAA;
  using ShellLink = IShellLinkA;
  static constexpr const char* kFreeSpaceEx = "GetDiskFreeSpaceExA";
  static constexpr const char* kHardLink = nullptr;
  static constexpr const char* kVolumePath = nullptr;

  static bool In(std::string_view inner, Text& out) { return cp932::ToAnsi(inner, out); }
  // A character of a long name that the ANSI code page lacks comes as '?',
  // which no name may hold (nor the second byte of a double-byte
  // character): such a name has no form here.
  static bool Out(const Text& text, std::string& inner) {
    return text.find('?') == Text::npos && cp932::FromAnsi(text, inner);
  }
  static bool FromHost(std::string_view utf8, Text& out) { return Utf8ToAnsi(utf8, out); }
  static std::string ToHost(const Text& text) {
    std::string out;
    return AnsiToUtf8(text, out) ? out : std::string();
  }
  // The shell's file interface takes UTF-16, which it turns back into the
  // ANSI code page.
  static bool LinkPath(const Text& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    const int n = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
    if (size <= 0) return false;
    wide.resize(static_cast<std::size_t>(size));
    return MultiByteToWideChar(CP_ACP, 0, text.data(), n, wide.data(), size) == size;
  }
  static const IID& ShellLinkId() { return kIShellLinkA; }

  static HANDLE Create(const Char* p, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    return CreateFileA(p, access, share & ~DWORD{FILE_SHARE_DELETE}, nullptr, disposition, flags,
                       nullptr);
  }
  static std::FILE* OpenStream(const Char* p, const Char* mode) { return std::fopen(p, mode); }
  static BOOL Remove(const Char* p) { return DeleteFileA(p); }
  static BOOL MakeDir(const Char* p) { return CreateDirectoryA(p, nullptr); }
  static BOOL RemoveDir(const Char* p) { return RemoveDirectoryA(p); }
  static DWORD Attributes(const Char* p) { return GetFileAttributesA(p); }
  static BOOL AttributesEx(const Char* p, WIN32_FILE_ATTRIBUTE_DATA* d) {
    return GetFileAttributesExA(p, GetFileExInfoStandard, d);
  }
  static HANDLE FindFirst(const Char* p, FindData* d) { return FindFirstFileA(p, d); }
  static BOOL FindNext(HANDLE h, FindData* d) { return FindNextFileA(h, d); }
  static BOOL MoveTo(const Char* from, const Char* to) { return MoveFileA(from, to); }
  static BOOL CopyTo(const Char* from, const Char* to) { return CopyFileA(from, to, TRUE); }
  static UINT TempName(const Char* folder, const Char* prefix, Char* out) {
    return GetTempFileNameA(folder, prefix, 0, out);
  }
  static DWORD TempDir(DWORD size, Char* out) { return GetTempPathA(size, out); }
  static DWORD ShortName(const Char* p, Char* out, DWORD size) {
    return GetShortPathNameA(p, out, size);
  }
  static DWORD FullName(const Char* p, DWORD size, Char* out) {
    return GetFullPathNameA(p, size, out, nullptr);
  }
  static UINT DriveKind(const Char* root) { return GetDriveTypeA(root); }
  static UINT WindowsDir(Char* out, UINT size) { return GetWindowsDirectoryA(out, size); }
  static DWORD Env(const Char* name, Char* out, DWORD size) {
    return GetEnvironmentVariableA(name, out, size);
  }
  static BOOL SetEnv(const Char* name, const Char* value) {
    return SetEnvironmentVariableA(name, value);
  }
  static DWORD ModuleName(Char* out, DWORD size) { return GetModuleFileNameA(nullptr, out, size); }
  static DWORD GetCwd(DWORD size, Char* out) { return GetCurrentDirectoryA(size, out); }
  static BOOL SetCwd(const Char* p) { return SetCurrentDirectoryA(p); }
  static BOOL DiskFree(const Char* root, DWORD* a, DWORD* b, DWORD* c, DWORD* d) {
    return GetDiskFreeSpaceA(root, a, b, c, d);
  }
  static BOOL VolumeSerial(const Char* root, DWORD* serial) {
    return GetVolumeInformationA(root, nullptr, 0, serial, nullptr, nullptr, nullptr, 0);
  }
  static LONG RegOpen(HKEY key, const Char* name, HKEY* out) {
    return RegOpenKeyExA(key, name, 0, KEY_READ, out);
  }
  static LONG RegQuery(HKEY key, const Char* name, DWORD* type, BYTE* data, DWORD* size) {
    return RegQueryValueExA(key, name, nullptr, type, data, size);
  }
  static BOOL PathFromIdList(LPCITEMIDLIST item, Char* out) {
    return SHGetPathFromIDListA(item, out);
  }
  static DWORD Search(const Char* name, const Char* ext, DWORD size, Char* out) {
    return SearchPathA(nullptr, name, ext, size, out, nullptr);
  }
  static BOOL StartProcess(Char* line, HANDLE output, PROCESS_INFORMATION* process) {
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = output;
    start.hStdError = output;
    return CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &start, process);
  }
  // The C runtime has split the command line already (its rules are those
  // of the W parser but for the program name's quotes). A character the
  // ANSI code page lacks comes as '?', which names no file: it is passed on
  // as U+FFFD, so that the argument is refused as a name without a code
  // page 932 form instead of naming another file.
  static void Arguments(std::vector<std::string>& args, std::string& whole) {
    whole = Marked(GetCommandLineA());
    for (int i = 0; i < __argc && __argv; ++i) args.push_back(Marked(__argv[i]));
  }
  static std::string Marked(const char* ansi) {
    std::string utf8, out;
    AnsiToUtf8(ansi, utf8);
    for (char c : utf8) out += c == '?' ? std::string("\xEF\xBF\xBD") : std::string(1, c);
    return out;
  }
};

template <class C>
class SystemOf final : public System {
  using Char = typename C::Char;
  using Text = typename C::Text;

 public:
  constexpr SystemOf() = default;

  bool Converts(const std::string& path) const override {
    Text p;
    return C::In(path, p);
  }

  HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
              DWORD flags) const override {
    Text p;
    if (!In(path, p)) return INVALID_HANDLE_VALUE;
    return C::Create(p.c_str(), access, share, disposition, flags);
  }

  std::FILE* Stream(const std::string& path, const char* mode) const override {
    Text p;
    if (!In(path, p)) {
      errno = EINVAL;
      return nullptr;
    }
    Text m;
    for (const char* c = mode; *c; ++c)
      if (*c != 't' && *c != 'b') m += static_cast<Char>(*c);
    m += static_cast<Char>('b');
    return C::OpenStream(p.c_str(), m.c_str());
  }

  bool Delete(const std::string& path) const override {
    Text p;
    return In(path, p) && C::Remove(p.c_str());
  }

  bool NewFolder(const std::string& path) const override {
    Text p;
    return In(path, p) && C::MakeDir(p.c_str());
  }

  bool FileData(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) const override {
    Text p;
    return In(path, p) && C::AttributesEx(p.c_str(), &data);
  }

  bool Move(const std::string& from, const std::string& to) const override {
    Text f, t;
    return In(from, f) && In(to, t) && C::MoveTo(f.c_str(), t.c_str());
  }

  bool HardLinkOrCopy(const std::string& target, const std::string& link) const override {
    Text t, l;
    if (!In(target, t) || !In(link, l)) return false;
    using HardLink = BOOL(WINAPI*)(const Char*, const Char*, LPSECURITY_ATTRIBUTES);
    if (C::kHardLink)
      if (auto hardLink = Lookup<HardLink>("kernel32.dll", C::kHardLink))
        if (hardLink(l.c_str(), t.c_str(), nullptr)) return true;
    return C::CopyTo(t.c_str(), l.c_str());
  }

  bool Identity(const std::string& path, FileId& id) const override;

  void RemoveTree(const std::string& path) const override {
    Text p;
    if (In(path, p)) RemoveText(p);
  }

  bool List(const std::string& pattern, std::vector<Found>& out) const override {
    Text p;
    if (!In(pattern, p)) return false;
    typename C::FindData data;
    HANDLE h = C::FindFirst(p.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    do {
      Found found;
      const Text name = data.cFileName;
      found.convertible = C::Out(name, found.name);
      if (!found.convertible) found.name.clear();
      found.hostName = C::ToHost(name);
      found.attributes = data.dwFileAttributes;
      found.reparseTag = data.dwReserved0;
      out.push_back(std::move(found));
    } while (C::FindNext(h, &data));
    ::FindClose(h);
    return true;
  }

  std::string TempFile(const std::string& folder, const std::string& prefix) const override {
    Text f, p;
    if (!In(folder, f) || !In(prefix, p)) return {};
    Char name[MAX_PATH];
    if (C::TempName(f.c_str(), p.c_str(), name) == 0) return {};
    std::string inner;
    if (!C::Out(name, inner)) {
      C::Remove(name);
      return {};
    }
    return inner;
  }

  bool FreeSpace(const std::string& folder, uint64_t& bytes) const override {
    Text p;
    if (!In(folder, p)) return false;
    // Windows 95 before OSR2 lacks the call that counts beyond 2 GiB.
    using FreeEx = BOOL(WINAPI*)(const Char*, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    if (auto freeEx = Lookup<FreeEx>("kernel32.dll", C::kFreeSpaceEx)) {
      ULARGE_INTEGER available;
      if (!freeEx(p.c_str(), &available, nullptr, nullptr)) return false;
      bytes = available.QuadPart;
      return true;
    }
    Text root;
    const std::string innerRoot = RootOf(folder);
    DWORD sectors = 0, sectorBytes = 0, freeClusters = 0, clusters = 0;
    if ((!innerRoot.empty() && !In(innerRoot, root)) ||
        !C::DiskFree(innerRoot.empty() ? nullptr : root.c_str(), &sectors, &sectorBytes,
                     &freeClusters, &clusters))
      return false;
    bytes = uint64_t{sectors} * sectorBytes * freeClusters;
    return true;
  }

  UINT DriveType(const std::string& root) const override {
    Text r;
    return In(root, r) ? C::DriveKind(r.c_str()) : DRIVE_UNKNOWN;
  }

  std::string VolumeRoot(const std::string& path) const override {
    Text p;
    using VolumePath = BOOL(WINAPI*)(const Char*, Char*, DWORD);
    if (C::kVolumePath && In(path, p))
      if (auto volumePath = Lookup<VolumePath>("kernel32.dll", C::kVolumePath)) {
        Char root[MAX_PATH + 1];
        std::string inner;
        if (volumePath(p.c_str(), root, MAX_PATH + 1) && C::Out(root, inner)) return inner;
      }
    return RootOf(path);
  }

  std::string TempPath() const override {
    Char buf[MAX_PATH + 1];
    const DWORD n = C::TempDir(MAX_PATH + 1, buf);
    return n == 0 || n > MAX_PATH ? std::string() : SystemFolder(Text(buf, n));
  }

  std::string WindowsFolder() const override {
    Char buf[MAX_PATH + 1];
    const UINT n = C::WindowsDir(buf, MAX_PATH + 1);
    return n == 0 || n > MAX_PATH ? std::string() : SystemFolder(Text(buf, n));
  }

  std::string EnvironmentFolder(const char* variable) const override {
    Text name;
    Char buf[MAX_PATH + 1];
    if (!In(variable, name)) return {};
    const DWORD n = C::Env(name.c_str(), buf, MAX_PATH + 1);
    return n == 0 || n > MAX_PATH ? std::string() : SystemFolder(Text(buf, n));
  }

  std::string ProgramPath() const override {
    Text buf(MAX_PATH, Char{});
    for (;;) {
      const DWORD n = C::ModuleName(buf.data(), static_cast<DWORD>(buf.size()));
      if (n == 0) return {};
      if (n < buf.size()) {
        buf.resize(n);
        return SystemFolder(buf);
      }
      buf.resize(buf.size() * 2);
    }
  }

  std::string CurrentFolder() const override {
    const DWORD size = C::GetCwd(0, nullptr);
    if (size == 0) return {};
    Text buf(size, Char{});
    const DWORD n = C::GetCwd(size, buf.data());
    if (n == 0 || n >= size) return {};
    buf.resize(n);
    return SystemFolder(buf);
  }

  bool ChangeFolder(const std::string& path) const override {
    Text p;
    return In(path, p) && !p.empty() && C::SetCwd(p.c_str());
  }

  std::string RegistryFolder(const char* key, const char* value) const override {
    // Opened level by level, each parent closed right after its child was
    // tried; reading is all this needs (asking for every right fails where
    // policy keeps the key read-only).
    HKEY at = HKEY_CURRENT_USER;
    for (std::string_view rest = key; !rest.empty();) {
      const std::size_t sep = rest.find('\\');
      Text level;
      In(rest.substr(0, sep), level);
      rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
      HKEY child = nullptr;
      const LONG r = C::RegOpen(at, level.c_str(), &child);
      if (at != HKEY_CURRENT_USER) RegCloseKey(at);
      if (r != ERROR_SUCCESS) return {};
      at = child;
    }
    Text name;
    In(value, name);
    Char text[MAX_PATH + 1] = {};
    DWORD type = 0, size = sizeof text - sizeof(Char);
    const LONG r = C::RegQuery(at, name.c_str(), &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(at);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    Text folder(text, size / sizeof(Char));
    while (!folder.empty() && folder.back() == Char{}) folder.pop_back();
    return folder.empty() ? std::string() : SystemFolder(folder);
  }

  std::string ShellFolder(int csidl) const override {
    LPITEMIDLIST item = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &item)) || !item) return {};
    Char path[MAX_PATH] = {};
    const bool found = C::PathFromIdList(item, path);
    CoTaskMemFree(item);
    return found && path[0] ? SystemFolder(path) : std::string();
  }

  bool SaveShortcut(const std::string& target, const std::string& workingFolder,
                    const std::string& linkPath, const std::string& description) const override {
    Text t, w, l, d;
    std::wstring file;
    if (!In(target, t) || !In(workingFolder, w) || !In(linkPath, l) || !In(description, d) ||
        !C::LinkPath(l, file))
      return false;
    // The terminal front end has not initialised COM on this thread.
    const HRESULT init = CoInitialize(nullptr);
    bool saved = false;
    typename C::ShellLink* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, C::ShellLinkId(),
                                   reinterpret_cast<void**>(&link)))) {
      link->SetPath(t.c_str());
      link->SetWorkingDirectory(w.c_str());
      link->SetDescription(d.c_str());
      IPersistFile* persist = nullptr;
      if (SUCCEEDED(link->QueryInterface(kIPersistFile, reinterpret_cast<void**>(&persist)))) {
        saved = SUCCEEDED(persist->Save(file.c_str(), TRUE));
        if (!saved) C::Remove(l.c_str());
        persist->Release();
      }
      link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return saved;
  }

  bool ProgramOnPath(const std::string& name) const override {
    Text n, ext;
    Char found[MAX_PATH];
    return C::FromHost(name, n) && In(".exe", ext) &&
           C::Search(n.c_str(), ext.c_str(), MAX_PATH, found) != 0;
  }

  void SetEnvironment(const std::string& name, const std::string& value) const override {
    Text n, v;
    if (C::FromHost(name, n) && C::FromHost(value, v)) C::SetEnv(n.c_str(), v.c_str());
  }

  bool Start(const std::vector<std::string>& argv, HANDLE output,
             PROCESS_INFORMATION& process) const override {
    Text line;
    for (const std::string& a : argv) {
      Text arg;
      if (!C::FromHost(a, arg)) return false;
      if (!line.empty()) line += static_cast<Char>(' ');
      line += Quoted(arg);
    }
    return C::StartProcess(line.data(), output, &process);
  }

  void CommandLine(std::vector<std::string>& args, std::string& whole) const override {
    C::Arguments(args, whole);
  }

 private:
  // Inner form -> the interface's text; a text without a form fails as an
  // invalid name.
  static bool In(std::string_view inner, Text& out) {
    if (C::In(inner, out)) return true;
    SetLastError(ERROR_INVALID_NAME);
    errno = EINVAL;
    return false;
  }

  // A folder or file name from the system in the inner form, else its short
  // (8.3) form, which is ASCII.
  static std::string SystemFolder(const Text& text) {
    std::string inner;
    if (C::Out(text, inner)) return inner;
    const DWORD size = C::ShortName(text.c_str(), nullptr, 0);
    if (size == 0) return {};
    Text shortName(size, Char{});
    const DWORD n = C::ShortName(text.c_str(), shortName.data(), size);
    if (n == 0 || n >= size) return {};
    shortName.resize(n);
    return C::Out(shortName, inner) ? inner : std::string();
  }

  static bool IsDots(const Text& name) {
    return name.size() <= 2 && name.find_first_not_of(static_cast<Char>('.')) == Text::npos;
  }

  static void RemoveText(Text path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    if (path.size() <= 3) return;  // never a drive's root
    const DWORD attributes = C::Attributes(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    // A junction or link is removed itself, never followed.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      path += static_cast<Char>('\\');
      typename C::FindData data;
      HANDLE h = C::FindFirst((path + static_cast<Char>('*')).c_str(), &data);
      if (h != INVALID_HANDLE_VALUE) {
        std::vector<Text> names;
        do {
          // A name the ANSI code page lacks comes with '?' for each missing
          // character: its short name still names it.
          const Text name = data.cFileName;
          if (IsDots(name)) continue;
          names.push_back(name.find(static_cast<Char>('?')) != Text::npos &&
                                  data.cAlternateFileName[0]
                              ? Text(data.cAlternateFileName)
                              : name);
        } while (C::FindNext(h, &data));
        ::FindClose(h);
        for (const Text& name : names) RemoveText(path + name);
      }
      path.pop_back();
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
      C::RemoveDir(path.c_str());
    else
      C::Remove(path.c_str());
  }

  // One argument as the C runtime of the program started parses it back.
  static Text Quoted(const Text& arg) {
    const Char special[] = {' ', '\t', '"', 0};
    if (!arg.empty() && arg.find_first_of(special) == Text::npos) return arg;
    Text out(1, '"');
    std::size_t backslashes = 0;
    for (Char c : arg) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      out += c;
    }
    out.append(backslashes * 2, '\\');
    out += static_cast<Char>('"');
    return out;
  }
};

// The volume's serial number and the file's index: the same file under any
// spelling, link or hard link.
template <>
bool SystemOf<WideCalls>::Identity(const std::string& path, FileId& id) const {
  Text p;
  if (!In(path, p)) return false;
  HANDLE h = WideCalls::Create(p.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  id.device = info.dwVolumeSerialNumber;
  id.number = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// Windows 9x opens no folder as a file and numbers no file reliably on FAT:
// the volume's serial number and the full path in its short form, letters
// folded, stand for the file (FAT has no links).
template <>
bool SystemOf<AnsiCalls>::Identity(const std::string& path, FileId& id) const {
  Text p;
  if (!In(path, p)) return false;
  char full[MAX_PATH + 1], shortName[MAX_PATH + 1];
  DWORD n = AnsiCalls::FullName(p.c_str(), MAX_PATH + 1, full);
  if (n == 0 || n > MAX_PATH) return false;
  n = AnsiCalls::ShortName(full, shortName, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return false;
  CharUpperBuffA(shortName, n);
  std::string name(shortName, n);
  while (name.size() > 3 && name.back() == '\\') name.pop_back();
  std::string innerRoot, root;
  if (!cp932::FromAnsi(name, innerRoot) || !AnsiCalls::In(RootOf(innerRoot), root)) return false;
  DWORD serial = 0;
  if (!AnsiCalls::VolumeSerial(root.c_str(), &serial)) serial = 0;
  uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
  id.device = serial;
  id.number = hash;
  return true;
}

constexpr SystemOf<WideCalls> kWide;
constexpr SystemOf<AnsiCalls> kAnsi;
bool g_forceAnsi = false;

}  // namespace

bool Windows9x() { return (GetVersion() & 0x80000000u) != 0; }

void (*LookupAddress(const char* library, const char* name))() {
  HMODULE module = GetModuleHandleA(library);
  return module ? reinterpret_cast<void (*)()>(GetProcAddress(module, name)) : nullptr;
}

std::string RootOf(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':' && !cp932::IsLeadByte(path[0]))
    return path.substr(0, 2) + "\\";
  if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share\ : up to the separator after the share's name.
    std::size_t server = cp932::Find(path, '\\', 2);
    if (server == cp932::npos) return {};
    std::size_t share = cp932::Find(path, '\\', server + 1);
    return share == cp932::npos ? path + "\\" : path.substr(0, share + 1);
  }
  return {};
}

const System& Sys() {
  if (g_forceAnsi || Windows9x()) return kAnsi;
  return kWide;
}

void UseAnsiInterfaces(bool ansi) { g_forceAnsi = ansi; }

}  // namespace plat::sys
