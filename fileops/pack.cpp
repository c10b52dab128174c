#include "fileops/pack.h"

#include <cstdio>

#include "app/progress.h"
#include "app/prompts.h"
#include "app/resources/messages.h"
#include "codec/context.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "codec/pieces.h"
#include "fileops/markers.h"
#include "fileops/naming.h"
#include "fileops/paths.h"
#include "fileops/result_code.h"
#include "fileops/source.h"
#include "platform/platform.h"
#include "runs/listfile.h"
#include "text/format.h"

namespace {

// A whole compressed file on a disk set is always shorter than this.
constexpr int64_t kWholeFileLimit = kHeaderSize + kPieceStreamSize;
constexpr int64_t kLargestSource = 0x7FFFFFFF;

// Copies src to the destination; a failed copy raises the retry prompt, and
// Retry makes the folders and the marker on the disk now in the drive.
int CopyWithRetry(const std::string& src, const std::string& destination,
                  const std::string& destinationRoot) {
  while (!plat::CopyFileReplacing(src, destination)) {
    if (PromptRetry(destination, msg::kMsgCopyFailed) == 0) {
      StopRun();
      return kCopyAbandoned;
    }
    PathParts parts;
    SplitPath(destination, parts);
    if (int r = EnsureFolders(parts.drive, parts.folder)) return r;
    if (int r = WriteDiskMarker(destinationRoot)) return r;
  }
  return kDone;
}

void DropTempFile() {
  if (!Codec.tempName.empty()) plat::RemoveFile(Codec.tempName);
  Codec.tempName.clear();
}

}  // namespace

int SkipIfNotNewer(const std::string& sourcePath, const std::string& destinationPath) {
  uint64_t source = 0, destination = 0;
  if (!plat::LastWriteTime(sourcePath, source) ||
      !plat::LastWriteTime(destinationPath, destination))
    return kDone;
  if (source > destination) return kDone;
  Trace(" /d_skip!");
  return kNotNewer;
}

int PackFile(const std::string& source, const std::string& destinationRoot,
             const std::string* relativeName, int noSplit, int forceCopy, int onlyIfNewer,
             int32_t* sizeOut) {
  int32_t ignored = 0;
  if (!sizeOut) sizeOut = &ignored;
  ResetProgress(0);
  *sizeOut = 0;

  std::FILE* in = OpenSourceAskingForDisk(source);
  if (!in) return kSourceUnreadable;
  int64_t length = plat::FileLength(in);
  if (length < 0 || length > kLargestSource) {
    std::fclose(in);
    return StopRunWith(Format(msg::kMsgTooLarge, source.c_str()), kCannotStore);
  }
  Codec.originalCount = Codec.packedCount = *sizeOut = static_cast<int32_t>(length);
  bool carriesSignature = ReadHeader(in, Codec.header) && HasSignatureNoCase(Codec.header);
  std::fclose(in);

  const bool copyAsIs = carriesSignature &&
                        (Codec.header.piece_count != 0 || noSplit != 0 || length < kWholeFileLimit);
  std::string destination;
  if (!DestinationName(destinationRoot, relativeName ? *relativeName : std::string(),
                       !copyAsIs && !forceCopy, destination))
    return StopRunWith(msg::kMsgNameTooLong, kNameRefused);

  ShowCurrentFile(destination);
  PathParts parts;
  SplitPath(destination, parts);
  if (int r = EnsureFolders(parts.drive, parts.folder)) return r;
  if (int r = WriteDiskMarker(destinationRoot)) return r;
  if (onlyIfNewer && SkipIfNotNewer(source, destination) == kNotNewer) return kNotNewer;

  // A disk set starts on empty disks: never write over a file already there.
  if (OverwriteChoice != -1) {
    OverwriteChoice = 0;
    if (std::FILE* existing = plat::OpenFile(destination, "rb")) {
      std::fclose(existing);
      return StopRunWith(msg::kMsgSameName, kNameRefused);
    }
  }

  in = OpenSourceAskingForDisk(source);
  if (!in) return kSourceUnreadable;
  ResetProgress(static_cast<uint32_t>(Codec.originalCount));

  if (copyAsIs || forceCopy) {
    std::fclose(in);
    Trace(" /!P");
    if (int r = CopyWithRetry(source, destination, destinationRoot)) return r;
    SetProgress(static_cast<uint32_t>(Codec.originalCount));
    PumpOneMessage();
    return kDone;
  }

  Codec.tempFolder = plat::TempFolder();
  Codec.tempName = plat::MakeTempFile(Codec.tempFolder, "_lzs");
  std::FILE* out = Codec.tempName.empty() ? nullptr : plat::OpenFile(Codec.tempName, "wb");
  if (!out) {
    std::fclose(in);
    DropTempFile();
    return StopRunWith(msg::kMsgTempFailedPack, kTempCreateFailed);
  }

  int r = EncodeStream(in, out, relativeName ? relativeName->c_str() : nullptr, source);
  switch (r) {
    case kDone:
      break;
    case kWriteFailed:  // the local disk is full
      DropTempFile();
      return StopRunWith(msg::kMsgTempFailedPack, r);
    case kReadFailed:
      DropTempFile();
      return StopRunWith(Format(msg::kMsgReadFailed, source.c_str()), r);
    case kCannotStore:
      DropTempFile();
      return StopRunWith(Format(msg::kMsgTooLarge, source.c_str()), r);
    case kNameRefused:  // the name does not fit the header
      DropTempFile();
      return StopRunWith(msg::kMsgNameTooLong, r);
    default:  // empty source, abort: nothing of the file reaches the disk
      DropTempFile();
      return r;
  }
  *sizeOut = Codec.header.packed_size + kHeaderSize;

  if (noSplit == 0 && Codec.header.packed_size >= kPieceStreamSize) {
    r = SplitPieces(Codec.tempName, destination, destinationRoot);
    DropTempFile();
    return r;
  }
  r = CopyWithRetry(Codec.tempName, destination, destinationRoot);
  if (r == kDone && !AppendFileLine(destination, Codec.DiskId)) r = ReportListWriteFailure();
  DropTempFile();
  return r;
}
