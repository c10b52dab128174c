#include "runs/run_handler.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "app/dialogue/list_line.h"
#include "app/dialogue/resources/messages.h"
#include "codec/encoder.h"
#include "codec/result_code.h"
#include "fileops/encode_ahead.h"
#include "fileops/naming.h"
#include "fileops/paths.h"
#include "platform/platform.h"
#include "runs/shortcut.h"
#include "runs/walk.h"
#include "text/format.h"
#include "text/paths.h"

namespace {

// Room the last disk must have beyond the tool and the list.
constexpr uint64_t kFreeSpaceSlack = 1024;
// Names listed in one warning box; the rest are counted.
constexpr std::size_t kNamesShown = 20;

std::string NameList(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) {
    if (i) out += '\n';
    out += names[i];
  }
  if (names.size() > kNamesShown)
    out += "\n" + Format(msg::kMsgMoreNames, static_cast<int>(names.size() - kNamesShown));
  return out;
}

}  // namespace

RunHandler::RunHandler(Dialogue& ui, CodecContext& codec)
    : ui_(ui), state_(ui.state()), list_(ui.state()), ops_(ui, codec, list_) {}

void RunHandler::AbortEnd() {
  // The disks made so far may be taken out now.
  if (state_.RunMode == MakeMode) plat::SyncVolume(state_.DestinationFolder);
  ui_.ShowMessage(msg::kMsgAborted, msg::kCaptionConfirm, kExclamationOk);
}

void RunHandler::SuccessEnd() {
  ui_.ShowMessage(msg::kMsgDone, msg::kCaptionConfirm, kExclamationOk);
  ui_.CloseMainWindow();
}

// What the set holds other than as it came from the work folder, one box
// for each kind, before the run reports success.
void RunHandler::ShowWarnings() {
  const RunWarnings& w = state_.Warnings;
  const std::pair<const char*, const std::vector<std::string>*> kinds[] = {
      {msg::kMsgEmptyFilesLeftOut, &w.emptyFiles},
      {msg::kMsgNamesChange, &w.namesThatChange},
      {msg::kMsgNotExpanded, &w.notExpanded},
      {msg::kMsgLinksNotFollowed, &w.linksNotFollowed},
  };
  for (const auto& [text, names] : kinds)
    if (!names->empty())
      ui_.ShowMessage(Format(text, NameList(*names).c_str()), msg::kCaptionWarning, kExclamationOk);
}

void RunHandler::ReportListWriteFailure() {
  ops_.StopRunWith(msg::kMsgListWriteFailed, kNameRefused);
}

// Free space on the disk in the drive, counted in 64 bits; a failed query
// counts as too little.
bool RunHandler::HasRoom(uint64_t need) {
  uint64_t free = 0;
  if (ops_.space) return ops_.space->FreeBytes() >= need;
  return plat::FreeBytes(state_.DestinationFolder, free) && free >= need;
}

// A file line's outcome, for the batch commands' summary. A run that goes
// on after a failed file (the batch commands) takes the flag back.
bool RunHandler::Count(int result, int32_t produced) {
  if (policy.fileDone) policy.fileDone(state_.RelativePath, result, produced);
  RunTally& t = state_.Tally;
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
  if (state_.WorkActive == 1) return true;
  if (!policy.keepGoing || result == kDone || result == kPieceSkipped) return false;
  state_.WorkActive = 1;
  return true;
}

// The folders on the disk in the drive (no file line names them when they
// hold no file), made again in the game folder: the game may write into an
// empty one. Each is checked like a listed name, and no link is followed on
// either side.
void RunHandler::RecreateFolders(const std::string& folder, const std::string& relative) {
  plat::FindEntry entry;
  plat::FindHandle* h = plat::FindFirst(folder + relative + "*.*", entry);
  if (!h) return;
  std::vector<std::string> subfolders;
  do {
    if (!entry.isFolder || !entry.convertible || entry.name == "." || entry.name == "..") continue;
    subfolders.push_back(relative + entry.name);
  } while (plat::FindNext(h, entry));
  plat::FindClose(h);
  for (const std::string& sub : subfolders) {
    if (state_.WorkActive != 1) return;
    const std::string onDisk = folder + sub;
    // Another set beside this one (its markers or its list) is not ours.
    if (plat::IsSymbolicLink(onDisk) || !IsSafeRelativeName(sub) || HoldsASet(onDisk)) continue;
    std::string target;
    if (!OutputName(state_.DestinationFolder, sub + "\\", target)) continue;
    if (ops_.RefuseLinksBelow(state_.DestinationFolder, target + "x") != kDone) return;
    PathParts parts;
    SplitPath(target, parts);
    if (ops_.EnsureFolders(parts.drive, parts.folder) != kDone) return;
    RecreateFolders(folder, sub + "\\");
  }
}

void RunHandler::RunCommand() {
  FrontEnd& fe = ui_.frontEnd();
  RunState& s = state_;
  s.SourceFolder = fe.GetControlText(kSourceField);
  if (s.SourceFolder.empty()) {
    ui_.ShowMessage(msg::kMsgNoInputFolderEntered, msg::kCaptionWarning, kExclamationOk);
    return;
  }
  s.DestinationFolder = fe.GetControlText(kDestinationField);
  if (s.DestinationFolder.empty()) {
    ui_.ShowMessage(msg::kMsgEnterOutputFolder, msg::kCaptionWarning, kExclamationOk);
    return;
  }
  if (!IsFolder(s.SourceFolder)) {
    ui_.ShowMessage(msg::kMsgInputFolderMissing, msg::kCaptionWarning, kExclamationOk);
    return;
  }
  if (s.RunMode == MakeMode) {
    // The disk set would be made inside the folder it is made of, and the
    // walk would skip the whole of it.
    std::string source = s.SourceFolder, destination = s.DestinationFolder;
    AddTrailingSeparator(source);
    AddTrailingSeparator(destination);
    if (IsSameFolder(source, destination)) {
      ui_.ShowMessage(msg::kMsgDestinationIsSource, msg::kCaptionWarning, kExclamationOk);
      return;
    }
  }
  std::string sourceShown = s.SourceFolder, destinationShown = s.DestinationFolder;
  RemoveTrailingChar(sourceShown, '\\');
  RemoveTrailingChar(destinationShown, '\\');
  std::string question =
      Format(s.RunMode == MakeMode ? msg::kMsgConfirmMake : msg::kMsgConfirmExtract,
             sourceShown.c_str(), destinationShown.c_str());
  if (ui_.ShowMessage(question, msg::kCaptionConfirm, kExclamationOkCancel) != kIdOk) return;
  Run();
}

void RunHandler::Run() {
  RunState& s = state_;
  std::string destinationShown = s.DestinationFolder;
  RemoveTrailingChar(destinationShown, '\\');
  AddTrailingSeparator(s.SourceFolder);
  AddTrailingSeparator(s.DestinationFolder);
  ui_.EnterBusyState();
  s.WorkActive = 1;
  s.OverwriteChoice = 0;
  s.DiskId = 1;
  s.RelativePath.clear();
  s.Warnings = RunWarnings();
  s.Tally = RunTally();

  if (s.RunMode == MakeMode)
    MakeRun();
  else
    ExtractRun(destinationShown);

  s.WorkActive = 0;
  ui_.EnterIdleState();
}

bool RunHandler::HoldsASet(const std::string& folder) {
  plat::FindEntry entry;
  for (const char* pattern : {"\\*.id", "\\kelvod.lst"}) {
    if (plat::FindHandle* h = plat::FindFirst(folder + pattern, entry)) {
      plat::FindClose(h);
      return true;
    }
  }
  return false;
}

void RunHandler::MakeRun() {
  RunState& s = state_;
  if (!list_.StartListFile(s.Title)) {
    ReportListWriteFailure();
    return AbortEnd();
  }
  {
    // The next files are encoded ahead while the walk places each one; all
    // of that ends with the walk, at once when it was aborted.
    std::unique_ptr<EncodeAhead> ahead;
    if (jobs_ > 1)
      ahead = std::make_unique<EncodeAhead>(
          jobs_ - 1,
          PlanWalk(s.SourceFolder, s.SetFolder.empty() ? s.DestinationFolder : s.SetFolder),
          TailOf(ops_.codec));
    ops_.ahead = ahead.get();
    WalkFolder(ops_, s.SourceFolder, s.DestinationFolder, s.RelativePath);
    ops_.ahead = nullptr;
  }
  if (s.WorkActive == 0) return AbortEnd();

  int64_t listLength = list_.FinishListFile(s.DiskId);
  if (listLength < 0) {
    ReportListWriteFailure();
    return AbortEnd();
  }
  const std::string program = plat::ProgramFile();
  ui_.ShowSourceLine(program);
  int64_t programLength = -1;
  if (std::FILE* f = plat::OpenFile(program, "rb")) {
    programLength = plat::FileLength(f);
    std::fclose(f);
  }
  if (programLength < 0) {
    ops_.StopRunWith(Format(msg::kMsgProgramUnreadable, program.c_str()), kSourceUnreadable);
    return AbortEnd();
  }

  // The program for the other system, when one lies beside this one, goes
  // onto the last disk too, so that the set expands on both.
  std::string companion = plat::CompanionProgram();
  int64_t companionLength = 0;
  if (!companion.empty()) {
    companionLength = -1;
    if (std::FILE* f = plat::OpenFile(companion, "rb")) {
      companionLength = plat::FileLength(f);
      std::fclose(f);
    }
    if (companionLength < 0) {
      companion.clear();
      companionLength = 0;
    }
  }

  // The last disk must take the tool and the list; a fresh disk inserted
  // here gets its marker and the next number, outside the list's count.
  const uint64_t need = static_cast<uint64_t>(listLength) + static_cast<uint64_t>(programLength) +
                        static_cast<uint64_t>(companionLength) + kFreeSpaceSlack;
  PathParts destination;
  SplitPath(s.DestinationFolder, destination);
  while (!HasRoom(need)) {
    if (ui_.PromptRetry(program, msg::kMsgCopyFailed) == kChoiceSkip) {
      ui_.StopRun();
      break;
    }
    if (ops_.EnsureFolders(destination.drive, destination.folder) != kDone) {
      ui_.StopRun();
      break;
    }
    ops_.WriteDiskMarker(s.DestinationFolder);
    if (s.WorkActive != 1) break;
  }
  if (s.WorkActive != 1) return AbortEnd();

  PathParts self;
  SplitPath(program, self);
  s.RelativePath = MakePath("", "", self.name, self.ext);
  ops_.PackFile(program, s.DestinationFolder, &s.RelativePath, 1, 1, 0, nullptr);
  if (!companion.empty()) {
    PathParts other;
    SplitPath(companion, other);
    s.RelativePath = MakePath("", "", other.name, other.ext);
    ops_.PackFile(companion, s.DestinationFolder, &s.RelativePath, 1, 1, 0, nullptr);
  }
  s.RelativePath = MakePath("", "", self.name, ".lst");
  ops_.PackFile(s.ListTempPath, s.DestinationFolder, &s.RelativePath, 1, 1, 0, nullptr);
  if (s.WorkActive == 0) return AbortEnd();
  // One sync for the last disk before the run is reported done (and one
  // before each disk-change prompt, in the dialogue): not one per file.
  if (!plat::SyncVolume(s.DestinationFolder)) {
    ops_.StopRunWith(Format(msg::kMsgWriteFailed, s.DestinationFolder.c_str()), kWriteFailed);
    return AbortEnd();
  }
  ShowWarnings();
  SuccessEnd();
}

void RunHandler::ExtractRun(const std::string& destinationShown) {
  RunState& s = state_;
  std::string line;
  std::size_t pos = ReadListLine(s.ListBuffer, 0, line);
  int diskCount = 0;
  // A count line that is no number is taken as a set without disks.
  if (std::sscanf(line.c_str(), "%8d", &diskCount) != 1) diskCount = 0;
  pos = ReadListLine(s.ListBuffer, pos, line);  // the title, taken at start-up

  // A disk past the end of the list has no files: a count line larger than
  // the sections (a damaged list) is not followed through a hundred million
  // disks.
  for (s.DiskId = 1; s.DiskId < diskCount && pos < s.ListBuffer.size(); ++s.DiskId) {
    if (s.WorkActive != 1) break;
    ops_.WaitForDisk(s.SourceFolder);
    bool skip = false;
    if (s.WorkActive == 0) {
      // A disk that is not there: the batch commands count its files as
      // failed and go on with the next one.
      if (!policy.keepGoing) return AbortEnd();
      s.WorkActive = 1;
      skip = true;
    }
    pos = ReadListLine(s.ListBuffer, pos, line);  // the disk line opening the section
    for (;;) {
      std::size_t next = ReadListLine(s.ListBuffer, pos, line);
      if (line.empty() || line[0] == 'I') break;  // next section, or the end of the list
      pos = next;
      std::size_t colon = line.find(':');
      if (colon == std::string::npos) continue;  // not a file line
      s.RelativePath = line.substr(colon + 1);
      if (skip) {
        ++s.Tally.failed;
        if (policy.fileDone) policy.fileDone(s.RelativePath, kDiskNotThere, 0);
        continue;
      }
      int32_t produced = 0;
      int r = policy.testOnly
                  ? ops_.TestFile(s.SourceFolder + s.RelativePath, s.RelativePath, &produced)
                  : ops_.UnpackFile(s.SourceFolder + s.RelativePath, s.DestinationFolder,
                                    s.RelativePath, 0, &produced);
      if (!Count(r, produced)) break;
    }
    if (s.WorkActive == 1 && !skip && !policy.testOnly) RecreateFolders(s.SourceFolder, "");
  }
  if (s.WorkActive == 0) return AbortEnd();
  if (policy.menuEntry && !policy.testOnly) MakeStartMenuShortcut(ops_, destinationShown, s.Title);
  SuccessEnd();
}
