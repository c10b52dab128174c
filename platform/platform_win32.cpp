// The operating-system layer on Windows. Paths inside are already in the
// host's form (code page 932, '\' separators, drive letters); the system's
// calls that take texts go through platform/system_win32.h, which converts
// them for the W interfaces of Windows NT (code page 932 named explicitly,
// so the program behaves the same whatever the system's language setting
// is) or for the A interfaces of Windows 9x. Host paths outside the program
// (command line, terminal) are UTF-8.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/find_handle.h"
#include "platform/platform.h"
#include "platform/system_win32.h"
#include "platform/wildcard.h"
#include "text/cp932.h"

namespace plat {

namespace {

using sys::Sys;

// Blocks of a copy: small, so that a floppy drive writes one in a moment
// and the window is looked after between them.
constexpr DWORD kCopyBuffer = 32 << 10;

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && !cp932::EndsWithChar(folder, '\\') && !cp932::EndsWithChar(folder, '/'))
    folder += '\\';
  return folder;
}

// The path without the separators at its end (a drive's root keeps its own).
std::string WithoutSeparator(std::string path) {
  while (path.size() > 3 && (cp932::EndsWithChar(path, '\\') || cp932::EndsWithChar(path, '/')))
    path.pop_back();
  return path;
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
    case ERROR_INVALID_NAME:
      errno = EINVAL;
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

// The root "X:\" of the first drive letter, A to Z, whose type is `type`.
std::string FirstDriveOfType(UINT type) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root{letter, ':', '\\'};
    if (Sys().DriveType(root) == type) return root;
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
  // Text mode is binary here as on every host: the list file writes its
  // CR LF itself.
  std::FILE* f = Sys().Stream(path, mode);
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

bool RemoveFile(const std::string& path) { return Sys().Delete(path); }

bool CopyFileReplacing(const std::string& src, const std::string& dst, CopyTick tick,
                       void* context) {
  HANDLE in =
      Sys().Open(src, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
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
  // On a floppy or another removable disk every block goes to the disk as
  // it is written: the wait comes in small steps between the ticks instead
  // of all at once in the flush at the end.
  const bool removable = Sys().DriveType(Sys().VolumeRoot(dst)) == DRIVE_REMOVABLE;
  HANDLE out = Sys().Open(dst, GENERIC_WRITE, 0, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                              (removable ? FILE_FLAG_WRITE_THROUGH : 0));
  if (out == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    CloseHandle(in);
    return false;
  }
  std::unique_ptr<char[]> buf(new (std::nothrow) char[kCopyBuffer]);
  bool ok = buf != nullptr;
  bool stopped = false;
  while (ok) {
    DWORD got = 0;
    if (!ReadFile(in, buf.get(), kCopyBuffer, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    ok = WriteAll(out, buf.get(), got);
    if (ok && tick && !tick(context)) {
      ok = false;
      stopped = true;
    }
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
    const int saved = stopped ? ECANCELED : errno;
    Sys().Delete(dst);
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
  if (h == INVALID_HANDLE_VALUE) return -1;
  DWORD high = 0;
  const DWORD low = GetFileSize(h, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  const int64_t size = static_cast<int64_t>((uint64_t{high} << 32) | low);
  // Data still in the stream's buffer lies just before the stream position,
  // so the file will be at least that long once it is written out.
  const int64_t pos = ftello64(f);
  return pos > size ? pos : size;
}

bool LastWriteTime(const std::string& path, uint64_t& time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Sys().FileData(path, data)) return false;
  time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
  return true;
}

bool GetFileStamp(const std::string& path, FileStamp& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Sys().FileData(path, data)) return false;
  stamp.length =
      static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  stamp.written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                  data.ftLastWriteTime.dwLowDateTime;
  stamp.changed = 0;  // no change time on this system
  return true;
}

bool MakeFolder(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 &&
         (cp932::EndsWithChar(folder, '\\') || cp932::EndsWithChar(folder, '/')))
    folder.pop_back();
  if (Sys().NewFolder(folder)) return true;
  SetErrnoFromLastError();
  return false;
}

bool GetFileId(const std::string& path, FileId& id) { return Sys().Identity(path, id); }

bool SameFile(const std::string& a, const std::string& b) {
  FileId ia, ib;
  return GetFileId(a, ia) && GetFileId(b, ib) && ia == ib;
}

bool IsSymbolicLink(const std::string& path) {
  // Only links and junctions lead elsewhere; other reparse points (files
  // kept in the cloud, deduplicated files) are ordinary files and folders.
  std::vector<sys::Found> found;
  if (!Sys().List(WithoutSeparator(path), found) || found.empty()) return false;
  return (found[0].attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (found[0].reparseTag == IO_REPARSE_TAG_SYMLINK ||
          found[0].reparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

bool IsRegularFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return Sys().FileData(path, data) &&
         !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// Symbolic links need a right most users lack: a hard link where the
// system and the volume allow it, else a copy.
bool MakeLink(const std::string& target, const std::string& link) {
  return Sys().HardLinkOrCopy(target, link);
}

void RemoveTree(const std::string& path) { Sys().RemoveTree(path); }

bool Rename(const std::string& from, const std::string& to) {
  return Sys().Move(WithoutSeparator(from), WithoutSeparator(to));
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  if (Sys().Move(from, to)) return true;
  // Windows 95 to Me cannot rename over a file: the old one goes first.
  // The new one is complete by now, so at worst it is left under its own
  // name, never half written under the final one.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!Sys().FileData(to, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !Sys().Delete(to))
    return false;
  return Sys().Move(from, to);
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
  if (namePattern.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  const wildcard::Chars cp932Pattern = wildcard::SplitCp932(namePattern);
  std::string utf8Pattern;
  const bool utf8PatternOk = cp932::ToUtf8(namePattern, utf8Pattern);
  const wildcard::Chars utf8PatternChars = wildcard::SplitUtf8(utf8Pattern);

  std::vector<sys::Found> listed;
  if (!Sys().List(wildcards ? folder + "*" : pattern, listed)) {
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
  for (sys::Found& one : listed) {
    // A name without a code page 932 form is reported by its UTF-8 form
    // (its short name would put a different name on the disk set).
    FindEntry found;
    found.convertible = one.convertible;
    found.name = std::move(one.name);
    found.hostName = std::move(one.hostName);
    found.isFolder = (one.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    found.isLink = (one.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    bool match = !wildcards ||
                 (found.convertible
                      ? wildcard::MatchName(cp932Pattern, wildcard::SplitCp932(found.name))
                      : utf8PatternOk && wildcard::MatchName(utf8PatternChars,
                                                             wildcard::SplitUtf8(found.hostName)));
    if (match) handle->entries.push_back(std::move(found));
  }
  return FirstFound(std::move(handle), entry, *result);
}

// --- Temporary files ------------------------------------------------------------

// The system's temporary folder, or its short form; where neither has a
// code page 932 form (a user name in another script, short names switched
// off), the Windows folder's TEMP, made when missing. Never the current
// folder, which may be the disk of the set.
std::string TempFolder() {
  std::string folder = Sys().TempPath();
  if (folder.empty()) {
    const std::string windows = Sys().WindowsFolder();
    if (windows.empty()) return {};
    folder = WithSeparator(windows) + "TEMP";
    Sys().NewFolder(folder);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Sys().FileData(folder, data) || !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return {};
  }
  return WithSeparator(folder);
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

// No folder means no temporary file: the current folder may be the disk of
// the set, possibly write-protected.
std::string MakeTempFile(const std::string& folder, const std::string& prefix) {
  if (folder.empty()) return {};
  std::size_t cut = 0;
  for (int n = 0; n < 3 && cut < prefix.size(); ++n) cut = cp932::Next(prefix, cut);
  return Sys().TempFile(folder, prefix.substr(0, cut));
}

std::string MakeOpenTempFile(const std::string& folder, const std::string& prefix,
                             std::FILE*& file) {
  std::string path = MakeTempFile(folder, prefix);
  file = path.empty() ? nullptr : OpenFile(path, "r+b");
  if (!file && !path.empty()) {
    RemoveFile(path);
    path.clear();
  }
  return path;
}

// --- Volumes ------------------------------------------------------------------

bool FreeBytes(const std::string& path, uint64_t& bytes) {
  if (!Sys().Converts(path)) return false;
  std::string folder = path.empty() ? std::string(".") : path;
  // The folder may not exist yet: ask for the nearest one that does.
  for (;;) {
    if (Sys().FreeSpace(folder, bytes)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_DIRECTORY && error != ERROR_INVALID_NAME)
      return false;
    while (!folder.empty() &&
           (cp932::EndsWithChar(folder, '\\') || cp932::EndsWithChar(folder, '/')))
      folder.pop_back();
    std::size_t sep = cp932::FindLast(folder, '\\');
    const std::size_t slash = cp932::FindLast(folder, '/');
    if (sep == cp932::npos || (slash != cp932::npos && slash > sep)) sep = slash;
    if (sep == cp932::npos) return false;
    folder.resize(sep + 1);
  }
}

std::string FirstRemovableRoot() { return FirstDriveOfType(DRIVE_REMOVABLE); }

std::string HomeFolder() { return WithoutSeparator(Sys().EnvironmentFolder("USERPROFILE")); }

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

std::string ProgramFile() { return Sys().ProgramPath(); }

// The Windows program is the one every disk set carries already.
std::string CompanionProgram() { return {}; }

std::string CurrentFolder() { return Sys().CurrentFolder(); }

bool ChangeFolder(const std::string& path) { return Sys().ChangeFolder(path); }

}  // namespace plat
