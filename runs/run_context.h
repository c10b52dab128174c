// One run: what is fixed for it, how far it has come, the events it reports
// to and the token that stops it. Every run-level operation takes it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/byte_io.h"
#include "codec/cancel.h"
#include "codec/context.h"
#include "codec/hooks.h"
#include "fileops/space_model.h"
#include "runs/events.h"

// Run modes.
enum RunModeValue : int32_t { ExtractMode = 0, MakeMode = 1 };

// The last answer given in the overwrite or the retry prompt.
inline constexpr int32_t kChoiceSkip = 0;       // also Abort in the retry prompt
inline constexpr int32_t kChoiceOverwrite = 1;  // also Retry
inline constexpr int32_t kChoiceOverwriteAll = -1;

// How a run goes on where a person would be asked; the batch commands set
// it, the window and the terminal keep the defaults.
struct RunPolicy {
  bool keepGoing = false;        // a failed file (or a disk not there) does not end an extract
  bool menuEntry = true;         // an extract ends with the Start-menu entry
  bool testOnly = false;         // an extract decodes every file and writes nothing
  int jobs = 1;                  // threads that encode in a make run
  SpaceModel* space = nullptr;   // the room of a disk that a folder stands for
  ByteSink* testSink = nullptr;  // a test decodes into it (to hash) instead of into nothing
};

// What is fixed for one run.
struct RunSetup {
  int32_t mode = ExtractMode;
  std::string title;
  std::string source;       // the work folder, or the folder the disks are read in; ends in '\'
  std::string destination;  // the disk set's folder, or the game folder; ends in '\'
  // The folder of the disk set when it is not the destination itself (the
  // batch commands' disk folders): the walk leaves it out.
  std::string setFolder;
  std::string listTempPath;  // make: the list being written
  std::string listText;      // extract: the list as read (LF line ends)
  RunPolicy policy;
};

// How far a run has come.
struct RunProgress {
  // 1 while the run goes on; 0 as soon as it is to stop.
  int32_t active = 0;
  int32_t overwriteChoice = kChoiceSkip;
  // Make: the number the next fresh disk receives. Extract: the disk wanted.
  int32_t diskId = 1;
  // The folder or file the walk or the extract is at, relative.
  std::string relativePath;
  RunWarnings warnings;
  RunTally tally;
};

class RunContext {
 public:
  RunContext(RunSetup& setup, RunProgress& progress, RunEvents& events, CancelToken& cancel,
             CodecContext& codec)
      : setup(setup), progress(progress), events(events), cancel(cancel), codec(codec) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // The run goes on: not stopped, not cancelled. A cancel stops it.
  bool Going() {
    if (cancel.Cancelled()) progress.active = 0;
    return progress.active == 1;
  }
  // Tells the problem and ends the run; returns result.
  int Stop(Trouble what, const std::string& subject, int result, int error = 0);
  void Tell(Trouble what, const std::string& subject, int error = 0);
  // The retry prompt; remembers the answer (Retry 1, Abort 0) as the
  // overwrite prompt's last answer. In a make run the disk in the drive is
  // written out first, since it may be changed now.
  bool AskRetry(const std::string& path, RetryReason why, int error = 0);
  // The overwrite prompt: the remembered answer afterwards (1, -1 or 0);
  // its Abort ends the run and answers 0.
  int32_t AskOverwrite(const std::string& path);

  // After each step of a long loop: lets the outside look now and then.
  void Pump() {
    if (--pumpLeft_ <= 0) PumpNow();
  }
  void PumpNow();
  void ResetProgress(uint32_t total) { window_ = events.ResetProgress(total); }
  // For a long copy: lets the outside look between its blocks; false once
  // the run is to stop.
  static bool CopyTick(void* self) {
    auto* run = static_cast<RunContext*>(self);
    run->PumpNow();
    return run->Going();
  }
  void SetProgress(uint32_t value) {
    if (static_cast<uint32_t>(value - window_.low) < window_.span) return;
    window_ = events.SetProgress(value);
  }

  RunSetup& setup;
  RunProgress& progress;
  RunEvents& events;
  CancelToken& cancel;
  CodecContext& codec;

 private:
  friend class RunCoderHooks;
  int pumpLeft_ = 0;
  ProgressWindow window_;
};

// The coders' progress, pump and stop flag, taken from a run for one
// coding operation.
class RunCoderHooks final : public CoderHooks {
 public:
  explicit RunCoderHooks(RunContext& run) : run_(run) {
    pumpLeft_ = run.pumpLeft_;
    Sync();
  }
  ~RunCoderHooks() override { run_.pumpLeft_ = pumpLeft_; }
  RunCoderHooks(const RunCoderHooks&) = delete;
  RunCoderHooks& operator=(const RunCoderHooks&) = delete;
  void ResetProgress(uint32_t range) override {
    run_.ResetProgress(range);
    Sync();
  }

 private:
  void ProgressChanged(uint32_t value) override {
    run_.SetProgress(value);
    Sync();
  }
  void Pump() override {
    run_.PumpNow();
    pumpLeft_ = run_.pumpLeft_;
    Sync();
  }
  void Sync() {
    progressLow_ = run_.window_.low;
    progressSpan_ = run_.window_.span;
    stopped_ = !run_.Going();
  }
  RunContext& run_;
};

// Opens a file for reading, asking for the disk that holds it until it
// opens; nullptr when the user gives up (the run is then stopped).
std::FILE* OpenAskingForDisk(RunContext& run, const std::string& path);
// 0, or 15 when both files are there and the source is not newer.
int SkipIfNotNewer(RunContext& run, const std::string& source, const std::string& destination);
