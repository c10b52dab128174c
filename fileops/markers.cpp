// Disk identity markers "disk%d.id": a fresh disk gets the next number in a
// make run; an extract run waits for the disk with a given number.
#include <cstdio>

#include "app/dialogue/resources/messages.h"
#include "codec/result_code.h"
#include "fileops/file_ops.h"
#include "platform/platform.h"
#include "text/format.h"
#include "text/paths.h"

namespace {

std::string MarkerPath(const std::string& base, int32_t diskId) {
  return Format("%s\\disk%d.id", base.c_str(), static_cast<int>(diskId));
}

}  // namespace

int FileOps::WriteDiskMarker(const std::string& folder) {
  std::string base = folder;
  RemoveTrailingChar(base, '\\');
  // The marker written last still there: the usual case, in one look and
  // without reading the folder.
  if (!lastMarkerPath_.empty() && lastMarkerPath_ == MarkerPath(base, state.DiskId - 1) &&
      IsOwnMarker(lastMarkerPath_))
    return kDone;

  // A disk with the marker this run wrote last is the disk in the drive and
  // is marked. Any other "*.id" (another set's, or an earlier run's that was
  // interrupted) means the disk is not empty: its files would be listed
  // under a number no disk of this set carries.
  for (;;) {
    plat::FindEntry entry;
    plat::FindHandle* h = plat::FindFirst(base + "\\*.id", entry);
    if (!h) break;
    const std::string found = base + "\\" + entry.name;
    bool ours = false;
    do {
      ours = IsOwnMarker(base + "\\" + entry.name);
    } while (!ours && plat::FindNext(h, entry));
    plat::FindClose(h);
    if (ours) return kDone;
    if (ui.PromptRetry(found, msg::kMsgForeignMarker) == kChoiceSkip) {
      ui.StopRun();
      return kNameRefused;
    }
    // Retry: another disk may be in the drive now; its folders first.
    PathParts parts;
    SplitPath(base + "\\", parts);
    if (int r = EnsureFolders(parts.drive, parts.folder)) return r;
  }

  ui.ShowMessage(Format(msg::kMsgDiskNumber, state.Title.c_str(), static_cast<int>(state.DiskId)),
                 msg::kCaptionConfirm, kInformationOk);

  const std::string marker = MarkerPath(base, state.DiskId);
  const std::string number = Format("%d", static_cast<int>(state.DiskId));
  std::FILE* f = Fits(marker, number.size()) ? plat::OpenFile(marker, "wb") : nullptr;
  if (!f) return kDone;  // the copy that follows fails and raises the retry prompt
  bool written = std::fwrite(number.data(), 1, number.size(), f) == number.size();
  if (std::fclose(f) != 0) written = false;
  if (!written || !plat::GetFileId(marker, lastMarker_) ||
      !plat::LastWriteTime(marker, lastMarkerTime_)) {
    // A marker that did not fit counts as not made: the same number is
    // given to the disk that is in the drive at the next attempt.
    plat::RemoveFile(marker);
    return kDone;
  }
  lastMarkerPath_ = marker;
  if (!list.AppendDiskLine(state.DiskId))
    return StopRunWith(msg::kMsgListWriteFailed, kNameRefused);
  ++state.DiskId;
  return kDone;
}

bool FileOps::IsOwnMarker(const std::string& path) {
  // The very file written for the number given out last: a marker of the
  // same number left on another disk by an earlier run is a different file,
  // or at least one written at another time.
  plat::FileId id;
  uint64_t time = 0;
  return state.DiskId > 1 && plat::GetFileId(path, id) && id == lastMarker_ &&
         plat::LastWriteTime(path, time) && time == lastMarkerTime_;
}

int FileOps::WaitForDisk(const std::string& folder) {
  const std::string ask =
      Format(msg::kMsgInsertDisk, state.Title.c_str(), static_cast<int>(state.DiskId));
  if (ui.ShowMessage(ask, msg::kCaptionConfirm, kInformationOkCancel) != kIdOk) {
    ui.StopRun();
    return 0;
  }
  std::string base = folder;
  RemoveTrailingChar(base, '\\');
  const std::string marker = MarkerPath(base, state.DiskId);
  for (;;) {
    if (std::FILE* f = plat::OpenFile(marker, "rb")) {
      std::fclose(f);
      return 1;
    }
    ui.ShowMessage(msg::kMsgNoMarker, msg::kCaptionConfirm, kInformationOk);
    if (ui.ShowMessage(ask, msg::kCaptionConfirm, kInformationOkCancel) != kIdOk) {
      ui.StopRun();
      return 0;
    }
  }
}
