// The disk set being written by a make run: its folders, the identity marker
// of each disk, the room on the disk in the drive, its list lines, and the
// copies onto it that a full disk turns into a disk change.
#pragma once

#include <cstdint>
#include <string>

#include "fileops/files.h"
#include "runs/list.h"
#include "runs/run_context.h"

// Makes every missing folder level of a destination file's folder, one
// level at a time; a level that cannot be made raises the retry prompt, and
// Retry makes the levels again from the top (a fresh disk lacks them all).
// 0, or 12 when the user gave up (the run is stopped). For both modes.
int EnsureFolders(RunContext& run, const std::string& drive, const std::string& folder);

class SetWriter {
 public:
  SetWriter(RunContext& run, ListWriter& list) : run_(run), list_(list) {}

  // Gives a disk without any "*.id" file in folder the marker of the next
  // number, tells the user, lists the disk and advances the disk counter. A
  // disk that holds the marker this run wrote last is marked already; one
  // with any other "*.id" is not empty, and the retry prompt asks for an
  // empty one. 0; 13 when the user gave up there or the list line cannot be
  // written; 12 when a folder cannot be made on the disk put in.
  int WriteDiskMarker(const std::string& folder);
  // The file line of a file just written, for the disk in the drive; 0, or
  // 13 when it cannot be written or no disk of this run holds it.
  int AppendFileLine(const std::string& writtenPath);
  // Copies src to destination; a failed copy raises the retry prompt, and
  // Retry makes the folders and the marker on the disk now in the drive.
  // 0, 7 (given up), 12 or 13 (as above).
  int CopyWithRetry(const std::string& src, const std::string& destination,
                    const std::string& destinationRoot);
  // After a write failed (error: the system's reason, 0 when the room a
  // disk stands for is used up): the retry prompt, then the folders of path
  // and the marker on the disk now in the drive. 0 to try again,
  // else the result to give up with.
  int RetryOnFreshDisk(const std::string& path, RetryReason why, const std::string& destinationRoot,
                       int abandoned, int error);
  // Whether the disk in the drive has room for need bytes (a failed query
  // counts as too little).
  bool HasRoom(uint64_t need);

  RunContext& run() { return run_; }
  SpaceModel* space() { return run_.setup.policy.space; }
  ListWriter& list() { return list_; }

 private:
  RunContext& run_;
  ListWriter& list_;
  MarkerStamp lastMarker_;  // the marker this run wrote last
};
