// Progress of a batch command on standard error when it is a terminal: one
// bar for the whole run, files and bytes done of their totals, the disk
// being written and the file at work. Redrawn at most ten times a second;
// erased before any other output.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class ProgressLine {
 public:
  explicit ProgressLine(bool quiet);
  ~ProgressLine() { Erase(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  bool on() const { return on_; }
  // What the whole run is: files and their bytes (0 when not known).
  void SetTotals(uint64_t files, uint64_t bytes);
  // A file begins (shown: its name as the user knows it; bytes: its size,
  // 0 when not known); the one before it is done.
  void BeginFile(const std::string& shown, uint64_t bytes);
  // How far the file at work has come, of total.
  void Within(uint64_t done, uint64_t total);
  // The file at work is done (once; BeginFile also ends the one before).
  void EndFile();
  void SetDisk(int32_t number);
  void Tick() { Draw(false); }
  void Erase();

 private:
  void Draw(bool force);
  bool on_;
  bool shown_ = false;
  bool inFile_ = false;
  std::string file_;
  uint64_t filesTotal_ = 0, bytesTotal_ = 0, filesDone_ = 0, bytesDone_ = 0;
  uint64_t fileBytes_ = 0, within_ = 0, withinTotal_ = 0;
  int32_t disk_ = 0;
  std::chrono::steady_clock::time_point last_;
};

// The end of a UTF-8 name in at most room bytes, "..." in front when it was
// cut: the file's own name matters more than its folders, and a character
// is never cut in two.
std::string EndOfName(const std::string& name, std::size_t room);
