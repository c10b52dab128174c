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
  return plat::FreeBytes(state_.DestinationFolder, free) && free >= need;
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

  AddTrailingSeparator(s.SourceFolder);
  AddTrailingSeparator(s.DestinationFolder);
  ui_.EnterBusyState();
  s.WorkActive = 1;
  s.OverwriteChoice = 0;
  s.DiskId = 1;
  s.RelativePath.clear();
  s.Warnings = RunWarnings();

  if (s.RunMode == MakeMode)
    MakeRun();
  else
    ExtractRun(destinationShown);

  s.WorkActive = 0;
  ui_.EnterIdleState();
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
          jobs_ - 1, PlanWalk(s.SourceFolder, s.DestinationFolder), TailOf(ops_.codec));
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

  // The last disk must take the tool and the list; a fresh disk inserted
  // here gets its marker and the next number, outside the list's count.
  const uint64_t need =
      static_cast<uint64_t>(listLength) + static_cast<uint64_t>(programLength) + kFreeSpaceSlack;
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

  for (s.DiskId = 1; s.DiskId < diskCount; ++s.DiskId) {
    if (s.WorkActive != 1) break;
    ops_.WaitForDisk(s.SourceFolder);
    if (s.WorkActive == 0) return AbortEnd();
    pos = ReadListLine(s.ListBuffer, pos, line);  // the disk line opening the section
    for (;;) {
      std::size_t next = ReadListLine(s.ListBuffer, pos, line);
      if (line.empty() || line[0] == 'I') break;  // next section, or the end of the list
      pos = next;
      std::size_t colon = line.find(':');
      if (colon == std::string::npos) continue;  // not a file line
      s.RelativePath = line.substr(colon + 1);
      ops_.UnpackFile(s.SourceFolder + s.RelativePath, s.DestinationFolder, s.RelativePath, 0,
                      nullptr);
      if (s.WorkActive != 1) break;
    }
  }
  if (s.WorkActive == 0) return AbortEnd();
  MakeStartMenuShortcut(ops_, destinationShown, s.Title);
  SuccessEnd();
}
