// The Run button: the common start of both modes (read and check the two
// folder fields, confirm, enter the busy state, reset the run state), then
// MakeRun or ExtractRun, and the common end. Owns the list file and the file
// operations of the runs.
#pragma once

#include <functional>
#include <string>

#include "app/dialogue/dialogue.h"
#include "codec/context.h"
#include "fileops/file_ops.h"
#include "runs/listfile.h"

// The outcome a file line of a disk that was not there gets.
inline constexpr int kDiskNotThere = -1;

// How a run goes on where a person would be asked; the batch commands set
// it, the window and the terminal keep the defaults.
struct RunPolicy {
  bool keepGoing = false;  // a file that fails (or a disk not there) does not end an extract run
  bool menuEntry = true;   // an extract run ends with the Start-menu entry
  bool testOnly = false;   // an extract run decodes every file and writes nothing
  // Told of every file line an extract run has handed on: its listed name,
  // the ResultCode (or kDiskNotThere) and the bytes it gave.
  std::function<void(const std::string&, int, int32_t)> fileDone;
};

class RunHandler {
 public:
  RunHandler(Dialogue& ui, CodecContext& codec);

  // The Run button: checks the two fields, asks for confirmation, then Run.
  void RunCommand();
  // The run itself with the folders of RunState: the common start (trailing
  // separators, busy state, flags), MakeRun or ExtractRun, the common end.
  void Run();
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
  RunPolicy policy;

 private:
  bool Count(int result, int32_t produced);
  void RecreateFolders(const std::string& folder, const std::string& relative);
  static bool HoldsASet(const std::string& folder);
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
