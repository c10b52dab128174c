// The runs' events as the batch commands take them: no window and no
// prompt per disk. Questions are answered by policy (the disks are all
// given at once; an existing file by --overwrite; a full disk by the next
// one of the volume size), and what happens is told in English, one line
// per problem, each path as the user gave it, with the system's reason.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "app/commands/batch_options.h"
#include "app/commands/progress_line.h"
#include "codec/cancel.h"
#include "digest/digest.h"
#include "runs/events.h"

class BatchEvents final : public RunEvents {
 public:
  BatchEvents(const BatchOptions& options, ProgressLine& progress, CancelToken& cancel)
      : options_(options), progress_(progress), cancel_(cancel) {}

  // How a path (inner form) is shown: as the user gave the set or the
  // folder it lies in. By default the path in the host's form.
  std::function<std::string(const std::string&)> shownPath;
  // Make: called when a disk is full; true when a fresh one is in the drive.
  std::function<bool()> changeDisk;
  // Extract: the disks given.
  std::function<bool(int32_t)> diskGiven;
  // A test that hashes: the sink the run decodes into, restarted for each
  // file, and told each file's hashes.
  ContentHasher* hasher = nullptr;
  std::function<void(const std::string& listed, const ContentHashes&)> hashed;

  void FolderBegun(const std::string&) override {}
  void FileBegun(const std::string& path, const std::string& name) override;
  void DiskBegun(int32_t number) override;
  void Planned(uint64_t files, uint64_t bytes) override { progress_.SetTotals(files, bytes); }
  void CannotBegin(const std::vector<Finding>& findings) override;
  void ProblemMet(const Problem& problem) override;
  void WarningsAtEnd(const RunWarnings& warnings) override;
  void FileDone(const std::string& listed, int result, int32_t produced) override;
  void Finished(bool normally) override { finished_ = normally; }
  void Trace(const char*) override {}
  bool DiskWanted(int32_t number, bool again) override;
  bool FileWanted(const std::string& path, WantReason why) override;
  bool RetryWanted(const std::string& path, RetryReason why, int error) override;
  OverwriteAnswer OverwriteWanted(const std::string& path) override;
  ProgressWindow ResetProgress(uint32_t total) override;
  ProgressWindow SetProgress(uint32_t value) override;
  int Pump() override;

  // "kelvod: warning: ..." or "kelvod: error: ..." (errors also when quiet).
  void Note(const std::string& text, bool error);
  bool finished() const { return finished_; }
  bool terminated() const { return terminated_; }
  // A problem that cannot get better (a full or read-only destination)
  // stopped the command.
  bool stoppedForGood() const { return !fatal_.empty(); }
  uint64_t warnings = 0;
  uint64_t errors = 0;  // problems told that were not counted as a file that failed

 private:
  std::string Shown(const std::string& path) const;
  bool StopForGood(const std::string& path, int error);
  const BatchOptions& options_;
  ProgressLine& progress_;
  CancelToken& cancel_;
  bool finished_ = false;
  bool terminated_ = false;
  std::string fatal_;           // the one message of a problem that stopped it for good
  std::string fileProblem_;     // told for the file line at work: not told again at its end
  std::string file_;            // the file at work, as the user knows it
  std::set<std::string> kept_;  // existing files left as they were
  std::set<int32_t> missing_;   // disks told not given
  uint32_t progressTotal_ = 0;
};

// The English line of a problem (without the path).
const char* TroubleText(Trouble what);
// The English reason of a finding.
const char* FindingText(Finding::Kind kind);
