#include "runs/run_handler.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "codec/byte_io.h"
#include "codec/context.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "codec/result_code.h"
#include "fileops/encode_ahead.h"
#include "fileops/files.h"
#include "platform/platform.h"
#include "runs/expander.h"
#include "runs/list.h"
#include "runs/packer.h"
#include "runs/set_writer.h"
#include "runs/shortcut.h"
#include "runs/walk.h"
#include "text/paths.h"

namespace {

// Room the last disk must have beyond the tool and the list.
constexpr uint64_t kFreeSpaceSlack = 1024;

bool AbortEnd(RunContext& run) {
  // The disks made so far may be taken out now.
  if (run.setup.mode == MakeMode) plat::SyncVolume(run.setup.destination);
  run.events.Finished(false);
  return false;
}

bool SuccessEnd(RunContext& run) {
  run.events.Finished(true);
  return true;
}

// The files copied as they are onto the last disk: the program, the program
// for the other system when one lies beside it (so that the set expands on
// both), and the list.
struct LastDiskFiles {
  std::string program, companion;
  int64_t programLength = -1, companionLength = 0;
};

// The free-space loop of the last disk: a fresh disk inserted here gets its
// marker and the next number, outside the list's count. False when the run
// was stopped there.
bool RoomOnLastDisk(RunContext& run, SetWriter& set, uint64_t need, const std::string& program) {
  PathParts destination;
  SplitPath(run.setup.destination, destination);
  while (!set.HasRoom(need)) {
    if (!run.AskRetry(program, RetryReason::kCopyFailed, set.space() ? 0 : ENOSPC)) {
      run.progress.active = 0;
      break;
    }
    if (EnsureFolders(run, destination.drive, destination.folder) != kDone) {
      run.progress.active = 0;
      break;
    }
    (void)set.WriteDiskMarker(run.setup.destination);
    if (!run.Going()) break;
  }
  return run.Going();
}

// The largest file of a source on a disk: the whole compressed file, or a
// head file's largest piece; a source stored as it is keeps its length.
// Encodes it (into nothing) only when its size alone cannot tell.
uint64_t LargestOnDisk(RunContext& run, const PlannedFile& file, CodecContext& scratch) {
  std::FILE* in = plat::OpenFile(file.source, "rb");
  if (!in) return 0;  // the walk asks for its disk and tells
  LzsHeader h;
  const bool signature = ReadHeader(in, h) && HasSignatureNoCase(h);
  if (CopiedAsIs(h, signature, file.length, false)) {
    std::fclose(in);
    return static_cast<uint64_t>(file.length);
  }
  plat::SeekTo(in, 0);
  FileSource from(in);
  NullSink nothing;
  int r;
  {
    RunCoderHooks hooks(run);
    r = EncodeStream(scratch, from, nothing, file.relative, hooks);
  }
  std::fclose(in);
  if (r != kDone) return 0;  // the walk meets the same problem and tells
  return static_cast<uint64_t>(kHeaderSize) +
         std::min<uint64_t>(static_cast<uint64_t>(scratch.header.packed_size), kPieceStreamSize);
}

// Files, or pieces, that no empty disk of the size the set is made for can
// hold; and the program with the list. Only where the disks' size is known.
void CheckFits(RunContext& run, WorkFolderCheck& check, const std::string& program,
               uint64_t programBytes) {
  SpaceModel* space = run.setup.policy.space;
  if (!space) return;
  CodecContextPtr scratch;
  ListSizeBound list(run.setup.title);
  for (const PlannedFile& f : check.files) {
    if (!run.Going()) return;
    // The most a file can take: its code stream is at most 9/8 of it.
    const uint64_t length = static_cast<uint64_t>(std::max<int64_t>(f.length, 0));
    const uint64_t most =
        kHeaderSize + std::min<uint64_t>(length + length / 8 + 1, kPieceStreamSize);
    list.Add(f.relative, f.length);
    if (space->FitsAnEmptyDisk(f.relative + "_lzs", most)) continue;
    if (!scratch) scratch = NewCodecContext();
    if (!space->FitsAnEmptyDisk(f.relative + "_lzs", LargestOnDisk(run, f, *scratch.get())))
      check.fatal.push_back({Finding::kDoesNotFit, f.relative});
  }
  if (!space->FitsAnEmptyDisk(program, programBytes + list.Bytes() + kFreeSpaceSlack))
    check.fatal.push_back({Finding::kLastDiskTooSmall, ""});
}

// The look at the whole work folder before anything is written: every name
// the set cannot hold, every file no disk can take, at once. False when the
// run is stopped for what it found (told).
bool LookBeforeWriting(RunContext& run) {
  const RunSetup& s = run.setup;
  WorkFolderCheck check = CheckWorkFolder(
      s.source, s.setFolder.empty() ? s.destination : s.setFolder, s.destination, run.cancel);
  PathParts self;
  const std::string program = plat::ProgramFile();
  SplitPath(program, self);
  const int64_t programBytes = LengthOf(program) + LengthOf(plat::CompanionProgram());
  CheckFits(run, check, self.name + self.ext,
            static_cast<uint64_t>(std::max<int64_t>(programBytes, 0)));
  if (!run.Going()) return false;
  if (!check.fatal.empty()) {
    run.events.CannotBegin(check.fatal);
    run.progress.active = 0;
    return false;
  }
  run.events.Planned(check.files.size(), check.bytes);
  return true;
}

bool MakeRun(RunContext& run, CodecContext& codec) {
  RunSetup& s = run.setup;
  RunProgress& p = run.progress;
  ListWriter list(s.listTempPath, s.destination);
  SetWriter set(run, list);
  Packer packer(set);
  if (!LookBeforeWriting(run)) return run.cancel.Cancelled() ? AbortEnd(run) : false;
  if (!list.Start(s.title)) {
    run.Stop(Trouble::kListWriteFailed, "", kNameRefused, errno);
    return AbortEnd(run);
  }
  {
    // The next files are encoded ahead while the walk places each one; all
    // of that ends with the walk, at once when it was aborted.
    std::unique_ptr<EncodeAhead> ahead;
    if (s.policy.jobs > 1)
      ahead = std::make_unique<EncodeAhead>(
          s.policy.jobs - 1, PlanWalk(s.source, s.setFolder.empty() ? s.destination : s.setFolder),
          TailOf(codec));
    packer.ahead = ahead.get();
    WalkFolder(packer, run, s.source, s.destination, p.relativePath);
    packer.ahead = nullptr;
  }
  if (!run.Going()) return AbortEnd(run);

  const int64_t listLength = list.Finish(p.diskId);
  if (listLength < 0) {
    run.Stop(Trouble::kListWriteFailed, "", kNameRefused, errno);
    return AbortEnd(run);
  }
  LastDiskFiles last;
  last.program = plat::ProgramFile();
  run.events.FolderBegun(last.program);
  last.programLength = LengthOf(last.program);
  if (last.programLength < 0) {
    run.Stop(Trouble::kProgramUnreadable, last.program, kSourceUnreadable, errno);
    return AbortEnd(run);
  }
  last.companion = plat::CompanionProgram();
  if (!last.companion.empty()) {
    last.companionLength = LengthOf(last.companion);
    if (last.companionLength < 0) {
      last.companion.clear();
      last.companionLength = 0;
    }
  }
  const uint64_t need = static_cast<uint64_t>(listLength) +
                        static_cast<uint64_t>(last.programLength) +
                        static_cast<uint64_t>(last.companionLength) + kFreeSpaceSlack;
  if (!RoomOnLastDisk(run, set, need, last.program)) return AbortEnd(run);

  const PackOptions asItIs{true, true, false};
  PathParts self;
  SplitPath(last.program, self);
  for (const std::string* file : {&last.program, &last.companion}) {
    if (file->empty()) continue;
    PathParts parts;
    SplitPath(*file, parts);
    p.relativePath = MakePath("", "", parts.name, parts.ext);
    (void)packer.PackFile(*file, s.destination, &p.relativePath, asItIs);
  }
  p.relativePath = MakePath("", "", self.name, ".lst");
  (void)packer.PackFile(s.listTempPath, s.destination, &p.relativePath, asItIs);
  if (!run.Going()) return AbortEnd(run);
  // One sync for the last disk before the run is reported done (and one
  // before each disk-change prompt): not one per file.
  if (!plat::SyncVolume(s.destination)) {
    run.Stop(Trouble::kWriteFailed, s.destination, kWriteFailed, errno);
    return AbortEnd(run);
  }
  run.events.WarningsAtEnd(p.warnings);
  return SuccessEnd(run);
}

// A file line's outcome, for the summary. A run that goes on after a
// failed file (the batch commands) is taken up again.
bool Count(RunContext& run, int result, int32_t produced) {
  run.events.FileDone(run.progress.relativePath, result, produced);
  RunTally& t = run.progress.tally;
  switch (result) {
    case kDone:
      if (produced > 0) {
        ++t.files;
        t.bytes += static_cast<uint64_t>(produced);
      }
      break;
    case kPieceSkipped:
      break;
    case kOverwriteSkipped:
      ++t.skipped;
      break;
    default:
      ++t.failed;
      break;
  }
  if (run.Going()) return true;
  if (!run.setup.policy.keepGoing || run.cancel.Cancelled() || result == kDone ||
      result == kPieceSkipped)
    return false;
  run.progress.active = 1;
  return true;
}

// The files of one disk section: each read from the disk it is listed on,
// the pieces of a cut file from the disks their lines name.
void ExpandSection(RunContext& run, Expander& expander, DiskAccess& access, const ParsedList& list,
                   int32_t disk, bool there) {
  RunProgress& p = run.progress;
  for (const std::string& name : list.sections[static_cast<std::size_t>(disk - 1)]) {
    p.relativePath = name;
    if (!there) {
      ++p.tally.failed;
      run.events.FileDone(name, kDiskNotThere, 0);
      continue;
    }
    PathParts parts;
    SplitPath(name, parts);
    const PieceFinder pieces = [&](int32_t k, const std::string&) {
      const std::string piece = PieceName(parts, k);
      const int32_t on = list.DiskOf(piece);
      return access.FileOf(on ? on : disk, piece);
    };
    const std::string source = access.FileOf(disk, name);
    int32_t produced = 0;
    const int r = run.setup.policy.testOnly ? expander.TestFile(source, name, &produced, pieces)
                                            : expander.UnpackFile(source, run.setup.destination,
                                                                  name, false, &produced, pieces);
    access.Release();
    if (!Count(run, r, produced)) break;
  }
}

bool ExtractRun(RunContext& run, DiskAccess& access, const std::string& destinationShown) {
  RunSetup& s = run.setup;
  RunProgress& p = run.progress;
  const ParsedList list = ParseList(s.listText);
  Expander expander(run);
  for (p.diskId = 1;
       p.diskId < list.diskCount && static_cast<std::size_t>(p.diskId) <= list.sections.size();
       ++p.diskId) {
    if (!run.Going()) break;
    bool there = expander.WaitForDisk(access) == 1;
    if (!there) {
      // A disk that is not there: the batch commands count its files as
      // failed and go on with the next one.
      if (!s.policy.keepGoing || run.cancel.Cancelled()) return AbortEnd(run);
      p.active = 1;
    }
    ExpandSection(run, expander, access, list, p.diskId, there);
    if (run.Going() && there && !s.policy.testOnly) expander.RecreateFolders(access, p.diskId);
  }
  if (!run.Going()) return AbortEnd(run);
  if (s.policy.menuEntry && !s.policy.testOnly)
    MakeStartMenuShortcut(run, destinationShown, s.title);
  return SuccessEnd(run);
}

}  // namespace

bool SetFolderIsTheWorkFolder(const std::string& work, const std::string& setFolder) {
  std::string a = work, b = setFolder;
  AddTrailingSeparator(a);
  AddTrailingSeparator(b);
  return IsSameFolder(a, b);
}

bool RunHandler::Run(RunSetup& setup, RunProgress& progress, RunEvents& events, CancelToken& cancel,
                     DiskAccess* access) {
  std::string destinationShown = setup.destination;
  RemoveTrailingChar(destinationShown, '\\');
  AddTrailingSeparator(setup.source);
  AddTrailingSeparator(setup.destination);
  progress = RunProgress();
  progress.active = 1;
  RunContext run(setup, progress, events, cancel, codec_);
  bool normally;
  if (setup.mode == MakeMode) {
    normally = MakeRun(run, codec_);
  } else {
    DriveAccess drive(setup.source);
    normally = ExtractRun(run, access ? *access : drive, destinationShown);
  }
  progress.active = 0;
  return normally;
}
