#include "fileops/markers.h"

#include <cstdio>

#include "app/prompts.h"
#include "app/resources/messages.h"
#include "app/state.h"
#include "codec/context.h"
#include "fileops/paths.h"
#include "platform/platform.h"
#include "runs/listfile.h"
#include "text/format.h"

int WriteDiskMarker(const std::string& folder) {
  std::string base = folder;
  RemoveTrailingChar(base, '\\');

  // Any "*.id" file makes the disk count as marked, whatever its number.
  plat::FindEntry entry;
  if (plat::FindHandle* h = plat::FindFirst(base + "\\*.id", entry)) {
    plat::FindClose(h);
    return 0;
  }

  ShowMessage(Format(msg::kMsgDiskNumber, Title.c_str(), static_cast<int>(Codec.DiskId)),
              msg::kCaptionConfirm, 0x40);

  std::string marker = Format("%s\\disk%d.id", base.c_str(), static_cast<int>(Codec.DiskId));
  std::FILE* f = plat::OpenFile(marker, "wb");
  if (!f) return 0;  // the copy that follows fails and raises the retry prompt
  std::string number = Format("%d", static_cast<int>(Codec.DiskId));
  bool written = std::fwrite(number.data(), 1, number.size(), f) == number.size();
  if (std::fclose(f) != 0) written = false;
  if (!written) {
    // A marker that did not fit counts as not made: the same number is
    // given to the disk that is in the drive at the next attempt.
    plat::RemoveFile(marker);
    return 0;
  }
  if (!AppendDiskLine(Codec.DiskId)) return ReportListWriteFailure();
  ++Codec.DiskId;
  return 0;
}

int WaitForDisk(const std::string& folder) {
  std::string ask = Format(msg::kMsgInsertDisk, Title.c_str(), static_cast<int>(Codec.DiskId));
  if (ShowMessage(ask, msg::kCaptionConfirm, 0x41) != 1) {
    StopRun();
    return 0;
  }
  std::string base = folder;
  RemoveTrailingChar(base, '\\');
  std::string marker = Format("%s\\disk%d.id", base.c_str(), static_cast<int>(Codec.DiskId));
  for (;;) {
    if (std::FILE* f = plat::OpenFile(marker, "rb")) {
      std::fclose(f);
      return 1;
    }
    ShowMessage(msg::kMsgNoMarker, msg::kCaptionConfirm, 0x40);
    if (ShowMessage(ask, msg::kCaptionConfirm, 0x41) != 1) {
      StopRun();
      return 0;
    }
  }
}
