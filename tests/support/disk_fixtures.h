// Helpers for tests that work on real files: temporary folders, whole-file
// reads and writes, inner-form paths, and small tmpfs file systems that
// stand for the disk in the drive.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

#ifdef _WIN32
// The POSIX environment calls for the tests. TMPDIR also sets TMP and TEMP,
// where Windows looks for the temporary folder, and HOME also USERPROFILE.
int setenv(const char* name, const char* value, int overwrite);
int setenv(const char* name, const wchar_t* value, int overwrite);
int unsetenv(const char* name);
#endif

// A fresh folder under the system's temporary folder, removed afterwards.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  fs::path path;
};

std::string ReadFileBytes(const fs::path& p);
void WriteFileBytes(const fs::path& p, const std::string& data);
// Deterministic bytes that barely compress.
std::string RandomBytes(std::size_t n, unsigned seed);
// The program's own form of a host path (code page 932, '\' separators).
std::string Inner(const fs::path& host);
// Inner form of a folder, ending in '\'.
std::string InnerFolder(const fs::path& host);
// Code page 932 bytes of a UTF-8 text.
std::string Sjis(const std::string& utf8);
// The lines of a file whose lines end with CR LF (false if any does not).
bool ReadCrLfLines(const fs::path& p, std::vector<std::string>& lines);
// Names of the files (not folders) below dir, relative, with '/' separators, sorted.
std::vector<std::string> ListTree(const fs::path& dir);

// A small tmpfs mounted at a folder: the disk in the drive. Change() is a
// disk change: the old file system goes away with its files (kept in
// `ejected` when keep is true) and a fresh empty one takes its place.
class TmpfsDrive {
 public:
  // False (and a reason) when this machine refuses the mount.
  static bool Available(std::string* reason);
  TmpfsDrive(const fs::path& mountPoint, std::size_t bytes);
  ~TmpfsDrive();
  bool mounted() const { return mounted_; }
  // Ejects the disk (copying its files into a new folder of `shelf` when
  // given) and inserts a fresh one. Returns the shelf folder or "".
  fs::path Change(const fs::path& shelf = {}, std::size_t newBytes = 0);
  void Unmount();

 private:
  bool Mount();
  fs::path mountPoint_;
  std::size_t bytes_;
  bool mounted_ = false;
  int ejected_ = 0;
};
