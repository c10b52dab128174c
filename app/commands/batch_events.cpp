#include "app/commands/batch_events.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "codec/result_code.h"
#include "fileops/naming.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "runs/run_handler.h"
#include "text/cp932.h"

namespace {

// What a file line's result means, when no problem was told for it.
const char* Reason(int result) {
  switch (result) {
    case kDiskNotThere:
      return "missing: its disk was not given";
    case kSourceUnreadable:
      return "missing or unreadable";
    case kDamagedStream:
      return "damaged: the compressed data does not match its sizes";
    case kReadFailed:
      return "unreadable: reading failed";
    case kWriteFailed:
      return "could not be written";
    case kVersionMismatch:
      return "unknown format version";
    case kBadOriginalSize:
      return "damaged: its size is 0 or negative";
    case kAborted:
      return "not finished: a piece is missing or damaged, or the work was stopped";
    case kJoinOutputFailed:
      return "its pieces could not be joined";
    case kCopyAbandoned:
      return "could not be copied";
    case kNameRefused:
      return "refused: its name does not fit or is in the way";
    case kFolderFailed:
      return "its folder could not be made";
    default:
      return "failed";
  }
}

const char* RetryText(RetryReason why) {
  switch (why) {
    case RetryReason::kCopyFailed:
      return "cannot be copied there";
    case RetryReason::kSplitWriteFailed:
      return "cannot be written there";
    case RetryReason::kFolderFailed:
      return "the folder cannot be made";
    case RetryReason::kOutputUnwritable:
      return "cannot be written";
    case RetryReason::kForeignMarker:
      return "the disk holds another set's disk marker: give an empty folder";
  }
  return "failed";
}

// A failure that no retry and no next file can mend: the command stops at
// once with one message.
bool ForGood(int error) {
  return error == ENOSPC || error == EROFS || error == EACCES || error == EPERM ||
#ifdef EDQUOT
         error == EDQUOT ||
#endif
         error == EFBIG;
}

std::string SystemReason(int error) {
  return error ? std::string(": ") + std::strerror(error) : std::string();
}

}  // namespace

const char* TroubleText(Trouble what) {
  switch (what) {
    case Trouble::kNameTooLong:
      return "the name is too long for a path";
    case Trouble::kSameName:
      return "a file of that name is there already (a set starts on an empty disk)";
    case Trouble::kTempFailedPack:
      return "a temporary file cannot be written (is the temporary folder full?)";
    case Trouble::kTempFailedUnpack:
      return "the joined pieces cannot be read back from the temporary folder";
    case Trouble::kTooLarge:
      return "files of 2 GiB or more cannot be stored";
    case Trouble::kReadFailed:
      return "reading failed";
    case Trouble::kWriteFailed:
      return "writing failed";
    case Trouble::kChangedWhileRead:
      return "the file changed while it was read, twice";
    case Trouble::kDamaged:
      return "damaged: the compressed data does not match its sizes";
    case Trouble::kVersion:
      return "unknown format version";
    case Trouble::kBadSize:
      return "damaged: its size is 0 or negative";
    case Trouble::kSameAsInput:
      return "the output would replace the file being expanded";
    case Trouble::kUnsafeName:
      return "refused: the name would lead out of the destination";
    case Trouble::kLinkInTheWay:
      return "a link stands where a folder goes";
    case Trouble::kNoStorableName:
      return "the name cannot be stored (no Shift-JIS form, a control character or ':')";
    case Trouble::kFolderUnreadable:
      return "the folder cannot be read";
    case Trouble::kListWriteFailed:
      return "the list file cannot be written";
    case Trouble::kNoDisk:
      return "no disk marker for the file (the first disk was not empty)";
    case Trouble::kProgramUnreadable:
      return "the program cannot be read for the last disk";
    case Trouble::kSplitSourceMissing:
      return "the compressed file to cut into pieces is gone";
    case Trouble::kJoinOutputFailed:
      return "the joined pieces cannot be written to the temporary folder";
  }
  return "failed";
}

const char* FindingText(Finding::Kind kind) {
  switch (kind) {
    case Finding::kNoStorableName:
      return "the name cannot be stored (no Shift-JIS form, a control character or ':')";
    case Finding::kNameTooLong:
      return "the name would be too long on the disk set";
    case Finding::kTooLarge:
      return "files of 2 GiB or more cannot be stored";
    case Finding::kFolderUnreadable:
      return "the folder cannot be read";
    case Finding::kDoesNotFit:
      return "does not fit an empty disk of this size (a file or one of its pieces)";
    case Finding::kLastDiskTooSmall:
      return "the program and the list do not fit an empty disk of this size";
  }
  return "cannot be stored";
}

void BatchEvents::CannotBegin(const std::vector<Finding>& findings) {
  for (const Finding& f : findings) {
    ++errors;
    Note((f.subject.empty() ? std::string() : cp932::ShownLine(f.subject) + ": ") +
             FindingText(f.kind),
         true);
  }
  progress_.Erase();
  std::fputs("kelvod: nothing was written\n", stderr);
}

std::string BatchEvents::Shown(const std::string& path) const {
  return cp932::ShownHostLine(shownPath ? shownPath(path) : plat::DisplayPath(path));
}

void BatchEvents::Note(const std::string& text, bool error) {
  if (options_.quiet && !error) return;
  progress_.Erase();
  std::fprintf(stderr, "kelvod: %s%s\n", error ? "error: " : "warning: ", text.c_str());
}

bool BatchEvents::StopForGood(const std::string& path, int error) {
  if (!ForGood(error)) return false;
  if (fatal_.empty()) {
    fatal_ = Shown(path) + SystemReason(error);
    Note(fatal_, true);
    ++errors;
  }
  cancel_.Cancel();
  return true;
}

void BatchEvents::FileBegun(const std::string&, const std::string& name) {
  fileProblem_.clear();
  if (hasher) hasher->Finish();  // what came before belongs to no file
  file_ = cp932::ShownLine(name);
  progress_.BeginFile(cp932::ShownLine(name), 0);
}

void BatchEvents::DiskBegun(int32_t number) {
  progress_.SetDisk(number);
  if (!options_.quiet && !progress_.on()) {
    progress_.Erase();
    std::fprintf(stderr, "kelvod: disk %d begins\n", static_cast<int>(number));
  }
}

void BatchEvents::ProblemMet(const Problem& problem) {
  if (!fatal_.empty()) return;  // told once already
  if (StopForGood(problem.subject, problem.error)) return;
  std::string text = TroubleText(problem.what) + SystemReason(problem.error);
  if (!problem.subject.empty()) text = Shown(problem.subject) + ": " + text;
  Note(text, true);
  fileProblem_ = text;
  ++errors;
}

void BatchEvents::WarningsAtEnd(const RunWarnings& w) {
  auto tell = [&](const std::string& what, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      ++warnings;
      Note(cp932::ShownLine(name) + ": " + what, false);
    }
  };
  tell("0 bytes: an empty file cannot be stored, left out", w.emptyFiles);
  for (const NameChange& c : w.namesThatChange) {
    ++warnings;
    Note(cp932::ShownLine(c.from) + ": comes back as " + cp932::ShownLine(c.to) +
             (c.collides ? " (another file comes back under that name)" : ""),
         false);
  }
  tell("already compressed: copied as it is, never expanded", w.notExpanded);
  tell("a link to a folder: not followed, nothing of it stored", w.linksNotFollowed);
}

void BatchEvents::FileDone(const std::string& listed, int result, int32_t produced) {
  progress_.EndFile();
  if (hasher && result == kDone && produced > 0 && hashed) hashed(listed, hasher->Finish());
  const std::string told = fileProblem_;
  fileProblem_.clear();
  if (result == kDone && produced == 0) {
    ++warnings;
    Note(cp932::ShownLine(listed) + ": not a compressed file, nothing to expand", false);
  } else if (result == kOverwriteSkipped) {
    // One word for each file kept, however many lines (pieces) lead to it.
    std::string kept;
    OutputName("", listed, kept);
    if (kept_.insert(kept).second) {
      ++warnings;
      Note(cp932::ShownLine(kept.substr(kept[0] == '\\' ? 1 : 0)) +
               ": exists already, not overwritten (--overwrite=always overwrites)",
           false);
    }
  } else if (result != kDone && result != kPieceSkipped) {
    const bool tell = result == kDiskNotThere ? !options_.quiet : told.empty() && fatal_.empty();
    if (tell) Note(cp932::ShownLine(listed) + ": " + Reason(result), true);
    // A problem told for it counted as the file that failed.
    if (!told.empty() && errors) --errors;
  }
}

bool BatchEvents::DiskWanted(int32_t number, bool again) {
  if (!again && diskGiven && diskGiven(number)) return true;
  if (missing_.insert(number).second) {
    ++warnings;
    Note("disk " + std::to_string(number) + " is not among the disks given", false);
  }
  return false;
}

bool BatchEvents::FileWanted(const std::string& path, WantReason why) {
  // Nobody can put the right disk in: asking again would wait forever.
  if (!fatal_.empty() || !fileProblem_.empty()) return false;
  const std::string what = why == WantReason::kPieceUnreadable
                               ? "a piece of " + file_ + " is missing, damaged, or of another set"
                           : why == WantReason::kHeadUnreadable ? "cannot be read"
                                                                : "missing or unreadable";
  fileProblem_ = Shown(path) + ": " + what;
  Note(fileProblem_, true);
  ++errors;
  return false;
}

bool BatchEvents::RetryWanted(const std::string& path, RetryReason why, int error) {
  Pump();  // a termination request ends the run here too
  if (terminated_ || !fatal_.empty()) return false;
  if (StopForGood(path, error)) return false;
  if (changeDisk && changeDisk()) return true;
  fileProblem_ = Shown(path) + ": " + RetryText(why) + SystemReason(error);
  Note(fileProblem_, true);
  ++errors;
  return false;
}

OverwriteAnswer BatchEvents::OverwriteWanted(const std::string& path) {
  switch (options_.overwrite) {
    case Overwrite::kAlways:
      return OverwriteAnswer::kAll;
    case Overwrite::kNever:
      return OverwriteAnswer::kSkip;
    case Overwrite::kAsk:
      break;
  }
  progress_.Erase();
  for (;;) {
    std::fprintf(stderr,
                 "kelvod: %s exists: overwrite? [y]es, [a]ll, [n]o, [q]uit: ", Shown(path).c_str());
    std::fflush(stderr);
    std::string answer;
    if (plat::ReadConsoleLine(answer) != plat::ConsoleRead::kLine) return OverwriteAnswer::kSkip;
    if (answer == "y" || answer == "yes") return OverwriteAnswer::kOverwrite;
    if (answer == "a" || answer == "all") return OverwriteAnswer::kAll;
    if (answer == "n" || answer == "no" || answer.empty()) return OverwriteAnswer::kSkip;
    if (answer == "q" || answer == "quit") {
      cancel_.Cancel();
      return OverwriteAnswer::kAbort;
    }
  }
}

ProgressWindow BatchEvents::ResetProgress(uint32_t total) {
  progressTotal_ = total;
  return SetProgress(0);
}

ProgressWindow BatchEvents::SetProgress(uint32_t value) {
  progress_.Within(value, progressTotal_);
  // About a thousand reports a file are plenty for a line redrawn ten
  // times a second.
  const uint64_t step = std::max<uint64_t>(progressTotal_ / 1000, 1);
  return {value, step};
}

int BatchEvents::Pump() {
  if (plat::TerminationRequested() || plat::TakeInterrupt()) {
    // Stop as Abort does, and go on with nothing after it.
    terminated_ = true;
    cancel_.Cancel();
  }
  progress_.Tick();
  return 1 << 10;
}
