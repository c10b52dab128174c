#include "support/disk_fixtures.h"

#ifndef _WIN32  // the Windows forms are in disk_fixtures_win32.cpp
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/platform.h"
#include "text/cp932.h"

#ifndef _WIN32
TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kvtest-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) path = buf.data();
}
#endif

TempDir::~TempDir() {
  std::error_code ec;
  if (!path.empty()) fs::remove_all(path, ec);
}

std::string ReadFileBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string out(n, '\0');
  for (auto& c : out) c = static_cast<char>(gen() & 0xFF);
  return out;
}

std::string Inner(const fs::path& host) {
  std::string inner;
  if (!plat::FromHostPath(host.string(), inner)) return "<no inner form>";
  return inner;
}

std::string InnerFolder(const fs::path& host) {
  std::string inner = Inner(host);
  if (!cp932::EndsWithChar(inner, '\\')) inner += '\\';
  return inner;
}

std::string Sjis(const std::string& utf8) {
  std::string out;
  cp932::FromUtf8(utf8, out);
  return out;
}

bool ReadCrLfLines(const fs::path& p, std::vector<std::string>& lines) {
  std::string data = ReadFileBytes(p);
  lines.clear();
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t lf = data.find('\n', start);
    if (lf == std::string::npos || lf == start || data[lf - 1] != '\r') return false;
    lines.push_back(data.substr(start, lf - 1 - start));
    start = lf + 1;
  }
  return true;
}

std::vector<std::string> ListTree(const fs::path& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file()) out.push_back(fs::relative(it->path(), dir).generic_string());
  std::sort(out.begin(), out.end());
  return out;
}

#ifndef _WIN32
bool TmpfsDrive::Available(std::string* reason) {
  static int state = -1;  // -1 unknown, 0 refused, 1 works
  static std::string why;
  if (state < 0) {
    TempDir probe;
    if (mount("tmpfs", probe.path.c_str(), "tmpfs", 0, "size=64k") == 0) {
      umount(probe.path.c_str());
      state = 1;
    } else {
      state = 0;
      why = std::string("mounting a tmpfs was refused: ") + std::strerror(errno);
    }
  }
  if (reason) *reason = why;
  return state == 1;
}

TmpfsDrive::TmpfsDrive(const fs::path& mountPoint, std::size_t bytes)
    : mountPoint_(mountPoint), bytes_(bytes) {
  fs::create_directories(mountPoint_);
  Mount();
}

TmpfsDrive::~TmpfsDrive() { Unmount(); }

bool TmpfsDrive::Mount() {
  std::string options = "size=" + std::to_string(bytes_);
  mounted_ = mount("tmpfs", mountPoint_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  return mounted_;
}

void TmpfsDrive::Unmount() {
  if (!mounted_) return;
  // A file left open by the program would make this fail: that is a bug to see.
  if (umount(mountPoint_.c_str()) != 0) umount2(mountPoint_.c_str(), MNT_DETACH);
  mounted_ = false;
}

fs::path TmpfsDrive::Change(const fs::path& shelf, std::size_t newBytes) {
  fs::path kept;
  if (!shelf.empty()) {
    kept = shelf / ("disk" + std::to_string(++ejected_));
    fs::create_directories(kept);
    fs::copy(mountPoint_, kept, fs::copy_options::recursive);
  }
  Unmount();
  if (newBytes) bytes_ = newBytes;
  Mount();
  return kept;
}
#endif
