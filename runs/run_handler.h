// The runs: a make run turns a work folder into a disk set, an extract run
// a disk set back into a game folder. Each reports to its events, stops when
// its token is cancelled, and says at its end whether it ended normally.
#pragma once

#include <string>

#include "codec/context.h"
#include "runs/events.h"
#include "runs/run_context.h"

// The outcome a file line gets whose disk was not there.
inline constexpr int kDiskNotThere = -1;

class RunHandler {
 public:
  explicit RunHandler(CodecContext& codec) : codec_(codec) {}

  // Runs setup: both folders get their trailing '\', progress starts
  // afresh, then the make or the extract run. access: where an extract
  // reads its disks (none: the one folder setup.source, disk after disk).
  // True when the run ended normally (the success message told).
  bool Run(RunSetup& setup, RunProgress& progress, RunEvents& events, CancelToken& cancel,
           DiskAccess* access = nullptr);

 private:
  CodecContext& codec_;
};

// True when a set made from work into setFolder would be made into the
// work folder itself (the walk could not leave it out). Every make run,
// whatever starts it, is refused then.
bool SetFolderIsTheWorkFolder(const std::string& work, const std::string& setFolder);
