// The operating-system layer on Linux: paths in the program's own form
// (code page 932, '\' separators) are turned into UTF-8 host paths and back,
// and every look-up falls back to a case-insensitive match level by level.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/wildcard.h"
#include "text/cp932.h"

namespace plat {

using wildcard::Chars;
using wildcard::HasWildcards;
using wildcard::MatchName;
using wildcard::SplitCp932;
using wildcard::SplitUtf8;

struct FindHandle {
  std::vector<FindEntry> entries;
  std::size_t next = 0;
};

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;

bool EntryExists(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Host names are UTF-8, whose bytes of 0x80 and above are never ASCII
// letters, so folding single bytes folds exactly the ASCII letters.
bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::string JoinHost(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string out = folder;
  if (out.back() != '/') out += '/';
  out += name;
  return out;
}

// The entry of folder whose name equals name ignoring case; the first in
// byte order when several do, so the choice does not depend on the order
// of the directory. "" when none.
std::string MatchInFolder(const std::string& folder, std::string_view name) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return {};
  std::string best;
  while (dirent* d = readdir(dir)) {
    std::string_view candidate = d->d_name;
    if (SameNoCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
  }
  closedir(dir);
  return best;
}

// The host path with every level that does not exist replaced by an entry
// of the same name in another case. Levels from the first one that matches
// nothing on are kept as given (so a file or folder can be created there).
// One lstat when the exact path exists.
std::string Resolve(const std::string& host) {
  if (host.empty() || EntryExists(host)) return host;
  std::string out = host[0] == '/' ? "/" : "";
  bool resolving = true;
  std::size_t i = 0;
  while (i < host.size()) {
    std::size_t end = host.find('/', i);
    if (end == std::string::npos) end = host.size();
    std::string_view level = std::string_view(host).substr(i, end - i);
    i = end + 1;
    if (level.empty()) continue;
    std::string exact = JoinHost(out, level);
    if (resolving && level != "." && level != ".." && !EntryExists(exact)) {
      std::string match = MatchInFolder(out, level);
      if (!match.empty()) {
        out = JoinHost(out, match);
        continue;
      }
      resolving = false;
    }
    out = std::move(exact);
  }
  if (host.back() == '/' && !out.empty() && out.back() != '/') out += '/';
  return out;
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

// Fills the name fields of an entry from its host name.
void NameEntry(const std::string& hostName, FindEntry& entry) {
  entry.hostName = hostName;
  entry.convertible = FromHostPath(hostName, entry.name);
  if (!entry.convertible) entry.name.clear();
}

// Orders "." and ".." first, then the host names byte by byte, so a walk
// does not depend on the order of the directory.
bool EntryBefore(const FindEntry& a, const FindEntry& b) {
  auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
  int ra = rank(a.hostName), rb = rank(b.hostName);
  if (ra != rb) return ra < rb;
  return a.hostName < b.hostName;
}

// The last level of a host path ("." for an empty one).
std::string LastLevel(const std::string& host) {
  std::string trimmed = host;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string ParentOf(const std::string& host) {
  std::string trimmed = host;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::size_t slash = trimmed.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return trimmed.substr(0, slash);
}

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

// Copies from the current offsets of in to out until the end of in.
bool CopyData(int in, int out) {
  // Let the kernel copy when it can; it refuses across file systems on older
  // kernels, and then before anything was copied.
  bool kernel = true;
  while (kernel) {
    ssize_t n = copy_file_range(in, nullptr, out, nullptr, kCopyBuffer, 0);
    if (n > 0) continue;
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
    if (!WriteAll(out, buf.get(), static_cast<std::size_t>(n))) return false;
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
  std::string host;
  if (!HostFor(path, host)) return nullptr;
  std::string hostMode;
  for (const char* m = mode; *m; ++m) {
    if (*m != 't') hostMode += *m;
  }
  // A named pipe, socket or device is no file of a game: opening one could
  // wait forever.
  struct stat before;
  if (stat(host.c_str(), &before) == 0 && !S_ISREG(before.st_mode) && !S_ISDIR(before.st_mode)) {
    errno = EINVAL;
    return nullptr;
  }
  std::FILE* f = nullptr;
  if (hostMode[0] == 'w' || hostMode[0] == 'a') {
    // Never written through a link: a link where a file should go is a
    // file that is in the way, not a way to somewhere else.
    int flags =
        O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (hostMode[0] == 'w' ? O_TRUNC : O_APPEND);
    int fd = open(host.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    f = fdopen(fd, hostMode.c_str());
    if (!f) close(fd);
  } else {
    f = std::fopen(host.c_str(), hostMode.c_str());
  }
  if (!f) return nullptr;
  // A folder is no file, as on the old systems.
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
  return HostFor(path, host) && unlink(host.c_str()) == 0;
}

bool CopyFileReplacing(const std::string& src, const std::string& dst) {
  std::string hostSrc, hostDst;
  if (!HostFor(src, hostSrc) || !HostFor(dst, hostDst)) return false;

  int in = open(hostSrc.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat srcStat;
  if (fstat(in, &srcStat) != 0 || S_ISDIR(srcStat.st_mode)) {
    if (S_ISDIR(srcStat.st_mode)) errno = EISDIR;
    close(in);
    return false;
  }
  // Copying a file onto itself would truncate it before reading it.
  struct stat dstStat;
  if (stat(hostDst.c_str(), &dstStat) == 0 && dstStat.st_dev == srcStat.st_dev &&
      dstStat.st_ino == srcStat.st_ino) {
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

  bool ok = CopyData(in, out);
  int saved = errno;
  // The user changes disks after a copy: the data must be on the disk, and
  // a failure of the final write-back must be seen here.
  if (ok && fsync(out) != 0 && errno != EINVAL && errno != EROFS) {
    ok = false;
    saved = errno;
  }
  if (ok) {
    // A program copied onto a disk stays executable. File systems without
    // Unix modes (FAT) refuse or ignore this, which is not a failed copy.
    (void)fchmod(out, srcStat.st_mode & 0777);
  }
  if (close(out) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  close(in);
  if (!ok) {
    unlink(hostDst.c_str());
    errno = saved;
  }
  return ok;
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

bool LastWriteTime(const std::string& path, uint64_t& time) {
  std::string host;
  struct stat st;
  if (!HostFor(path, host) || stat(host.c_str(), &st) != 0) return false;
  // 100-ns units since 1601, like the file times of the old systems.
  constexpr int64_t kEpochDelta = 11644473600;
  int64_t seconds = static_cast<int64_t>(st.st_mtim.tv_sec) + kEpochDelta;
  if (seconds < 0) seconds = 0;
  time =
      static_cast<uint64_t>(seconds) * 10000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100u;
  return true;
}

bool MakeFolder(const std::string& path) {
  std::string host;
  if (!HostFor(path, host)) return false;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  // A folder that exists in another case is the same folder.
  if (EntryExists(host)) {
    errno = EEXIST;
    return false;
  }
  return mkdir(host.c_str(), 0777) == 0;
}

bool GetFileId(const std::string& path, FileId& id) {
  std::string host;
  struct stat st;
  if (!HostFor(path, host) || stat(host.empty() ? "." : host.c_str(), &st) != 0) return false;
  id.device = static_cast<uint64_t>(st.st_dev);
  id.number = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  FileId ia, ib;
  return GetFileId(a, ia) && GetFileId(b, ib) && ia == ib;
}

bool IsSymbolicLink(const std::string& path) {
  std::string host;
  if (!HostFor(path, host)) return false;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  struct stat st;
  return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool MakeLink(const std::string& target, const std::string& link) {
  std::string hostTarget, hostLink;
  return ToHostPath(target, hostTarget) && ToHostPath(link, hostLink) &&
         symlink(hostTarget.c_str(), hostLink.c_str()) == 0;
}

bool RemoveFolder(const std::string& path) {
  std::string host;
  if (!ToHostPath(path, host)) return false;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  struct stat st;
  if (lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return unlink(host.c_str()) == 0;
  return rmdir(host.c_str()) == 0;
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
    rmdir(host.c_str());
  } else {
    unlink(host.c_str());
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
  return renameat2(AT_FDCWD, hostFrom.c_str(), AT_FDCWD, hostTo.c_str(), RENAME_NOREPLACE) == 0;
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
    // A dangling link is nothing to pack: it is not reported.
    if (!HostFor(pattern, host) || stat(host.c_str(), &st) != 0) return nullptr;
    FindEntry found;
    NameEntry(LastLevel(host), found);
    found.isFolder = S_ISDIR(st.st_mode);
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
      handle->entries.push_back(std::move(found));
    }
    closedir(dir);
    std::sort(handle->entries.begin(), handle->entries.end(), EntryBefore);
  }
  if (handle->entries.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  *result = FindResult::kFound;
  entry = handle->entries[0];
  handle->next = 1;
  return handle.release();
}

bool FindNext(FindHandle* h, FindEntry& entry) {
  if (!h || h->next >= h->entries.size()) return false;
  entry = h->entries[h->next++];
  return true;
}

void FindClose(FindHandle* h) { delete h; }

// --- Temporary files ------------------------------------------------------------

std::string TempFolder() {
  std::string inner;
  const char* env = std::getenv("TMPDIR");
  if (env && *env) inner = InnerFolderWithSeparator(env);
  if (inner.empty()) inner = "\\tmp\\";
  return inner;
}

std::string MakeTempFile(const std::string& folder, const std::string& prefix) {
  std::string head;
  std::size_t cut = 0;
  for (int n = 0; n < 3 && cut < prefix.size(); ++n) cut = cp932::Next(prefix, cut);
  std::string hostPrefix;
  if (!cp932::ToUtf8(std::string_view(prefix).substr(0, cut), hostPrefix) ||
      hostPrefix.find('/') != std::string::npos || hostPrefix.find('\\') != std::string::npos)
    return {};
  std::string hostFolder;
  if (!HostFor(folder, hostFolder)) return {};
  std::string name = JoinHost(hostFolder.empty() ? "." : hostFolder, hostPrefix + "XXXXXX.tmp");
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  int fd = mkstemps(buf.data(), 4);
  if (fd < 0) return {};
  // mkstemp makes the file private; these files end up on the disk set
  // (the list file, compressed files) and get the usual modes there.
  mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
  close(fd);
  std::string inner;
  if (!FromHostPath(buf.data(), inner)) {
    unlink(buf.data());
    return {};
  }
  return inner;
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
  if (inner.empty()) rmdir(buf.data());
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

}  // namespace plat
