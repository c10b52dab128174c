#include "runs/run_handler.h"

#include <cstdio>

#include "app/frontend.h"
#include "app/progress.h"
#include "app/prompts.h"
#include "app/resources/messages.h"
#include "app/state.h"
#include "codec/context.h"
#include "fileops/markers.h"
#include "fileops/pack.h"
#include "fileops/paths.h"
#include "fileops/unpack.h"
#include "platform/platform.h"
#include "runs/listfile.h"
#include "runs/shortcut.h"
#include "runs/walk.h"
#include "text/cp932.h"
#include "text/format.h"

namespace {

void AbortEnd() { ShowMessage(msg::kMsgAborted, msg::kCaptionConfirm, 0x30); }

void SuccessEnd() {
  ShowMessage(msg::kMsgDone, msg::kCaptionConfirm, 0x30);
  CloseMainWindow();
}

void AddTrailingSeparator(std::string& folder) {
  if (!cp932::EndsWithChar(folder, '\\')) folder += '\\';
}

// Free space on the disk in the drive, counted in 64 bits; a failed query
// counts as too little.
bool HasRoom(uint64_t need) {
  uint64_t free = 0;
  return plat::FreeBytes(DestinationFolder, free) && free >= need;
}

}  // namespace

void RunCommand() {
  FrontEnd& fe = CurrentFrontEnd();
  SourceFolder = fe.GetControlText(kSourceField);
  if (SourceFolder.empty()) {
    ShowMessage(msg::kMsgNoInputFolderEntered, msg::kCaptionWarning, 0x30);
    return;
  }
  DestinationFolder = fe.GetControlText(kDestinationField);
  if (DestinationFolder.empty()) {
    ShowMessage(msg::kMsgEnterOutputFolder, msg::kCaptionWarning, 0x30);
    return;
  }
  if (!IsFolder(SourceFolder)) {
    ShowMessage(msg::kMsgInputFolderMissing, msg::kCaptionWarning, 0x30);
    return;
  }
  std::string sourceShown = SourceFolder, destinationShown = DestinationFolder;
  RemoveTrailingChar(sourceShown, '\\');
  RemoveTrailingChar(destinationShown, '\\');
  std::string question =
      Format(RunMode == MakeMode ? msg::kMsgConfirmMake : msg::kMsgConfirmExtract,
             sourceShown.c_str(), destinationShown.c_str());
  if (ShowMessage(question, msg::kCaptionConfirm, 0x31) != 1) return;

  AddTrailingSeparator(SourceFolder);
  AddTrailingSeparator(DestinationFolder);
  EnterBusyState();
  WorkActive = 1;
  OverwriteChoice = 0;
  Codec.DiskId = 1;
  RelativePath.clear();

  if (RunMode == MakeMode)
    MakeRun();
  else
    ExtractRun(destinationShown);

  WorkActive = 0;
  EnterIdleState();
}

void MakeRun() {
  if (!StartListFile(Title)) {
    ReportListWriteFailure();
    return AbortEnd();
  }
  WalkFolder(SourceFolder, DestinationFolder, RelativePath);
  if (WorkActive == 0) return AbortEnd();

  int64_t listLength = FinishListFile(Codec.DiskId);
  if (listLength < 0) {
    ReportListWriteFailure();
    return AbortEnd();
  }
  const std::string program = plat::ProgramFile();
  ShowSourceLine(program);
  int64_t programLength = -1;
  if (std::FILE* f = plat::OpenFile(program, "rb")) {
    programLength = plat::FileLength(f);
    std::fclose(f);
  }
  if (programLength < 0) {
    ShowMessage(Format(msg::kMsgProgramUnreadable, program.c_str()), msg::kCaptionStop, 0x10);
    StopRun();
    return AbortEnd();
  }

  // The last disk must take the tool and the list; a fresh disk inserted
  // here gets its marker and the next number, outside the list's count.
  const uint64_t need =
      static_cast<uint64_t>(listLength) + static_cast<uint64_t>(programLength) + 1024;
  PathParts destination;
  SplitPath(DestinationFolder, destination);
  while (!HasRoom(need)) {
    if (PromptRetry(program, msg::kMsgCopyFailed) == 0) {
      StopRun();
      break;
    }
    if (EnsureFolders(destination.drive, destination.folder) != 0) {
      StopRun();
      break;
    }
    WriteDiskMarker(DestinationFolder);
    if (WorkActive != 1) break;
  }
  if (WorkActive != 1) return AbortEnd();

  PathParts self;
  SplitPath(program, self);
  RelativePath = MakePath("", "", self.name, self.ext);
  PackFile(program, DestinationFolder, &RelativePath, 1, 1, 0, nullptr);
  RelativePath = MakePath("", "", self.name, ".lst");
  PackFile(ListTempPath, DestinationFolder, &RelativePath, 1, 1, 0, nullptr);
  if (WorkActive == 0) return AbortEnd();
  SuccessEnd();
}

void ExtractRun(const std::string& destinationShown) {
  std::string line;
  std::size_t pos = ReadListLine(ListBuffer, 0, line);
  int diskCount = 0;
  // A count line that is no number is taken as a set without disks.
  if (std::sscanf(line.c_str(), "%8d", &diskCount) != 1) diskCount = 0;
  pos = ReadListLine(ListBuffer, pos, line);  // the title, taken at start-up

  for (Codec.DiskId = 1; Codec.DiskId < diskCount; ++Codec.DiskId) {
    if (WorkActive != 1) break;
    WaitForDisk(SourceFolder);
    if (WorkActive == 0) return AbortEnd();
    pos = ReadListLine(ListBuffer, pos, line);  // the disk line opening the section
    for (;;) {
      std::size_t next = ReadListLine(ListBuffer, pos, line);
      if (line.empty() || line[0] == 'I') break;  // next section, or the end of the list
      pos = next;
      std::size_t colon = line.find(':');
      if (colon == std::string::npos) continue;  // not a file line
      RelativePath = line.substr(colon + 1);
      UnpackFile(SourceFolder + RelativePath, DestinationFolder, RelativePath, 0, nullptr);
      if (WorkActive != 1) break;
    }
  }
  if (WorkActive == 0) return AbortEnd();
  MakeStartMenuShortcut(destinationShown, Title);
  SuccessEnd();
}
