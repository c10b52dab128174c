// --test and --extract: the extract run over the disks given, each file read
// from the disk its list section names.
#include <cstdio>
#include <map>
#include <string>

#include "app/commands/batch_commands.h"
#include "app/commands/batch_events.h"
#include "app/commands/given_disks.h"
#include "app/commands/salvage.h"
#include "app/exit_status.h"
#include "digest/digest.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "runs/run_handler.h"
#include "text/cp932.h"

namespace {

// The hashes of a SET's image files, each named as it was given.
void PrintImageHashes(const GivenDisks& given) {
  for (const auto& [shown, hashes] : ImageHashes(given))
    std::printf("%s %s %s  %s\n", hashes.crc32.c_str(), hashes.md5.c_str(), hashes.sha1.c_str(),
                shown.c_str());
}

int Expand(const BatchOptions& o, CodecContext& codec, bool test) {
  if (!test && !o.toGiven) return Usage("--extract needs --to DEST");
  if (!test && o.hashes) return Usage("--hashes goes with --test and --list --json");
  if (o.hashes && !ContentHasher::Available())
    return Usage("hashes are not available in this build");
  if (o.operands.empty()) return Usage("give the disks of the set (folders or images)");
  std::string destination;
  if (!test && !plat::FromHostPath(o.to, destination))
    return Usage(o.to + ": the name cannot be used");

  GivenDisks given;
  RunSetup setup;
  SetRead read;
  if (int status = ReadGivenSet(o, given, setup.listText, read); status >= 0) return status;
  setup.destination = destination;
  setup.policy.testOnly = test;
  setup.policy.menuEntry = o.menuEntry && !o.salvage;  // no menu entry for what was salvaged
  std::map<std::string, ContentHashes> hashes;
  const int status = ExpandSet(o, codec, given, setup, read, o.hashes ? &hashes : nullptr, true);
  if (o.hashes) {
    // Each expanded file, as it comes back, then each image given.
    for (const auto& [listed, h] : hashes) {
      std::string output;
      OutputName("", listed, output);
      std::printf("%s %s %s  %s\n", h.crc32.c_str(), h.md5.c_str(), h.sha1.c_str(),
                  cp932::ShownLine(output.substr(output[0] == '\\' ? 1 : 0)).c_str());
    }
    PrintImageHashes(given);
    std::fflush(stdout);
  }
  return status;
}

}  // namespace

int ReadGivenSet(const BatchOptions& o, GivenDisks& given, std::string& listText, SetRead& read) {
  std::string error;
  if (!given.Resolve(o.operands, error)) {
    if (!given.ReadFailed()) return Usage(error);
    Complain(error);
    return kExitFailed;
  }
  read.notes = given.Notes();
  if (o.salvage || (o.command == "--list" && !given.set().ListDisk())) {
    // The list made again from the files' headers: asked for, or one disk
    // of a set listed alone.
    if (!o.salvage)
      Complain(
          "note: no kelvod.lst among the disks given: the files are listed from their "
          "headers; the set needs its other disks too (the list lies on its last disk)");
    ParsedList own;
    const bool haveList = ReadOwnList(given, own);
    std::string title;
    if (!SalvageTitle(haveList ? &own : nullptr, o.title, o.titleGiven, o.operands[0], title,
                      error))
      return Usage(error);
    Salvaged salvaged = SalvageList(given, title, haveList ? &own : nullptr);
    read.missing = salvaged.missing;
    read.notes.insert(read.notes.end(), salvaged.notes.begin(), salvaged.notes.end());
    if (o.salvage && !haveList)
      read.notes.push_back(
          "no readable kelvod.lst among the disks given: a file that lay whole "
          "on a disk not given cannot be named");
    listText = salvaged.listText;
    read.list = ParseList(listText);
    return -1;
  }
  if (int status = given.ReadList(listText, read.list); status >= 0) {
    Complain("(--salvage makes the list again from the files' headers)");
    return status;
  }
  return -1;
}

int ExpandSet(const BatchOptions& o, CodecContext& codec, GivenDisks& given, RunSetup& setup,
              const SetRead& read, std::map<std::string, ContentHashes>* hashes, bool summary) {
  uint64_t total = 0;
  for (const auto& section : read.list.sections) total += section.size();
  ProgressLine progress(o.quiet);
  progress.SetTotals(total, 0);
  CancelToken cancel;
  BatchEvents events(o, progress, cancel);
  events.shownPath = [&](const std::string& path) { return given.Shown(path); };
  events.diskGiven = [&](int32_t number) { return given.HasDisk(number); };
  for (const std::string& line : read.missing) events.Note(line, true);
  for (const std::string& note : read.notes) {
    ++events.warnings;
    events.Note(note, false);
  }
  ContentHasher hasher;
  if (hashes) {
    setup.policy.testOnly = true;
    setup.policy.testSink = &hasher;
    events.hasher = &hasher;
    events.hashed = [&](const std::string& listed, const ContentHashes& h) {
      (*hashes)[listed] = h;
    };
  }
  setup.mode = ExtractMode;
  setup.title = read.list.title;
  setup.policy.keepGoing = true;
  RunProgress done;
  RunHandler runs(codec);
  const bool finished = runs.Run(setup, done, events, cancel, &given);
  progress.Erase();

  const uint64_t errors =
      done.tally.failed + events.errors + read.missing.size() + (finished ? 0 : 1);
  if (events.terminated()) events.Note("stopped", true);
  uint64_t disks = 0;
  for (int32_t number : given.Numbers())
    if (number < read.list.diskCount) ++disks;
  if (summary) Summary(o, done.tally.files, done.tally.bytes, disks, events.warnings, errors);
  return errors ? kExitFailed : kExitSuccess;
}

int RunTestCommand(const BatchOptions& o, CodecContext& codec) { return Expand(o, codec, true); }

int RunExtractCommand(const BatchOptions& o, CodecContext& codec) {
  return Expand(o, codec, false);
}
