// The list file of a disk set: count line, title line, disk lines, file
// lines, end line. Lines end with CR LF on disk on every platform.
#pragma once

#include <cstdint>
#include <string>

// Each returns true when the line was written completely; on false the
// caller reports it and stops the run.
bool StartListFile(const std::string& title);
bool AppendDiskLine(int32_t diskId);
bool AppendFileLine(const std::string& writtenPath, int32_t diskCounter);
// Appends the end line and writes the count over the placeholder; returns
// the file's length, or -1 when it failed.
int64_t FinishListFile(int32_t diskCounter);

// Shows the message for a list file that could not be written and stops the
// run; returns 13.
int ReportListWriteFailure();
