// The list file of a disk set: count line, title line, disk lines, file
// lines, end line. Lines end with CR LF on disk on every platform. One open,
// write and close per line, so the list on disk is complete after every
// line and no stream stays open while disks are changed.
#pragma once

#include <cstdint>
#include <string>

#include "app/dialogue/run_state.h"
#include "fileops/file_ops.h"

class ListFile : public ListLines {
 public:
  // Writes to state.ListTempPath; file lines are relative to
  // state.DestinationFolder.
  explicit ListFile(RunState& state) : state_(state) {}

  // Each returns true when the line was written completely; on false the
  // caller reports it and stops the run.
  bool StartListFile(const std::string& title);
  bool AppendDiskLine(int32_t diskId) override;
  bool AppendFileLine(const std::string& writtenPath, int32_t diskCounter) override;
  // Appends the end line and writes the count over the placeholder; returns
  // the file's length, or -1 when it failed.
  int64_t FinishListFile(int32_t diskCounter);

 private:
  bool WriteLines(const char* mode, const std::string& lines);
  RunState& state_;
};
