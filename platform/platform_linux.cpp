// The operating-system layer on Linux: paths in the program's own form
// (code page 932, '\' separators) are turned into UTF-8 host paths and back,
// and every look-up falls back to a case-insensitive match level by level.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "platform/find_handle.h"
#include "platform/folder_names.h"
#include "platform/host_paths_linux.h"
#include "platform/platform.h"
#include "platform/wildcard.h"
#include "text/cp932.h"

namespace plat {

using wildcard::Chars;
using wildcard::HasWildcards;
using wildcard::MatchName;
using wildcard::SplitCp932;
using wildcard::SplitUtf8;

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;

std::string JoinHost(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string out = folder;
  if (out.back() != '/') out += '/';
  out += name;
  return out;
}

// The levels of a host path, empty ones left out.
std::vector<std::string_view> LevelsOf(std::string_view host) {
  std::vector<std::string_view> levels;
  for (std::size_t i = 0; i < host.size();) {
    std::size_t end = host.find('/', i);
    if (end == std::string_view::npos) end = host.size();
    if (end > i) levels.push_back(host.substr(i, end - i));
    i = end + 1;
  }
  return levels;
}

bool IsDotLevel(std::string_view level) { return level == "." || level == ".."; }

// The case-insensitive fallback for a host path that does not exist as
// given: every level that does not exist is replaced by an entry of the
// same name in another case (the first in byte order). Levels from the
// first one that matches nothing on are kept as given, so a file or folder
// can be created there. The folders' names come from the name cache; the
// deepest folder that exists as given is found first, so a new file in an
// existing folder costs one stat.
std::string ResolveMissing(const std::string& host) {
  const std::vector<std::string_view> levels = LevelsOf(host);
  const std::string root = host[0] == '/' ? "/" : "";
  auto prefix = [&](std::size_t k) {
    std::string out = root;
    for (std::size_t i = 0; i < k; ++i) out = JoinHost(out, levels[i]);
    return out;
  };
  if (levels.empty()) return host;
  // The deepest folder above the missing entry that exists as given.
  struct stat st;
  std::size_t k = levels.size() - 1;
  std::string out;
  for (;; --k) {
    out = prefix(k);
    if (stat(out.empty() ? "." : out.c_str(), &st) == 0) break;
    if (k == 0) return host;
  }
  bool resolving = S_ISDIR(st.st_mode);
  for (std::size_t i = k; i < levels.size(); ++i) {
    const std::string_view level = levels[i];
    std::string exact = JoinHost(out, level);
    // The whole path is known to be missing; a level above it may exist
    // as given (a dangling link counts as existing).
    struct stat lst;
    const bool last = i + 1 == levels.size();
    if (resolving && !IsDotLevel(level) && (last || lstat(exact.c_str(), &lst) != 0)) {
      std::string match = names::Match(out, st, level);
      if (match.empty()) {
        resolving = false;
      } else {
        exact = JoinHost(out, match);
      }
    }
    out = std::move(exact);
    if (resolving && !last) resolving = stat(out.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  if (host.back() == '/' && !out.empty() && out.back() != '/') out += '/';
  return out;
}

// The host path with the case-insensitive fallback when it does not exist
// as given. One lstat when it does.
std::string Resolve(const std::string& host) {
  struct stat st;
  if (host.empty() || lstat(host.c_str(), &st) == 0) return host;
  return ResolveMissing(host);
}

// Inner path -> resolved host path; false when it has no host form.
bool HostFor(const std::string& inner, std::string& host) {
  if (!ToHostPath(inner, host)) {
    errno = EINVAL;
    return false;
  }
  host = Resolve(host);
  return true;
}

// Inner path -> host path and its stat (lstat when !follow) in one step:
// the exact path is looked at first, the fallback only when nothing is
// there (a dangling link is there). False with errno when there is no host
// form or nothing is found; host is then the path to create.
bool HostWithStat(const std::string& inner, std::string& host, struct stat& st,
                  bool follow = true) {
  if (!ToHostPath(inner, host)) {
    errno = EINVAL;
    return false;
  }
  const char* p = host.empty() ? "." : host.c_str();
  if (lstat(p, &st) == 0) return !(follow && S_ISLNK(st.st_mode)) || stat(p, &st) == 0;
  if (errno != ENOENT && errno != ENOTDIR) return false;
  std::string resolved = ResolveMissing(host);
  if (resolved == host) {
    errno = ENOENT;
    return false;
  }
  host = std::move(resolved);
  p = host.c_str();
  return (follow ? stat(p, &st) : lstat(p, &st)) == 0;
}

// Fills the name fields of an entry from its host name.
void NameEntry(const std::string& hostName, FindEntry& entry) {
  entry.hostName = hostName;
  entry.convertible = FromHostPath(hostName, entry.name);
  if (!entry.convertible) entry.name.clear();
}

using host::LastLevel;
using host::ParentOf;

// --- Copying --------------------------------------------------------------

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// False (errno ECANCELED) when the caller's tick stops the copy.
bool Ticked(CopyTick tick, void* context) {
  if (!tick || tick(context)) return true;
  errno = ECANCELED;
  return false;
}

// Copies from the current offsets of in to out until the end of in.
bool CopyData(int in, int out, CopyTick tick, void* context) {
  // Let the kernel copy when it can; it refuses across file systems on older
  // kernels, and then before anything was copied.
  bool kernel = true;
  while (kernel) {
    ssize_t n = copy_file_range(in, nullptr, out, nullptr, kCopyBuffer, 0);
    if (n > 0) {
      if (!Ticked(tick, context)) return false;
      continue;
    }
    if (n == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
        errno != EPERM)
      return false;
    kernel = false;
  }
  std::unique_ptr<char[]> buf(new (std::nothrow) char[kCopyBuffer]);
  if (!buf) {
    errno = ENOMEM;
    return false;
  }
  while (true) {
    ssize_t n = read(in, buf.get(), kCopyBuffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    if (!WriteAll(out, buf.get(), static_cast<std::size_t>(n)) || !Ticked(tick, context))
      return false;
  }
}

// --- Removable volumes ----------------------------------------------------

// The lines of a small text file (no iostreams: they would double the
// size of a program that shares a floppy with its list).
std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return lines;
  std::string line;
  for (int c; (c = std::fgetc(f)) != EOF;) {
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  std::fclose(f);
  return lines;
}

std::string ReadSmallFile(const std::string& path) {
  std::vector<std::string> lines = ReadLines(path);
  return lines.empty() ? std::string() : lines[0];
}

// /proc/self/mounts writes a space, tab, newline or backslash in a field as
// a three-digit octal escape.
std::string UnescapeMountField(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7' && s[i + 2] >= '0' &&
        s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

// True when the block device behind a mount is a removable disk (or a
// partition of one).
bool DeviceIsRemovable(const std::string& device) {
  struct stat st;
  if (stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  std::string sys = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                    std::to_string(minor(st.st_rdev));
  char real[PATH_MAX];
  if (!realpath(sys.c_str(), real)) return false;
  std::string disk = real;
  // A partition's folder lies inside the folder of its disk.
  if (access((disk + "/partition").c_str(), F_OK) == 0) disk = ParentOf(disk);
  return ReadSmallFile(disk + "/removable") == "1";
}

bool UnderFolder(const std::string& path, std::string_view folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

std::string InnerFolderWithSeparator(const std::string& host) {
  std::string inner;
  if (!FromHostPath(host, inner)) return {};
  if (!cp932::EndsWithChar(inner, '\\')) inner += '\\';
  return inner;
}

}  // namespace

// --- Path conversion -------------------------------------------------------

const char kHostSeparator = '/';

bool FromHostPath(const std::string& host, std::string& inner) {
  // A '\' in a host name would be read as a separator inside; a NUL would
  // cut the path wherever it is handed on.
  if (host.find('\\') != std::string::npos || host.find('\0') != std::string::npos) return false;
  if (!cp932::FromUtf8(host, inner)) return false;
  for (std::size_t i = 0; i < inner.size(); i = cp932::Next(inner, i)) {
    if (inner[i] == '/') inner[i] = '\\';
  }
  return true;
}

bool ToHostPath(const std::string& inner, std::string& host) {
  if (inner.find('\0') != std::string::npos) return false;
  // Only a whole-character '\' is a separator; the second byte of 表 or ソ
  // is not.
  std::string slashed = inner;
  for (std::size_t i = 0; i < slashed.size(); i = cp932::Next(slashed, i)) {
    if (slashed[i] == '\\') slashed[i] = '/';
  }
  return cp932::ToUtf8(slashed, host);
}

std::string DisplayPath(const std::string& inner) {
  std::string host;
  if (ToHostPath(inner, host)) return host;
  // Character by character, with '?' for what has no UTF-8 form.
  host.clear();
  for (std::size_t i = 0; i < inner.size();) {
    std::size_t next = cp932::Next(inner, i);
    std::string piece;
    if (ToHostPath(inner.substr(i, next - i), piece))
      host += piece;
    else
      host += '?';
    i = next;
  }
  return host;
}

// --- Files -------------------------------------------------------------------

std::FILE* OpenFile(const std::string& path, const char* mode) {
  std::string hostMode;
  for (const char* m = mode; *m; ++m) {
    if (*m != 't') hostMode += *m;
  }
  std::string host;
  struct stat before;
  const bool exists = HostWithStat(path, host, before);
  // Nothing there to read: no need to try.
  if (!exists && (errno == EINVAL || host.empty() || (errno == ENOENT && hostMode[0] == 'r')))
    return nullptr;
  if (exists) {
    // A named pipe, socket or device is no file of a game: opening one
    // could wait forever. A folder is no file, as on the old systems.
    if (S_ISDIR(before.st_mode)) {
      errno = EISDIR;
      return nullptr;
    }
    if (!S_ISREG(before.st_mode)) {
      errno = EINVAL;
      return nullptr;
    }
  }
  std::FILE* f = nullptr;
  if (hostMode[0] == 'w' || hostMode[0] == 'a') {
    // Never written through a link: a link where a file should go is a
    // file that is in the way, not a way to somewhere else.
    int flags =
        O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (hostMode[0] == 'w' ? O_TRUNC : O_APPEND);
    int fd = open(host.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    if (!exists) names::Added(host);
    f = fdopen(fd, hostMode.c_str());
    if (!f) close(fd);
    return f;
  }
  f = std::fopen(host.c_str(), hostMode.c_str());
  if (!f || exists) return f;
  // It appeared after the look: check what it is now.
  struct stat st;
  if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(f);
    errno = EISDIR;
    return nullptr;
  }
  return f;
}

bool RemoveFile(const std::string& path) {
  std::string host;
  if (!HostFor(path, host) || unlink(host.c_str()) != 0) return false;
  names::Removed(host);
  return true;
}

bool CopyFileReplacing(const std::string& src, const std::string& dst, CopyTick tick,
                       void* context) {
  std::string hostSrc, hostDst;
  if (!HostFor(src, hostSrc)) return false;
  int in = open(hostSrc.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat srcStat;
  const bool statFailed = fstat(in, &srcStat) != 0;
  if (statFailed || S_ISDIR(srcStat.st_mode)) {
    if (!statFailed) errno = EISDIR;
    close(in);
    return false;
  }
  // Copying a file onto itself would truncate it before reading it.
  struct stat dstStat;
  const bool dstExists = HostWithStat(dst, hostDst, dstStat);
  if (!dstExists && (errno == EINVAL || hostDst.empty())) {
    close(in);
    return false;
  }
  if (dstExists && dstStat.st_dev == srcStat.st_dev && dstStat.st_ino == srcStat.st_ino) {
    close(in);
    errno = EINVAL;
    return false;
  }
  int out = open(hostDst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (out < 0) {
    int saved = errno;
    close(in);
    errno = saved;
    return false;
  }
  if (!dstExists) names::Added(hostDst);

  // No fsync here: the runs sync the disk once before they ask for another
  // and at their end (SyncVolume), not after every file.
  bool ok = CopyData(in, out, tick, context);
  int saved = errno;
  if (ok) {
    // A program copied onto a disk stays executable. File systems without
    // Unix modes (FAT) refuse or ignore this, which is not a failed copy.
    (void)fchmod(out, srcStat.st_mode & 0777);
  }
  // A full disk may only show when the last data is written out.
  if (close(out) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  close(in);
  if (!ok) {
    if (unlink(hostDst.c_str()) == 0) names::Removed(hostDst);
    errno = saved;
  }
  return ok;
}

bool SyncVolume(const std::string& path) {
  std::string host;
  if (!HostFor(path, host)) return false;
  if (host.empty()) host = ".";
  for (;;) {
    // Non-blocking: a pipe on the way must not hold the run.
    int fd = open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      bool ok = syncfs(fd) == 0;
      int saved = errno;
      close(fd);
      errno = saved;
      return ok;
    }
    if (errno != ENOENT && errno != ENOTDIR) return false;
    std::string parent = ParentOf(host);
    if (parent == host) return false;
    host = parent;
  }
}

bool SeekTo(std::FILE* f, int64_t offset) {
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

int64_t FileLength(std::FILE* f) {
  if (!f) return -1;
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  // Data still in the stream's buffer lies just before the stream position,
  // so the file will be at least that long once it is written out.
  off_t pos = ftello(f);
  return pos > st.st_size ? static_cast<int64_t>(pos) : static_cast<int64_t>(st.st_size);
}

namespace {

// 100-ns units since 1601, like the file times of the old systems.
uint64_t WriteTimeOf(const struct stat& st) {
  constexpr int64_t kEpochDelta = 11644473600;
  int64_t seconds = static_cast<int64_t>(st.st_mtim.tv_sec) + kEpochDelta;
  if (seconds < 0) seconds = 0;
  return static_cast<uint64_t>(seconds) * 10000000u +
         static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100u;
}

}  // namespace

bool LastWriteTime(const std::string& path, uint64_t& time) {
  std::string host;
  struct stat st;
  if (!HostWithStat(path, host, st)) return false;
  time = WriteTimeOf(st);
  return true;
}

bool GetFileStamp(const std::string& path, FileStamp& stamp) {
  std::string host;
  struct stat st;
  if (!HostWithStat(path, host, st)) return false;
  stamp.length = static_cast<int64_t>(st.st_size);
  stamp.written = WriteTimeOf(st);
  stamp.changed = static_cast<uint64_t>(st.st_ctim.tv_sec) * 1000000000u +
                  static_cast<uint64_t>(st.st_ctim.tv_nsec);
  return true;
}

bool MakeFolder(const std::string& path) {
  std::string host;
  struct stat st;
  // A folder that exists in another case is the same folder.
  if (HostWithStat(path, host, st, false)) {
    errno = EEXIST;
    return false;
  }
  if (errno == EINVAL) return false;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (mkdir(host.c_str(), 0777) != 0) return false;
  names::Added(host);
  return true;
}

bool GetFileId(const std::string& path, FileId& id) {
  std::string host;
  struct stat st;
  if (!HostWithStat(path, host, st)) return false;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.number = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  FileId ia, ib;
  return GetFileId(a, ia) && GetFileId(b, ib) && ia == ib;
}

bool IsSymbolicLink(const std::string& path) {
  std::string inner = path;
  while (inner.size() > 1 && cp932::EndsWithChar(inner, '\\')) inner.pop_back();
  std::string host;
  struct stat st;
  return HostWithStat(inner, host, st, false) && S_ISLNK(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  std::string host;
  struct stat st;
  return HostWithStat(path, host, st) && S_ISREG(st.st_mode);
}

bool MakeLink(const std::string& target, const std::string& link) {
  std::string hostTarget, hostLink;
  // The target as it is on the disk: a link to a name typed in another case
  // would lead nowhere.
  if (!HostFor(target, hostTarget) || !ToHostPath(link, hostLink) ||
      symlink(hostTarget.c_str(), hostLink.c_str()) != 0)
    return false;
  names::Added(hostLink);
  return true;
}

namespace {

void RemoveHostTree(const std::string& host) {
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = opendir(host.c_str())) {
      std::vector<std::string> names;
      while (dirent* d = readdir(dir))
        if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
          names.emplace_back(d->d_name);
      closedir(dir);
      for (const std::string& name : names) RemoveHostTree(host + "/" + name);
    }
    if (rmdir(host.c_str()) == 0) names::Removed(host);
  } else if (unlink(host.c_str()) == 0) {
    names::Removed(host);
  }
}

}  // namespace

void RemoveTree(const std::string& path) {
  std::string host;
  if (!ToHostPath(path, host) || host.empty()) return;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (host == "/") return;
  RemoveHostTree(host);
}

bool Rename(const std::string& from, const std::string& to) {
  std::string hostFrom, hostTo;
  if (!ToHostPath(from, hostFrom) || !ToHostPath(to, hostTo)) return false;
  while (hostFrom.size() > 1 && hostFrom.back() == '/') hostFrom.pop_back();
  while (hostTo.size() > 1 && hostTo.back() == '/') hostTo.pop_back();
  if (renameat2(AT_FDCWD, hostFrom.c_str(), AT_FDCWD, hostTo.c_str(), RENAME_NOREPLACE) != 0) {
    // Some file systems cannot rename without replacing: look first, then.
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st;
    if (lstat(hostTo.c_str(), &st) == 0) {
      errno = EEXIST;
      return false;
    }
    if (rename(hostFrom.c_str(), hostTo.c_str()) != 0) return false;
  }
  names::Removed(hostFrom);
  names::Added(hostTo);
  return true;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  std::string hostFrom, hostTo;
  if (!ToHostPath(from, hostFrom)) return false;
  struct stat st;
  const bool existed = HostWithStat(to, hostTo, st, false);
  if (!existed && (errno == EINVAL || hostTo.empty())) return false;
  if (rename(hostFrom.c_str(), hostTo.c_str()) != 0) return false;
  names::Renamed(hostFrom, hostTo, existed);
  return true;
}

// --- Directory search ----------------------------------------------------------

FindHandle* FindFirst(const std::string& pattern, FindEntry& entry, FindResult* result) {
  FindResult ignored;
  if (!result) result = &ignored;
  *result = FindResult::kNothing;
  std::size_t sep = cp932::npos;
  for (std::size_t i = 0; i < pattern.size(); i = cp932::Next(pattern, i)) {
    if ((pattern[i] == '\\' || pattern[i] == '/') && cp932::Next(pattern, i) == i + 1) sep = i;
  }
  std::string folder = sep == cp932::npos ? std::string() : pattern.substr(0, sep + 1);
  std::string namePattern = sep == cp932::npos ? pattern : pattern.substr(sep + 1);
  if (namePattern.empty()) {
    errno = ENOENT;
    return nullptr;
  }

  auto handle = std::make_unique<FindHandle>();
  if (!HasWildcards(namePattern)) {
    std::string host;
    struct stat st;
    // A dangling link is nothing to pack: it is not reported. Pipes,
    // sockets and devices are no files, as in a search with wildcards.
    if (!HostWithStat(pattern, host, st)) {
      if (errno != ENOENT && errno != ENOTDIR) *result = FindResult::kUnreadable;
      return nullptr;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return nullptr;
    FindEntry found;
    NameEntry(LastLevel(host), found);
    found.isFolder = S_ISDIR(st.st_mode);
    struct stat lst;
    found.isLink = lstat(host.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
    handle->entries.push_back(std::move(found));
  } else {
    std::string hostFolder;
    if (!HostFor(folder, hostFolder)) return nullptr;
    if (hostFolder.empty()) hostFolder = ".";
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) {
      // A folder that has gone is nothing to search; one that is there but
      // cannot be read must not pass for empty.
      if (errno != ENOENT && errno != ENOTDIR) *result = FindResult::kUnreadable;
      return nullptr;
    }
    Chars cp932Pattern = SplitCp932(namePattern);
    std::string utf8Pattern;
    bool utf8PatternOk = cp932::ToUtf8(namePattern, utf8Pattern);
    Chars utf8PatternChars = SplitUtf8(utf8Pattern);
    while (dirent* d = readdir(dir)) {
      FindEntry found;
      NameEntry(d->d_name, found);
      bool match = found.convertible
                       ? MatchName(cp932Pattern, SplitCp932(found.name))
                       : utf8PatternOk && MatchName(utf8PatternChars, SplitUtf8(found.hostName));
      if (!match) continue;
      struct stat st;
      if (fstatat(dirfd(dir), d->d_name, &st, 0) != 0) continue;   // a dangling link
      if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;  // pipes, sockets, devices
      found.isFolder = S_ISDIR(st.st_mode);
      found.isLink =
          d->d_type == DT_LNK ||
          (d->d_type == DT_UNKNOWN &&
           fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode));
      handle->entries.push_back(std::move(found));
    }
    closedir(dir);
  }
  return FirstFound(std::move(handle), entry, *result);
}

// --- Temporary files ------------------------------------------------------------

std::string TempFolder() {
  std::string inner;
  const char* env = std::getenv("TMPDIR");
  if (env && *env) inner = InnerFolderWithSeparator(env);
  if (inner.empty()) inner = "\\tmp\\";
  return inner;
}

namespace {

// From the kernel; std::random_device would bring in arc4random, which the C
// libraries of the systems the program must start on lack. Any seed will
// do where the kernel has no getrandom: the names are made with O_EXCL.
std::uint64_t RandomSeed() {
  std::uint64_t seed = 0;
  if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof seed))
    return seed;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (static_cast<std::uint64_t>(getpid()) << 32) ^ static_cast<std::uint64_t>(now.tv_nsec) ^
         (static_cast<std::uint64_t>(now.tv_sec) << 20);
}

}  // namespace

namespace {

// A new file in folder, made with O_EXCL: its path, with its descriptor in
// *fd when given (else closed); "" on failure.
std::string NewTempFile(const std::string& folder, const std::string& prefix, int* fd) {
  std::size_t cut = 0;
  for (int n = 0; n < 3 && cut < prefix.size(); ++n) cut = cp932::Next(prefix, cut);
  std::string hostPrefix;
  if (!cp932::ToUtf8(std::string_view(prefix).substr(0, cut), hostPrefix) ||
      hostPrefix.find('/') != std::string::npos || hostPrefix.find('\\') != std::string::npos)
    return {};
  std::string hostFolder;
  if (!HostFor(folder, hostFolder)) return {};
  if (hostFolder.empty()) hostFolder = ".";
  // Made with O_EXCL and the usual modes (these files end up on the disk
  // set: the list file, compressed files); mkstemp would make them private,
  // and setting the modes back needs the umask, which another thread's
  // look at it would change for a moment.
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random(RandomSeed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = hostPrefix;
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    name += ".tmp";
    const std::string path = JoinHost(hostFolder, name);
    const int made = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (made < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    names::Added(path);
    std::string inner;
    if (!FromHostPath(path, inner)) {
      close(made);
      unlink(path.c_str());
      names::Removed(path);
      return {};
    }
    if (fd)
      *fd = made;
    else
      close(made);
    return inner;
  }
  return {};
}

}  // namespace

std::string MakeTempFile(const std::string& folder, const std::string& prefix) {
  return NewTempFile(folder, prefix, nullptr);
}

std::string MakeOpenTempFile(const std::string& folder, const std::string& prefix,
                             std::FILE*& file) {
  int fd = -1;
  std::string path = NewTempFile(folder, prefix, &fd);
  file = path.empty() ? nullptr : fdopen(fd, "r+b");
  if (!file && !path.empty()) {
    close(fd);
    RemoveFile(path);
    path.clear();
  }
  return path;
}

std::string MakeTempFolder(const std::string& folder, const std::string& prefix) {
  std::string hostFolder, hostPrefix;
  if (!HostFor(folder, hostFolder) || !ToHostPath(prefix, hostPrefix) ||
      hostPrefix.find('/') != std::string::npos)
    return {};
  std::string name = JoinHost(hostFolder.empty() ? "." : hostFolder, hostPrefix + "XXXXXX");
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return {};
  std::string inner = InnerFolderWithSeparator(buf.data());
  if (inner.empty())
    rmdir(buf.data());
  else
    names::Added(buf.data());
  return inner;
}

// --- Volumes ------------------------------------------------------------------

bool FreeBytes(const std::string& path, uint64_t& bytes) {
  std::string host;
  if (!HostFor(path, host)) return false;
  if (host.empty()) host = ".";
  while (true) {
    struct statvfs vfs;
    if (statvfs(host.c_str(), &vfs) == 0) {
      bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
      return true;
    }
    if (errno != ENOENT && errno != ENOTDIR) return false;
    std::string parent = ParentOf(host);
    if (parent == host) return false;
    host = parent;
  }
}

std::string FirstRemovableRoot() {
  for (const std::string& line : ReadLines("/proc/self/mounts")) {
    std::size_t a = line.find(' ');
    if (a == std::string::npos) continue;
    std::size_t b = line.find(' ', a + 1);
    if (b == std::string::npos) continue;
    std::string device = UnescapeMountField(std::string_view(line).substr(0, a));
    std::string mountPoint = UnescapeMountField(std::string_view(line).substr(a + 1, b - a - 1));
    bool removable = UnderFolder(mountPoint, "/media/") || UnderFolder(mountPoint, "/run/media/") ||
                     (device.rfind("/dev/", 0) == 0 && DeviceIsRemovable(device));
    if (!removable) continue;
    std::string inner = InnerFolderWithSeparator(mountPoint);
    if (!inner.empty()) return inner;
  }
  return {};
}

std::string HomeFolder() {
  std::string host;
  if (const char* env = std::getenv("HOME"); env && *env) {
    host = env;
  } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    host = pw->pw_dir;
  }
  std::string inner;
  if (host.empty() || !FromHostPath(host, inner)) return {};
  while (inner.size() > 1 && cp932::EndsWithChar(inner, '\\')) inner.pop_back();
  return inner;
}

// folder + '\\' + name, without doubling a separator the folder ends with.
static std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || cp932::EndsWithChar(folder, '\\')) return folder + name;
  return folder + "\\" + name;
}

// No removable volume: the home folder, where the user finds the set.
std::string DefaultDiskSetRoot() {
  std::string root = FirstRemovableRoot();
  return root.empty() ? JoinFolder(HomeFolder(), "") : root;
}

std::string DefaultGameRoot() { return JoinFolder(HomeFolder(), "Games\\"); }

// --- Process ------------------------------------------------------------------

std::string ProgramFile() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return {};
  std::string inner;
  if (!FromHostPath(std::string(buf, static_cast<std::size_t>(n)), inner)) return {};
  return inner;
}

std::string CompanionProgram() {
  std::string self = ProgramFile();
  std::size_t sep = cp932::FindLast(self, '\\');
  if (sep == cp932::npos) return {};
  std::string companion = self.substr(0, sep + 1) + "kelvod.exe";
  std::string host;
  struct stat st;
  if (!ToHostPath(companion, host) || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return {};
  return companion;
}

std::string CurrentFolder() {
  std::vector<char> buf(PATH_MAX);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
  std::string inner;
  if (!FromHostPath(buf.data(), inner)) return {};
  return inner;
}

bool ChangeFolder(const std::string& path) {
  std::string host;
  return HostFor(path, host) && !host.empty() && chdir(host.c_str()) == 0;
}

namespace host {

std::string ParentOf(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return trimmed.substr(0, slash);
}

std::string LastLevel(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace host

}  // namespace plat
