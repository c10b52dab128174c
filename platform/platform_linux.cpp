// The Linux side of the platform layer: host paths are UTF-8 with '/', the
// program's paths are code page 932 with '\'. Disk sets copied off old
// media often change the case of names, so look-ups fall back to a
// case-insensitive match, level by level, when the exact name is missing.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/cp932.h"

namespace plat {

// --- Path conversion -------------------------------------------------------

bool FromHostPath(const std::string& host, std::string& inner) {
  // A '\' in a host name would become a separator inside: no inner form.
  if (host.find('\\') != std::string::npos) return false;
  if (!cp932::FromUtf8(host, inner)) return false;
  // '/' is never the second byte of a double-byte character.
  std::replace(inner.begin(), inner.end(), '/', '\\');
  return true;
}

namespace {

// '\' as a whole character becomes '/'; a second byte 0x5C stays.
std::string WithSlashes(const std::string& inner) {
  std::string out = inner;
  for (std::size_t i = 0; i < out.size(); i = cp932::Next(out, i))
    if (out[i] == '\\') out[i] = '/';
  return out;
}

}  // namespace

bool ToHostPath(const std::string& inner, std::string& host) {
  return cp932::ToUtf8(WithSlashes(inner), host);
}

std::string DisplayPath(const std::string& inner) {
  std::string host;
  if (ToHostPath(inner, host)) return host;
  // Character by character, '?' for what does not convert.
  std::string slashes = WithSlashes(inner), out, one;
  for (std::size_t i = 0; i < slashes.size();) {
    std::size_t next = cp932::Next(slashes, i);
    out += cp932::ToUtf8(std::string_view(slashes).substr(i, next - i), one) ? one : "?";
    i = next;
  }
  return out;
}

namespace {

bool Exists(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0;
}

bool SameNoCase(const char* a, const std::string& b) {
  std::size_t n = std::strlen(a);
  if (n != b.size()) return false;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y && std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// The host path with every level that is missing under its exact name
// replaced by an existing one that differs only in the case of ASCII
// letters. Levels that do not exist at all are kept as given.
std::string Resolve(const std::string& host) {
  if (host.empty() || Exists(host)) return host;
  std::string out = host[0] == '/' ? "/" : "";
  std::size_t pos = 0;
  bool searching = true;
  while (pos < host.size()) {
    std::size_t slash = host.find('/', pos);
    std::string level =
        host.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    pos = slash == std::string::npos ? host.size() : slash + 1;
    if (level.empty()) continue;
    std::string base = out.empty() || out.back() == '/' ? out : out + "/";
    std::string candidate = base + level;
    if (searching && !Exists(candidate)) {
      searching = false;
      if (DIR* d = opendir(out.empty() ? "." : out.c_str())) {
        while (dirent* e = readdir(d)) {
          if (SameNoCase(e->d_name, level)) {
            candidate = base + e->d_name;
            searching = true;
            break;
          }
        }
        closedir(d);
      }
    }
    out = candidate;
  }
  if (!host.empty() && host.back() == '/' && (out.empty() || out.back() != '/')) out += '/';
  return out;
}

bool HostOf(const std::string& inner, std::string& host) {
  if (!ToHostPath(inner, host)) {
    errno = EILSEQ;
    return false;
  }
  host = Resolve(host);
  return true;
}

}  // namespace

// --- Files -------------------------------------------------------------------

std::FILE* OpenFile(const std::string& path, const char* mode) {
  std::string host;
  if (path.empty() || !HostOf(path, host)) return nullptr;
  std::string hostMode;
  for (const char* m = mode; *m; ++m)
    if (*m != 't') hostMode += *m;  // text mode: the callers write CR LF themselves
  std::FILE* f = std::fopen(host.c_str(), hostMode.c_str());
  if (!f) return nullptr;
  // A folder is no file, as on Windows.
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
  return HostOf(path, host) && unlink(host.c_str()) == 0;
}

bool CopyFileReplacing(const std::string& src, const std::string& dst) {
  std::string from, to;
  if (!HostOf(src, from) || !HostOf(dst, to)) return false;
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(in);
    return false;
  }
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    close(in);
    return false;
  }
  static std::vector<char> buffer(1 << 20);
  bool ok = true;
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; ok && done < got;) {
      ssize_t put = write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0)
        ok = false;
      else
        done += put;
    }
    if (!ok) break;
  }
  close(in);
  // Keep the permission bits, so a program copied onto a disk still runs;
  // a disk that is full only now says so at fsync or close.
  if (ok && fchmod(out, st.st_mode & 0777) != 0) ok = false;
  if (ok && fsync(out) != 0 && errno != EINVAL) ok = false;
  if (close(out) != 0) ok = false;
  if (!ok) unlink(to.c_str());  // never leave a cut copy behind
  return ok;
}

int64_t FileLength(std::FILE* f) {
  struct stat st;
  if (!f || fstat(fileno(f), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool LastWriteTime(const std::string& path, uint64_t& time) {
  std::string host;
  struct stat st;
  if (!HostOf(path, host) || stat(host.c_str(), &st) != 0) return false;
  // Nanoseconds since 1970, shifted so that earlier times stay ordered.
  time = static_cast<uint64_t>(st.st_mtim.tv_sec + (int64_t{1} << 40)) * 1000000000u +
         static_cast<uint64_t>(st.st_mtim.tv_nsec);
  return true;
}

bool MakeFolder(const std::string& path) {
  std::string host;
  return HostOf(path, host) && mkdir(host.c_str(), 0777) == 0;
}

// --- Directory search -------------------------------------------------------

struct FindHandle {
  std::vector<FindEntry> entries;
  std::size_t next = 0;
};

namespace {

// Windows wildcards on a UTF-8 name: '*' any run, '?' one character, ASCII
// letters in either case; "*.*" matches names without a dot too.
bool Matches(const char* name, const char* pattern) {
  if (std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0) return true;
  while (*pattern) {
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (!*pattern) return true;
      for (const char* n = name; *n; ++n)
        if (Matches(n, pattern)) return true;
      return Matches("", pattern);
    }
    if (!*name) return false;
    if (*pattern == '?') {
      ++name;
      while ((static_cast<unsigned char>(*name) & 0xC0) == 0x80) ++name;
      ++pattern;
      continue;
    }
    if (std::tolower(static_cast<unsigned char>(*name)) !=
        std::tolower(static_cast<unsigned char>(*pattern)))
      return false;
    ++name;
    ++pattern;
  }
  // Windows lets "name.*" match "name" and a trailing "." match nothing more.
  return *name == '\0';
}

bool MakeEntry(const std::string& folder, const std::string& name, FindEntry& entry) {
  struct stat st;
  std::string full = (folder.empty() ? std::string(".") : folder) + "/" + name;
  if (stat(full.c_str(), &st) != 0) return false;  // a dangling link is nothing to pack
  entry.isFolder = S_ISDIR(st.st_mode);
  entry.hostName = name;
  entry.convertible = name.find('\\') == std::string::npos && cp932::FromUtf8(name, entry.name);
  if (!entry.convertible) entry.name.clear();
  return true;
}

}  // namespace

FindHandle* FindFirst(const std::string& pattern, FindEntry& entry) {
  std::size_t cut = cp932::FindLast(pattern, '\\');
  std::string folderInner = cut == cp932::npos ? "" : pattern.substr(0, cut);
  std::string namePattern = cut == cp932::npos ? pattern : pattern.substr(cut + 1);
  std::string folder, name;
  if (cut == 0) folderInner = "\\";
  if (!folderInner.empty() && !HostOf(folderInner, folder)) return nullptr;
  if (!cp932::ToUtf8(namePattern, name) || name.empty()) return nullptr;

  auto* h = new FindHandle;
  if (name.find_first_of("*?") == std::string::npos) {
    // One name: the entry itself, under whatever case it has on the disk.
    std::string full = Resolve((folder.empty() ? std::string() : folder + "/") + name);
    std::size_t slash = full.rfind('/');
    FindEntry e;
    if (MakeEntry(folder, slash == std::string::npos ? full : full.substr(slash + 1), e))
      h->entries.push_back(e);
  } else if (DIR* d = opendir(folder.empty() ? "." : folder.c_str())) {
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
      if (Matches(e->d_name, name.c_str())) names.emplace_back(e->d_name);
    closedir(d);
    // A steady order makes the same work folder give the same disk set.
    std::sort(names.begin(), names.end());
    for (const auto& n : names) {
      FindEntry e;
      if (MakeEntry(folder, n, e)) h->entries.push_back(e);
    }
  }
  if (h->entries.empty()) {
    delete h;
    return nullptr;
  }
  entry = h->entries[0];
  h->next = 1;
  return h;
}

bool FindNext(FindHandle* h, FindEntry& entry) {
  if (!h || h->next >= h->entries.size()) return false;
  entry = h->entries[h->next++];
  return true;
}

void FindClose(FindHandle* h) { delete h; }

// --- Temporary files ---------------------------------------------------------

namespace {

std::string HostTemp() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

std::string WithSeparator(std::string inner) {
  if (!cp932::EndsWithChar(inner, '\\')) inner += '\\';
  return inner;
}

}  // namespace

std::string TempFolder() {
  std::string inner;
  if (!FromHostPath(HostTemp(), inner)) inner = "\\tmp";
  return WithSeparator(inner);
}

std::string MakeTempFile(const std::string& folder, const std::string& prefix) {
  std::string host;
  if (!HostOf(folder, host)) return {};
  if (!host.empty() && host.back() != '/') host += '/';
  std::string name = host + prefix.substr(0, 3) + "XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) return {};
  close(fd);
  std::string inner;
  if (!FromHostPath(name, inner)) {
    unlink(name.c_str());
    return {};
  }
  return inner;
}

// --- Volumes -------------------------------------------------------------------

bool FreeBytes(const std::string& path, uint64_t& bytes) {
  std::string host;
  if (!HostOf(path, host)) return false;
  // The file system that holds the folder, or its nearest existing ancestor.
  while (!host.empty() && !Exists(host)) {
    std::size_t slash = host.find_last_of('/', host.size() > 1 ? host.size() - 2 : 0);
    host = slash == std::string::npos ? std::string(".") : host.substr(0, slash == 0 ? 1 : slash);
  }
  struct statvfs vfs;
  if (statvfs(host.empty() ? "." : host.c_str(), &vfs) != 0) return false;
  bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
  return true;
}

namespace {

// Mount points in /proc/self/mounts escape blanks and the like as \ooo.
std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      int v = 0;
      bool octal = true;
      for (int k = 1; k <= 3; ++k) {
        char c = field[i + k];
        if (c < '0' || c > '7') octal = false;
        v = v * 8 + (c - '0');
      }
      if (octal) {
        out += static_cast<char>(v);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

bool RemovableDevice(const std::string& device) {
  if (device.rfind("/dev/", 0) != 0) return false;
  char real[PATH_MAX];
  std::string sys = "/sys/class/block/" + device.substr(5);
  if (!realpath(sys.c_str(), real)) return false;
  std::string dir = real;
  if (access((dir + "/partition").c_str(), F_OK) == 0) dir = dir.substr(0, dir.rfind('/'));
  std::ifstream flag(dir + "/removable");
  char c = '0';
  flag >> c;
  return c == '1';
}

}  // namespace

std::string FirstRemovableRoot() {
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, point;
    if (!(fields >> device >> point)) continue;
    point = Unescape(point);
    bool media = point.rfind("/media/", 0) == 0 || point.rfind("/run/media/", 0) == 0;
    if (!media && !RemovableDevice(device)) continue;
    std::string inner;
    if (FromHostPath(point, inner)) return WithSeparator(inner);
  }
  return {};
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  std::string host = home && *home ? home : "";
  if (host.empty())
    if (passwd* pw = getpwuid(getuid())) host = pw->pw_dir;
  std::string inner;
  if (host.empty() || !FromHostPath(host, inner)) return "\\tmp";
  while (inner.size() > 1 && cp932::EndsWithChar(inner, '\\')) inner.pop_back();
  return inner;
}

// --- Process ---------------------------------------------------------------------

std::string ProgramFile() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string inner;
  return FromHostPath(std::string(buf, static_cast<std::size_t>(n)), inner) ? inner : std::string();
}

std::string CurrentFolder() {
  char buf[PATH_MAX];
  std::string inner;
  if (!getcwd(buf, sizeof buf) || !FromHostPath(buf, inner)) return {};
  return inner;
}

bool ChangeFolder(const std::string& path) {
  std::string host;
  return HostOf(path, host) && chdir(host.c_str()) == 0;
}

}  // namespace plat
