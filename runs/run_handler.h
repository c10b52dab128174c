// The Run button: the common start of both modes (read and check the two
// folder fields, confirm, enter the busy state, reset the run state), then
// MakeRun or ExtractRun, and the common end. Owns the list file and the file
// operations of the runs.
#pragma once

#include <string>

#include "app/dialogue/dialogue.h"
#include "codec/context.h"
#include "fileops/file_ops.h"
#include "runs/listfile.h"

class RunHandler {
 public:
  RunHandler(Dialogue& ui, CodecContext& codec);

  void RunCommand();
  // The two branches, run after the common start. destinationShown is the
  // destination folder without its trailing '\'. Both end with the success
  // message and the window closed, or with the abort message.
  void MakeRun();
  void ExtractRun(const std::string& destinationShown);

  // Threads that encode in a make run: 1 encodes every file on the main
  // thread; more encode the next files ahead (fileops/encode_ahead.h).
  void SetJobs(int jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
  int jobs() const { return jobs_; }

  FileOps& ops() { return ops_; }
  ListFile& list() { return list_; }

 private:
  void AbortEnd();
  void SuccessEnd();
  void ReportListWriteFailure();
  void ShowWarnings();
  bool HasRoom(uint64_t need);

  Dialogue& ui_;
  RunState& state_;
  ListFile list_;
  FileOps ops_;
  int jobs_ = 1;
};
