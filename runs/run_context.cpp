#include "runs/run_context.h"

#include <algorithm>
#include <cerrno>

#include "codec/result_code.h"
#include "platform/platform.h"

int RunContext::Stop(Trouble what, const std::string& subject, int result, int error) {
  events.ProblemMet({what, subject, error});
  progress.active = 0;
  PumpNow();
  return result;
}

void RunContext::Tell(Trouble what, const std::string& subject, int error) {
  events.ProblemMet({what, subject, error});
}

bool RunContext::AskRetry(const std::string& path, RetryReason why, int error) {
  // In a make run the retry prompt is where the user changes disks: what
  // was written to the disk in the drive must be on it before it comes out.
  // A disk whose data did not reach it must not go out as if it had.
  if (setup.mode == MakeMode && Going() && !setup.destination.empty() &&
      !plat::SyncVolume(setup.destination)) {
    Stop(Trouble::kWriteFailed, setup.destination, 0, errno);
    progress.overwriteChoice = kChoiceSkip;
    return false;
  }
  const bool retry = events.RetryWanted(path, why, error);
  progress.overwriteChoice = retry ? kChoiceOverwrite : kChoiceSkip;
  return retry;
}

int32_t RunContext::AskOverwrite(const std::string& path) {
  switch (events.OverwriteWanted(path)) {
    case OverwriteAnswer::kOverwrite:
      progress.overwriteChoice = kChoiceOverwrite;
      break;
    case OverwriteAnswer::kAll:
      progress.overwriteChoice = kChoiceOverwriteAll;
      break;
    case OverwriteAnswer::kSkip:
      progress.overwriteChoice = kChoiceSkip;
      break;
    case OverwriteAnswer::kAbort:
      // The remembered answer stays (it was 0 when the prompt opened).
      progress.active = 0;
      break;
  }
  return progress.overwriteChoice;
}

void RunContext::PumpNow() {
  pumpLeft_ = std::max(events.Pump(), 1);
  Going();
}

std::FILE* OpenAskingForDisk(RunContext& run, const std::string& path) {
  for (;;) {
    if (std::FILE* f = plat::OpenFile(path, "rb")) return f;
    if (!run.events.FileWanted(path, WantReason::kSourceUnreadable)) {
      run.progress.active = 0;
      run.PumpNow();
      return nullptr;
    }
  }
}

int SkipIfNotNewer(RunContext& run, const std::string& source, const std::string& destination) {
  uint64_t sourceTime = 0, destinationTime = 0;
  if (!plat::LastWriteTime(source, sourceTime) ||
      !plat::LastWriteTime(destination, destinationTime))
    return kDone;
  if (sourceTime > destinationTime) return kDone;
  run.events.Trace(" /d_skip!");
  return kNotNewer;
}
