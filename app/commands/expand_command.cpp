// --test and --extract: the extract run over the disks given, each file read
// from the disk its list section names.
#include <string>

#include "app/commands/batch_commands.h"
#include "app/commands/batch_events.h"
#include "app/commands/given_disks.h"
#include "app/exit_status.h"
#include "platform/platform.h"
#include "runs/run_handler.h"

namespace {

int Expand(const BatchOptions& o, CodecContext& codec, bool test) {
  if (!test && !o.toGiven) return Usage("--extract needs --to DEST");
  if (o.operands.empty()) return Usage("give the disks of the set (folders or images)");
  std::string destination;
  if (!test && !plat::FromHostPath(o.to, destination))
    return Usage(o.to + ": the name cannot be used");

  GivenDisks given;
  std::string error;
  if (!given.Resolve(o.operands, error)) {
    if (!given.ReadFailed()) return Usage(error);
    Complain(error);
    return kExitFailed;
  }
  RunSetup setup;
  ParsedList list;
  if (int status = given.ReadList(setup.listText, list); status >= 0) return status;

  uint64_t total = 0;
  for (const auto& section : list.sections) total += section.size();
  ProgressLine progress(o.quiet);
  progress.SetTotals(total, 0);
  CancelToken cancel;
  BatchEvents events(o, progress, cancel);
  events.shownPath = [&](const std::string& path) { return given.Shown(path); };
  events.diskGiven = [&](int32_t number) { return given.HasDisk(number); };
  for (const std::string& note : given.Notes()) {
    ++events.warnings;
    events.Note(note, false);
  }

  setup.mode = ExtractMode;
  setup.title = list.title;
  setup.destination = destination;
  setup.policy.keepGoing = true;
  setup.policy.menuEntry = o.menuEntry;
  setup.policy.testOnly = test;
  RunProgress done;
  RunHandler runs(codec);
  const bool finished = runs.Run(setup, done, events, cancel, &given);
  progress.Erase();

  const uint64_t errors = done.tally.failed + events.errors + (finished ? 0 : 1);
  if (events.terminated()) events.Note("stopped", true);
  uint64_t disks = 0;
  for (int32_t number : given.Numbers())
    if (number < list.diskCount) ++disks;
  Summary(o, done.tally.files, done.tally.bytes, disks, events.warnings, errors);
  return errors ? kExitFailed : kExitSuccess;
}

}  // namespace

int RunTestCommand(const BatchOptions& o, CodecContext& codec) { return Expand(o, codec, true); }

int RunExtractCommand(const BatchOptions& o, CodecContext& codec) {
  return Expand(o, codec, false);
}
