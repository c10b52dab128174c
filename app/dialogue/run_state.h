// The state of one program instance that the runs share: the run flags, the
// disk counter, the folders and the title. The entry owns one; tests make
// fresh ones.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/dialogue/ids.h"

// What a make run stored other than as it came: shown at its end, counted
// by the batch commands.
struct RunWarnings {
  std::vector<std::string> emptyFiles;        // 0 bytes: the format cannot hold them
  std::vector<std::string> namesThatChange;   // "name -> name it comes back as"
  std::vector<std::string> notExpanded;       // already compressed: copied, never expanded
  std::vector<std::string> linksNotFollowed;  // links to folders: never walked
  std::set<std::string> comeBackNames;        // folded names the set gives back, for collisions
  std::size_t Count() const {
    return emptyFiles.size() + namesThatChange.size() + notExpanded.size() +
           linksNotFollowed.size();
  }
};

// What the last run did, file by file, for a summary.
struct RunTally {
  uint64_t files = 0;    // files stored (make) or expanded whole (extract)
  uint64_t bytes = 0;    // their original bytes
  uint64_t skipped = 0;  // existing files not overwritten
  uint64_t failed = 0;   // files that failed or lay on a disk that was not there
};

struct RunState {
  // 1 while a run is in progress; 0 when idle and as soon as the run is to stop.
  int32_t WorkActive = 0;
  // The last answer given in either modal prompt: 1, 0 or -1.
  int32_t OverwriteChoice = 0;
  // Make run: the number the next fresh disk receives. Extract run: the
  // number of the disk wanted.
  int32_t DiskId = 1;
  // The current folder relative to the work folder during the walk; the
  // relative name of each final copy; in an extract run the relative path
  // of the current file line.
  std::string RelativePath;

  int32_t RunMode = ExtractMode;
  std::string StartDir;           // current folder at start-up
  std::string Title;              // the game's title
  std::string SourceFolder;       // mirrors the source field
  std::string DestinationFolder;  // mirrors the destination field
  // The folder that holds the disk set when it is not the destination
  // folder itself (the batch commands' disk folders): the walk leaves it out.
  std::string SetFolder;
  std::string ListTempPath;  // temporary list file of a make run
  std::string TempFolder;    // system temporary folder at start-up
  bool ListBufferPresent = false;
  std::string ListBuffer;  // extract mode: the whole list text (LF line ends)

  RunWarnings Warnings;  // of the last make run
  RunTally Tally;
};
