// --make: the make run into numbered disk folders (or floppy images) of a
// folder. The disk in the drive is a folder of its own; a full one is
// renamed to its number and a fresh one takes its place.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/commands/batch_commands.h"
#include "app/commands/batch_events.h"
#include "app/commands/given_set.h"
#include "app/commands/image_tools.h"
#include "app/commands/image_writer.h"
#include "app/commands/make_plan.h"
#include "app/commands/volume.h"
#include "app/exit_status.h"
#include "codec/hooks.h"
#include "fileops/files.h"
#include "fileops/naming.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "runs/list.h"
#include "runs/run_handler.h"
#include "runs/walk.h"
#include "text/cp932.h"
#include "text/paths.h"

namespace {

// The title of a make: --title, or the project file of the current folder
// (as the window takes it), or one in the work folder.
bool FindTitle(const BatchOptions& o, const std::string& work, std::string& title,
               std::string& error) {
  if (o.titleGiven) {
    if (!plat::FromHostPath(o.title, title)) {
      error = cp932::ShownHostLine(o.title) + ": the title cannot be used";
      return false;
    }
  } else {
    for (const std::string& pattern : {std::string("*.qzm"), work + "*.qzm"}) {
      plat::FindEntry e;
      if (plat::FindHandle* h = plat::FindFirst(pattern, e)) {
        plat::FindClose(h);
        std::size_t dot = cp932::FindLast(e.name, '.');
        title = e.name.substr(0, dot);
        break;
      }
    }
    if (title.empty()) {
      error = "no title: give --title, or run where the project file (*.qzm) is";
      return false;
    }
  }
  if (!IsSafeTitle(title)) {
    error = cp932::ShownLine(title) + ": the title cannot name a folder";
    return false;
  }
  return true;
}

// The number of the disk a folder holds, from its marker; 0 when none.
int DiskNumberIn(const std::string& folder) {
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(folder + "disk*.id", e);
  int number = 0;
  if (h) {
    do number = disks::MarkerNumber(e.name);
    while (number == 0 && plat::FindNext(h, e));
    plat::FindClose(h);
  }
  return number;
}

// True when the folder already holds disks of a set (disk1/, disk3.img, ...).
bool HoldsDisks(const std::string& dest) {
  plat::FindEntry e;
  plat::FindHandle* h = plat::FindFirst(dest + "disk*", e);
  bool found = false;
  if (h) {
    do {
      const std::string stem = e.name.substr(0, cp932::Find(e.name, '.'));
      found = stem.size() > 4 && stem.find_first_not_of("0123456789", 4) == std::string::npos;
    } while (!found && plat::FindNext(h, e));
    plat::FindClose(h);
  }
  return found;
}

// Asked by the image writer after each tool run.
bool StopRequested() { return plat::TerminationRequested() || plat::InterruptPending(); }

// Makes the folder the disks are made in, level by level.
void MakeLevels(const std::string& dest) {
  PathParts parts;
  SplitPath(dest, parts);
  std::string levels = parts.drive;
  for (std::size_t i = 0; i < parts.folder.size(); i = cp932::Next(parts.folder, i)) {
    levels += parts.folder.substr(i, cp932::Next(parts.folder, i) - i);
    if (parts.folder[i] == '\\') plat::MakeFolder(levels);
  }
}

// The disk in the drive and the disks put away.
struct Drive {
  std::string dest, folder;  // the set's folder; the drive's, ending in '\'
  std::vector<int> made;
  // Renames the disk in the drive to its number; false when it has none.
  bool PutAway() {
    const int number = DiskNumberIn(folder);
    if (number == 0) return false;
    std::string full = folder;
    RemoveTrailingChar(full, '\\');
    if (!plat::Rename(full, dest + "disk" + std::to_string(number))) return false;
    made.push_back(number);
    return true;
  }
};

// --dry-run: the plan, and nothing written.
int DryRun(const BatchOptions& o, CodecContext& codec, const std::string& work,
           const std::string& dest, const std::string& title, uint64_t volumeBytes,
           const FloppyFormat* floppy) {
  CancelToken cancel;
  const std::string root = dest + "disk1\\";
  const WorkFolderCheck check = CheckWorkFolder(work, dest, root, cancel);
  ProgressLine progress(o.quiet);
  BatchEvents events(o, progress, cancel);
  if (!check.fatal.empty()) {
    events.CannotBegin(check.fatal);
    return kExitFailed;
  }
  // Without a size, one disk that takes everything.
  VolumeModel model(root, volumeBytes ? volumeBytes : uint64_t{1} << 62,
                    volumeBytes ? floppy : nullptr);
  ListSizeBound list(title);
  for (const PlannedFile& f : check.files) list.Add(f.relative, f.length);
  const uint64_t need =
      static_cast<uint64_t>(std::max<int64_t>(0, LengthOf(plat::ProgramFile()))) +
      static_cast<uint64_t>(std::max<int64_t>(0, LengthOf(plat::CompanionProgram()))) +
      list.Bytes() + 1024;
  QuietCoderHooks hooks;
  const PlanOutcome plan = PlanMake(
      check, model, need, codec, hooks, [&] { model.Clear(); }, root);
  if (!plan.fatal.empty()) {
    events.CannotBegin(plan.fatal);
    return kExitFailed;
  }
  std::fputs(plan.text.c_str(), stdout);
  std::fflush(stdout);
  events.WarningsAtEnd(plan.warnings);
  Summary(o, check.files.size() - plan.warnings.emptyFiles.size(), plan.original, plan.disks,
          events.warnings, 0);
  return kExitSuccess;
}

// What a --make command line asks for, once checked.
struct MakeRequest {
  std::string work, dest, title;  // folders ending in '\'
  std::string volumeSize;         // as given ("" for one disk)
  uint64_t volumeBytes = 0;
  const FloppyFormat* floppy = nullptr;
  images::ImageFormat format = images::ImageFormat::kRaw;
  std::string extension;  // of the images
};

// Everything that can be seen before a disk is written: -1 when the
// command line makes sense, else its exit status (told).
int CheckRequest(const BatchOptions& o, MakeRequest& r) {
  if (o.operands.size() != 1) return Usage("--make takes one work folder");
  if (!o.toGiven) return Usage("--make needs --to DEST");
  r.volumeSize = o.volumeSize;
  if (r.volumeSize.empty() && o.images) r.volumeSize = "1440k";
  if (!r.volumeSize.empty() && !ParseVolumeSize(r.volumeSize, r.volumeBytes, r.floppy))
    return Usage(cp932::ShownHostLine(r.volumeSize) + ": not a volume size (" + FloppySizeList() +
                 " or a byte count)");
  if (o.images && !r.floppy)
    return Usage("--images needs a floppy size (" + FloppySizeList() + ")");
  std::string error;
  if (o.images && !disks::ImageToolsAvailable(error)) return Usage(error);

  if (!plat::FromHostPath(o.operands[0], r.work) || !plat::FromHostPath(o.to, r.dest))
    return Usage("the folder names cannot be used");
  AddTrailingSeparator(r.work);
  AddTrailingSeparator(r.dest);
  // The walk leaves the set's folder out when it lies inside the work
  // folder; the work folder itself cannot hold the set.
  if (SetFolderIsTheWorkFolder(r.work, r.dest))
    return Usage(cp932::ShownHostLine(o.to) + ": the set cannot be made into the work folder");
  if (!FindTitle(o, r.work, r.title, error)) return Usage(error);
  {
    plat::FindEntry e;
    plat::FindHandle* h = plat::FindFirst(r.work + "*.*", e);
    if (!h) return Usage(cp932::ShownHostLine(o.operands[0]) + ": no folder to make a set of");
    plat::FindClose(h);
  }
  // The set goes into numbered disks of an empty place.
  if (HoldsDisks(r.dest))
    return Usage(cp932::ShownHostLine(o.to) +
                 " holds disks of a set already: give an empty folder");
  if (!o.imageFormat.empty() && !o.images) return Usage("--image-format goes with --images");
  if (o.images && !disks::ImageFormatFor(o.imageFormat, *r.floppy, r.format, r.extension, error))
    return Usage(error);
  if (o.images) {
    // What a floppy cannot hold is found before any disk is written: "_lzs"
    // and a piece number go onto every name.
    const auto faults = disks::NamesAFatVolumeCannotHold(r.work, 4 + 4);
    for (const auto& fault : faults)
      Complain(cp932::ShownLine(fault.relative) + ": " + fault.reason);
    if (!faults.empty()) return Usage("names a floppy cannot hold: nothing was written");
  }
  return -1;
}

// Each disk folder made becomes an image, and goes only when its image
// read back as the folder is. False (told) at the first that fails.
bool WriteImages(const MakeRequest& r, const std::vector<int>& made, BatchEvents& events) {
  for (int number : made) {
    const std::string folder = r.dest + "disk" + std::to_string(number);
    disks::ImageOrder order{folder, folder + "." + r.extension, r.floppy, r.format, &StopRequested};
    std::string error;
    if (!disks::WriteFloppyImage(order, error)) {
      events.Note(error, true);
      return false;
    }
    plat::RemoveTree(folder);
  }
  return true;
}

}  // namespace

int RunMakeCommand(const BatchOptions& o, CodecContext& codec) {
  MakeRequest r;
  if (int status = CheckRequest(o, r); status >= 0) return status;
  if (o.dryRun) return DryRun(o, codec, r.work, r.dest, r.title, r.volumeBytes, r.floppy);
  const std::string& dest = r.dest;
  MakeLevels(dest);
  Drive drive{dest, {}, {}};
  for (int n = 1; n < 100 && drive.folder.empty(); ++n) {
    std::string candidate = dest + ".kelvod-drive" + (n > 1 ? std::to_string(n) : "");
    if (plat::MakeFolder(candidate)) drive.folder = candidate + "\\";
  }
  if (drive.folder.empty()) {
    Complain(cp932::ShownHostLine(o.to) + ": cannot make a folder there");
    return kExitFailed;
  }

  ProgressLine progress(o.quiet);
  CancelToken cancel;
  BatchEvents events(o, progress, cancel);
  VolumeModel model(drive.folder, r.volumeBytes, r.floppy);
  bool tooLarge = false;
  events.changeDisk = [&]() {
    if (r.volumeSize.empty() || model.Fresh()) {
      // Not even an empty volume takes it (or there is only one disk).
      tooLarge = !r.volumeSize.empty();
      return false;
    }
    if (!drive.PutAway() || !plat::MakeFolder(drive.folder)) return false;
    model.Clear();
    return true;
  };
  events.shownPath = [&](const std::string& path) {
    // The disk in the drive is shown as the disk it becomes.
    if (path.compare(0, drive.folder.size(), drive.folder) == 0)
      return plat::DisplayPath(dest) + "disk" +
             std::to_string(static_cast<int>(drive.made.size()) + 1) + "/" +
             plat::DisplayPath(path.substr(drive.folder.size()));
    return plat::DisplayPath(path);
  };

  RunSetup setup;
  setup.mode = MakeMode;
  setup.source = r.work;
  setup.destination = drive.folder;
  setup.setFolder = dest;
  setup.title = r.title;
  setup.policy.jobs = o.jobs;
  if (!r.volumeSize.empty()) setup.policy.space = &model;
  setup.listTempPath = plat::MakeTempFile(plat::TempFolder(), "lzs");
  if (setup.listTempPath.empty()) {
    Complain("cannot make a temporary file");
    plat::RemoveTree(drive.folder);
    return kExitFailed;
  }
  RunProgress done;
  RunHandler runs(codec);
  const bool finished = runs.Run(setup, done, events, cancel);
  progress.Erase();
  plat::RemoveFile(setup.listTempPath);

  bool failed = !finished;
  // The disk in the drive at the end keeps its number; one that never got
  // a marker holds nothing of the set.
  if (DiskNumberIn(drive.folder) == 0) {
    plat::RemoveTree(drive.folder);
  } else if (!drive.PutAway()) {
    events.Note(plat::DisplayPath(drive.folder) + ": cannot be renamed to its disk number", true);
    failed = true;
  }
  if (tooLarge)
    events.Note("a file does not fit an empty volume of " + cp932::ShownHostLine(r.volumeSize),
                true);
  if (events.terminated()) events.Note("stopped", true);
  if (finished && o.images && !WriteImages(r, drive.made, events)) failed = true;
  Summary(o, done.tally.files, done.tally.bytes, drive.made.size(), finished ? events.warnings : 0,
          failed ? 1 : 0);
  return failed ? kExitFailed : kExitSuccess;
}
