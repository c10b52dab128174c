// The operating-system layer on Windows. Paths inside are already in the
// host's form (code page 932, '\' separators, drive letters); they are
// converted to UTF-16 for the W interfaces and back, with code page 932
// named explicitly, so the program behaves the same whatever the system's
// language setting is. Host paths outside the program (command line,
// terminal) are UTF-8.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/find_handle.h"
#include "platform/platform.h"
#include "platform/wildcard.h"
#include "text/cp932.h"
#include "text/wide_win32.h"

namespace plat {

namespace {

constexpr DWORD kCopyBuffer = 1 << 20;

bool Wide(const std::string& inner, std::wstring& wide) {
  if (!cp932::ToWide(inner, wide)) {
    errno = EINVAL;
    return false;
  }
  return true;
}

// A folder or file name from the system in the inner form. A name without a
// code page 932 form is tried in its short (8.3) form, which is ASCII.
bool FromSystemPath(const std::wstring& wide, std::string& inner) {
  if (cp932::FromWide(wide, inner)) return true;
  DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return false;
  std::wstring shortPath(size, L'\0');
  size = GetShortPathNameW(wide.c_str(), shortPath.data(), size);
  if (size == 0 || size >= shortPath.size()) return false;
  shortPath.resize(size);
  return cp932::FromWide(shortPath, inner);
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && !cp932::EndsWithChar(folder, '\\') && !cp932::EndsWithChar(folder, '/'))
    folder += '\\';
  return folder;
}

std::string Utf8(const std::wstring& wide) {
  std::string out;
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr,
                                 0, nullptr, nullptr);
  if (size <= 0) return out;
  out.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      errno = EACCES;
      break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      errno = EEXIST;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EIO;
      break;
  }
}

bool WriteAll(HANDLE out, const char* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(out, data, size, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

// The root "X:\" of every drive letter whose type is `type`, A to Z.
std::string FirstDriveOfType(UINT type) {
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    wchar_t root[] = {letter, L':', L'\\', 0};
    if (GetDriveTypeW(root) == type) return std::string{static_cast<char>(letter), ':', '\\'};
  }
  return {};
}

}  // namespace

// --- Path conversion -------------------------------------------------------

const char kHostSeparator = '\\';

bool FromHostPath(const std::string& host, std::string& inner) {
  if (!cp932::FromUtf8(host, inner)) return false;
  // Windows takes '/' as a separator too; inside only '\' is one.
  for (std::size_t i = 0; i < inner.size(); i = cp932::Next(inner, i))
    if (inner[i] == '/') inner[i] = '\\';
  return true;
}

bool ToHostPath(const std::string& inner, std::string& host) { return cp932::ToUtf8(inner, host); }

std::string DisplayPath(const std::string& inner) {
  std::string host;
  if (ToHostPath(inner, host)) return host;
  host.clear();
  for (std::size_t i = 0; i < inner.size();) {
    std::size_t next = cp932::Next(inner, i);
    std::string piece;
    host += ToHostPath(inner.substr(i, next - i), piece) ? piece : std::string("?");
    i = next;
  }
  return host;
}

// --- Files -------------------------------------------------------------------

std::FILE* OpenFile(const std::string& path, const char* mode) {
  std::wstring wide;
  if (!Wide(path, wide)) return nullptr;
  // Text mode is binary here as on every host: the list file writes its
  // CR LF itself.
  std::wstring wideMode;
  for (const char* m = mode; *m; ++m)
    if (*m != 't' && *m != 'b') wideMode += static_cast<wchar_t>(*m);
  wideMode += L'b';
  std::FILE* f = _wfopen(wide.c_str(), wideMode.c_str());
  if (!f) return nullptr;
  // A device (CON, NUL, COM1, a pipe) is no file of a game: reading one
  // could wait forever.
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  if (GetFileType(h) != FILE_TYPE_DISK) {
    std::fclose(f);
    errno = EINVAL;
    return nullptr;
  }
  return f;
}

bool RemoveFile(const std::string& path) {
  std::wstring wide;
  return Wide(path, wide) && DeleteFileW(wide.c_str());
}

bool CopyFileReplacing(const std::string& src, const std::string& dst) {
  std::wstring wideSrc, wideDst;
  if (!Wide(src, wideSrc) || !Wide(dst, wideDst)) return false;
  HANDLE in = CreateFileW(wideSrc.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return false;
  }
  if (GetFileType(in) != FILE_TYPE_DISK) {
    CloseHandle(in);
    errno = EINVAL;
    return false;
  }
  // Copying a file onto itself would empty it before reading it, under any
  // spelling, short name or hard link.
  if (SameFile(src, dst)) {
    CloseHandle(in);
    errno = EINVAL;
    return false;
  }
  HANDLE out = CreateFileW(wideDst.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    CloseHandle(in);
    return false;
  }
  std::unique_ptr<char[]> buf(new (std::nothrow) char[kCopyBuffer]);
  bool ok = buf != nullptr;
  while (ok) {
    DWORD got = 0;
    if (!ReadFile(in, buf.get(), kCopyBuffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    ok = WriteAll(out, buf.get(), got);
  }
  // The user changes disks after a copy: the data must be on the disk, and
  // a failure of the final write-back must be seen here.
  if (ok && !FlushFileBuffers(out)) ok = false;
  if (!ok) SetErrnoFromLastError();
  if (!CloseHandle(out) && ok) {
    ok = false;
    SetErrnoFromLastError();
  }
  CloseHandle(in);
  if (!ok) {
    int saved = errno;
    DeleteFileW(wideDst.c_str());
    errno = saved;
  }
  return ok;
}

// Every copy to a disk is flushed as it is made (CopyFileReplacing), and
// flushing a whole volume needs administrator rights: nothing is left.
bool SyncVolume(const std::string&) { return true; }

bool SeekTo(std::FILE* f, int64_t offset) { return fseeko64(f, offset, SEEK_SET) == 0; }

int64_t FileLength(std::FILE* f) {
  if (!f) return -1;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  LARGE_INTEGER size;
  if (h == INVALID_HANDLE_VALUE || !GetFileSizeEx(h, &size)) return -1;
  // Data still in the stream's buffer lies just before the stream position,
  // so the file will be at least that long once it is written out.
  int64_t pos = ftello64(f);
  return pos > size.QuadPart ? pos : static_cast<int64_t>(size.QuadPart);
}

bool LastWriteTime(const std::string& path, uint64_t& time) {
  std::wstring wide;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Wide(path, wide) || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
    return false;
  time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
  return true;
}

bool GetFileStamp(const std::string& path, FileStamp& stamp) {
  std::wstring wide;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Wide(path, wide) || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
    return false;
  stamp.length =
      static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  stamp.written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                  data.ftLastWriteTime.dwLowDateTime;
  stamp.changed = 0;  // no change time on this system
  return true;
}

bool MakeFolder(const std::string& path) {
  std::wstring wide;
  if (!Wide(path, wide)) return false;
  while (wide.size() > 1 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  SetErrnoFromLastError();
  return false;
}

bool GetFileId(const std::string& path, FileId& id) {
  std::wstring wide;
  if (!Wide(path, wide)) return false;
  // The volume's serial number and the file's index: the same file under
  // any spelling, link or hard link.
  HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  id.device = info.dwVolumeSerialNumber;
  id.number = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  FileId ia, ib;
  return GetFileId(a, ia) && GetFileId(b, ib) && ia == ib;
}

bool IsSymbolicLink(const std::string& path) {
  std::wstring wide;
  if (!Wide(path, wide)) return false;
  while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  // Only links and junctions lead elsewhere; other reparse points (files
  // kept in the cloud, deduplicated files) are ordinary files and folders.
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::FindClose(h);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
          data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

bool IsRegularFile(const std::string& path) {
  std::wstring wide;
  if (!Wide(path, wide)) return false;
  HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool file = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                    !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(h);
  return file;
}

bool MakeLink(const std::string& target, const std::string& link) {
  std::wstring wideTarget, wideLink;
  if (!Wide(target, wideTarget) || !Wide(link, wideLink)) return false;
  // Symbolic links need a right most users lack: a hard link where the
  // volume allows it, else a copy.
  return CreateHardLinkW(wideLink.c_str(), wideTarget.c_str(), nullptr) ||
         CopyFileW(wideTarget.c_str(), wideLink.c_str(), TRUE);
}

namespace {

void RemoveWideTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  // A junction or link is removed itself, never followed.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      std::vector<std::wstring> names;
      do {
        if (std::wcscmp(data.cFileName, L".") != 0 && std::wcscmp(data.cFileName, L"..") != 0)
          names.emplace_back(data.cFileName);
      } while (FindNextFileW(h, &data));
      ::FindClose(h);
      for (const std::wstring& name : names) RemoveWideTree(path + L"\\" + name);
    }
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    RemoveDirectoryW(path.c_str());
  else
    DeleteFileW(path.c_str());
}

}  // namespace

void RemoveTree(const std::string& path) {
  std::wstring wide;
  if (!Wide(path, wide)) return;
  while (wide.size() > 3 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
  if (wide.size() <= 3) return;  // never a drive's root
  RemoveWideTree(wide);
}

bool Rename(const std::string& from, const std::string& to) {
  std::wstring wideFrom, wideTo;
  if (!Wide(from, wideFrom) || !Wide(to, wideTo)) return false;
  while (wideFrom.size() > 3 && wideFrom.back() == L'\\') wideFrom.pop_back();
  while (wideTo.size() > 3 && wideTo.back() == L'\\') wideTo.pop_back();
  return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), 0) != 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  std::wstring wideFrom, wideTo;
  if (!Wide(from, wideFrom) || !Wide(to, wideTo)) return false;
  return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// --- Directory search ----------------------------------------------------------

// The system is asked for every entry of the folder and the names are
// matched here: the system's own matching also tries the short (8.3) names,
// so "*.qzm" would find "game.qzmx", and differs between versions on
// dotted patterns.
FindHandle* FindFirst(const std::string& pattern, FindEntry& entry, FindResult* result) {
  FindResult ignored;
  if (!result) result = &ignored;
  *result = FindResult::kNothing;
  std::size_t sep = cp932::npos;
  for (std::size_t i = 0; i < pattern.size(); i = cp932::Next(pattern, i)) {
    if ((pattern[i] == '\\' || pattern[i] == '/' || pattern[i] == ':') &&
        cp932::Next(pattern, i) == i + 1)
      sep = i;
  }
  const std::string folder = sep == cp932::npos ? std::string() : pattern.substr(0, sep + 1);
  const std::string namePattern = sep == cp932::npos ? pattern : pattern.substr(sep + 1);
  const bool wildcards = wildcard::HasWildcards(namePattern);
  std::wstring wide;
  if (namePattern.empty() || !Wide(wildcards ? folder + "*" : pattern, wide)) {
    errno = ENOENT;
    return nullptr;
  }
  const wildcard::Chars cp932Pattern = wildcard::SplitCp932(namePattern);
  std::string utf8Pattern;
  const bool utf8PatternOk = cp932::ToUtf8(namePattern, utf8Pattern);
  const wildcard::Chars utf8PatternChars = wildcard::SplitUtf8(utf8Pattern);

  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    // A folder that has gone is nothing to search; one that is there but
    // cannot be read must not pass for empty.
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_NO_MORE_FILES && error != ERROR_INVALID_NAME)
      *result = FindResult::kUnreadable;
    errno = ENOENT;
    return nullptr;
  }
  auto handle = std::make_unique<FindHandle>();
  do {
    FindEntry found;
    const std::wstring name = data.cFileName;
    // A name without a code page 932 form is reported by its UTF-8 form
    // (its short name would put a different name on the disk set).
    found.convertible = cp932::FromWide(name, found.name);
    if (!found.convertible) found.name.clear();
    found.hostName = Utf8(name);
    found.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    found.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    bool match = !wildcards ||
                 (found.convertible
                      ? wildcard::MatchName(cp932Pattern, wildcard::SplitCp932(found.name))
                      : utf8PatternOk && wildcard::MatchName(utf8PatternChars,
                                                             wildcard::SplitUtf8(found.hostName)));
    if (match) handle->entries.push_back(std::move(found));
  } while (FindNextFileW(h, &data));
  ::FindClose(h);
  return FirstFound(std::move(handle), entry, *result);
}

// --- Temporary files ------------------------------------------------------------

std::string TempFolder() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  std::string inner;
  if (n == 0 || n > MAX_PATH || !FromSystemPath(std::wstring(buf, n), inner)) return {};
  return WithSeparator(inner);
}

std::string MakeTempFolder(const std::string& folder, const std::string& prefix) {
  // A unique name from the system, then a folder in the file's place.
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::string file = MakeTempFile(folder, prefix);
    if (file.empty()) return {};
    RemoveFile(file);
    if (MakeFolder(file)) return WithSeparator(file);
  }
  return {};
}

std::string MakeTempFile(const std::string& folder, const std::string& prefix) {
  std::size_t cut = 0;
  for (int n = 0; n < 3 && cut < prefix.size(); ++n) cut = cp932::Next(prefix, cut);
  std::wstring wideFolder, widePrefix;
  if (!Wide(folder.empty() ? std::string(".") : folder, wideFolder) ||
      !Wide(prefix.substr(0, cut), widePrefix))
    return {};
  wchar_t name[MAX_PATH];
  if (GetTempFileNameW(wideFolder.c_str(), widePrefix.c_str(), 0, name) == 0) return {};
  std::string inner;
  if (!cp932::FromWide(name, inner)) {
    DeleteFileW(name);
    return {};
  }
  return inner;
}

// --- Volumes ------------------------------------------------------------------

bool FreeBytes(const std::string& path, uint64_t& bytes) {
  std::wstring wide;
  if (!Wide(path, wide)) return false;
  if (wide.empty()) wide = L".";
  // The folder may not exist yet: ask for the nearest one that does.
  for (;;) {
    ULARGE_INTEGER available;
    if (GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr)) {
      bytes = available.QuadPart;
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_DIRECTORY && error != ERROR_INVALID_NAME)
      return false;
    while (!wide.empty() && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
    std::size_t sep = wide.find_last_of(L"\\/");
    if (sep == std::wstring::npos) return false;
    wide.resize(sep + 1);
  }
}

std::string FirstRemovableRoot() { return FirstDriveOfType(DRIVE_REMOVABLE); }

std::string HomeFolder() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"USERPROFILE", buf, MAX_PATH);
  std::string inner;
  if (n == 0 || n >= MAX_PATH || !FromSystemPath(std::wstring(buf, n), inner)) return {};
  while (inner.size() > 3 && cp932::EndsWithChar(inner, '\\')) inner.pop_back();
  return inner;
}

// Without a removable drive the old program's default was the letter before
// 'A', a path that can never work; the first fixed drive takes its place.
std::string DefaultDiskSetRoot() {
  std::string root = FirstRemovableRoot();
  if (root.empty()) root = DefaultGameRoot();
  return root;
}

std::string DefaultGameRoot() {
  std::string root = FirstDriveOfType(DRIVE_FIXED);
  return root.empty() ? std::string("C:\\") : root;
}

// --- Process ------------------------------------------------------------------

std::string ProgramFile() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 2);
  }
  std::string inner;
  return FromSystemPath(buf, inner) ? inner : std::string();
}

// The Windows program is the one every disk set carries already.
std::string CompanionProgram() { return {}; }

std::string CurrentFolder() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring buf(size, L'\0');
  DWORD n = GetCurrentDirectoryW(size, buf.data());
  if (n == 0 || n >= size) return {};
  buf.resize(n);
  std::string inner;
  return FromSystemPath(buf, inner) ? inner : std::string();
}

bool ChangeFolder(const std::string& path) {
  std::wstring wide;
  return Wide(path, wide) && !wide.empty() && SetCurrentDirectoryW(wide.c_str());
}

}  // namespace plat
