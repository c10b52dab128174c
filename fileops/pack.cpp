// Putting one source file into the disk set.
#include <cstdio>

#include "app/dialogue/resources/messages.h"
#include "codec/encoder.h"
#include "codec/header.h"
#include "codec/pieces.h"
#include "codec/result_code.h"
#include "fileops/coder_hooks.h"
#include "fileops/encode_ahead.h"
#include "fileops/file_ops.h"
#include "fileops/naming.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/format.h"
#include "text/paths.h"

bool CopiedAsIs(const LzsHeader& h, bool carriesSignature, int64_t length, int noSplit) {
  return carriesSignature && (h.piece_count != 0 || noSplit != 0 || length < kWholeFileLimit);
}

FileOps::FileOps(Dialogue& ui, CodecContext& codec, ListLines& list)
    : ui(ui), state(ui.state()), codec(codec), list(list) {}

std::FILE* FileOps::OpenSourceAskingForDisk(const std::string& source) {
  for (;;) {
    if (std::FILE* f = plat::OpenFile(source, "rb")) return f;
    if (ui.ShowMessage(Format(msg::kMsgSourceUnreadable, source.c_str()), msg::kCaptionConfirm,
                       kInformationOkCancel) != kIdOk) {
      ui.StopRun();
      return nullptr;
    }
  }
}

int FileOps::StopRunWith(const std::string& text, int result) {
  ui.ShowMessage(text, msg::kCaptionStop, kStopOk);
  ui.StopRun();
  return result;
}

int FileOps::AppendFileLine(const std::string& writtenPath) {
  // A file line under disk 0 names no disk of the set: it could never be
  // expanded.
  if (state.DiskId <= 1) return StopRunWith(msg::kMsgNoMarker, kNameRefused);
  if (list.AppendFileLine(writtenPath, state.DiskId)) return kDone;
  return StopRunWith(msg::kMsgListWriteFailed, kNameRefused);
}

int FileOps::SkipIfNotNewer(const std::string& sourcePath, const std::string& destinationPath) {
  uint64_t source = 0, destination = 0;
  if (!plat::LastWriteTime(sourcePath, source) ||
      !plat::LastWriteTime(destinationPath, destination))
    return kDone;
  if (source > destination) return kDone;
  ui.Trace(" /d_skip!");
  return kNotNewer;
}

// Copies src to the destination; a failed copy raises the retry prompt, and
// Retry makes the folders and the marker on the disk now in the drive.
int FileOps::CopyWithRetry(const std::string& src, const std::string& destination,
                           const std::string& destinationRoot) {
  for (;;) {
    int64_t bytes = -1;
    if (space) {
      if (std::FILE* f = plat::OpenFile(src, "rb")) {
        bytes = plat::FileLength(f);
        std::fclose(f);
      }
    }
    if ((!space || (bytes >= 0 && space->Take(destination, static_cast<uint64_t>(bytes), false))) &&
        plat::CopyFileReplacing(src, destination))
      break;
    if (ui.PromptRetry(destination, msg::kMsgCopyFailed) == kChoiceSkip) {
      ui.StopRun();
      return kCopyAbandoned;
    }
    PathParts parts;
    SplitPath(destination, parts);
    if (int r = EnsureFolders(parts.drive, parts.folder)) return r;
    if (int r = WriteDiskMarker(destinationRoot)) return r;
  }
  return kDone;
}

namespace {

// The name a file of the work folder comes back under from the disk set:
// "_lzs" is appended to its extension and cut off again at the first
// "_LZS" or "_lzs", and a lone dot goes.
std::string ComeBackName(const std::string& relative) {
  PathParts parts;
  SplitPath(WithLzsSuffix(relative), parts);
  std::string ext = CutLzsSuffix(parts.ext);
  if (ext == ".") ext.clear();
  return MakePath(parts.drive, parts.folder, parts.name, ext);
}

// Names that only differ in the case of their letters are one file where
// the game runs.
std::string Folded(const std::string& name) {
  std::string out = name;
  for (std::size_t i = 0; i < out.size(); i = cp932::Next(out, i))
    if (out[i] >= 'A' && out[i] <= 'Z' && cp932::Next(out, i) == i + 1) out[i] += 'a' - 'A';
  return out;
}

}  // namespace

void FileOps::NoteComeBackName(const std::string& relative) {
  RunWarnings& w = state.Warnings;
  const std::string back = ComeBackName(relative);
  const bool collides = !w.comeBackNames.insert(Folded(back)).second;
  if (back != relative || collides)
    w.namesThatChange.push_back(relative + " -> " + back + (collides ? msg::kMsgCollides : ""));
}

int FileOps::PackFile(const std::string& source, const std::string& destinationRoot,
                      const std::string* relativeName, int noSplit, int forceCopy, int onlyIfNewer,
                      int32_t* sizeOut) {
  int32_t ignored = 0;
  if (!sizeOut) sizeOut = &ignored;
  ui.ResetProgress(0);
  *sizeOut = 0;

  std::FILE* in = OpenSourceAskingForDisk(source);
  if (!in) return kSourceUnreadable;
  const int64_t length = plat::FileLength(in);
  if (length < 0 || length > kLargestStorable) {
    std::fclose(in);
    return StopRunWith(Format(msg::kMsgTooLarge, source.c_str()), kCannotStore);
  }
  codec.originalCount = codec.packedCount = *sizeOut = static_cast<int32_t>(length);
  const bool carriesSignature = ReadHeader(in, codec.header) && HasSignatureNoCase(codec.header);
  std::fclose(in);

  const bool copyAsIs = CopiedAsIs(codec.header, carriesSignature, length, noSplit);
  // The files of the work folder (not the tool and the list) that will not
  // come back as they went in are named at the end of the run.
  const std::string shownName = relativeName ? *relativeName : source;
  std::string destination;
  if (!DestinationName(destinationRoot, relativeName ? *relativeName : std::string(),
                       !copyAsIs && !forceCopy, destination))
    return StopRunWith(msg::kMsgNameTooLong, kNameRefused);

  ui.ShowCurrentFile(destination);
  PathParts parts;
  SplitPath(destination, parts);
  if (int r = EnsureFolders(parts.drive, parts.folder)) return r;
  if (int r = WriteDiskMarker(destinationRoot)) return r;
  if (onlyIfNewer && SkipIfNotNewer(source, destination) == kNotNewer) return kNotNewer;

  // A disk set starts on empty disks: never write over a file already there.
  if (state.OverwriteChoice != kChoiceOverwriteAll) {
    state.OverwriteChoice = kChoiceSkip;
    if (std::FILE* existing = plat::OpenFile(destination, "rb")) {
      std::fclose(existing);
      return StopRunWith(msg::kMsgSameName, kNameRefused);
    }
  }

  in = OpenSourceAskingForDisk(source);
  if (!in) return kSourceUnreadable;
  ui.ResetProgress(static_cast<uint32_t>(codec.originalCount));

  // A work file may change while it is read (a game saved meanwhile, a
  // file cut short): what goes onto the disk must be one version of it.
  // It is read once more after a change; a second change stops the run.
  for (int attempt = 0;; ++attempt) {
    plat::FileStamp before, after;
    const bool stamped = plat::GetFileStamp(source, before);
    if (attempt > 0) {
      in = OpenSourceAskingForDisk(source);
      if (!in) return kSourceUnreadable;
    }
    std::string tempName;
    int r = kDone;
    if (copyAsIs || forceCopy) {
      std::fclose(in);
      ui.Trace(" /!P");
      r = CopyWithRetry(source, destination, destinationRoot);
      if (r != kDone) return r;
    } else {
      r = EncodeToTemp(source, relativeName, noSplit, in, tempName);
      if (r != kDone && r != kSourceEmpty) return r;  // reported
    }
    const bool unchanged =
        stamped && plat::GetFileStamp(source, after) && after == before &&
        (r != kDone || copyAsIs || forceCopy || codec.header.original_size == before.length);
    if (!unchanged) {
      if (!tempName.empty()) plat::RemoveFile(tempName);
      if (attempt == 0) continue;
      return StopRunWith(Format(msg::kMsgChangedWhileRead, source.c_str()), kReadFailed);
    }
    if (copyAsIs || forceCopy) {
      if (!forceCopy) {
        state.Warnings.notExpanded.push_back(shownName);
        ++state.Tally.files;
        state.Tally.bytes += static_cast<uint64_t>(length);
      }
      ui.SetProgress(static_cast<uint32_t>(codec.originalCount));
      ui.PumpOneMessage();
      return kDone;
    }
    if (r == kSourceEmpty) {  // nothing of the file reaches the disk
      state.Warnings.emptyFiles.push_back(shownName);
      return r;
    }
    return PlaceEncoded(tempName, destination, destinationRoot, shownName, noSplit, sizeOut);
  }
}

// Encodes the open source into a new temporary file (tempName), or takes
// its encode ahead. Closes in. Returns 0, 3 (empty: no temporary file), or
// a failure already reported (the temporary file gone).
int FileOps::EncodeToTemp(const std::string& source, const std::string* relativeName, int noSplit,
                          std::FILE* in, std::string& tempName) {
  // Encoded ahead on another thread, from where this encode would start.
  if (ahead && relativeName && noSplit == 0) {
    switch (ahead->Take(source, *relativeName, codec, ui, tempName)) {
      case EncodeAhead::Taken::kYes:
        std::fclose(in);
        ui.SetProgress(static_cast<uint32_t>(codec.originalCount));
        ui.PumpOneMessage();
        return kDone;
      case EncodeAhead::Taken::kAborted:
        std::fclose(in);
        return kAborted;
      case EncodeAhead::Taken::kNo:
        break;
    }
  }

  // The temporary file is made empty: opened without truncating it, since
  // ext4 writes a file truncated to nothing out to the disk when it is
  // closed (its guard for files replaced in place), which cost a wait on
  // the disk for every file.
  tempName = plat::MakeTempFile(plat::TempFolder(), "_lzs");
  std::FILE* out = tempName.empty() ? nullptr : plat::OpenFile(tempName, "r+b");
  if (!out) {
    std::fclose(in);
    if (!tempName.empty()) plat::RemoveFile(tempName);
    tempName.clear();
    return StopRunWith(msg::kMsgTempFailedPack, kTempCreateFailed);
  }

  int r;
  {
    FileSource from(in);
    FileSink to(out);
    DialogueCoderHooks hooks(ui);
    r = EncodeStream(codec, from, to, relativeName ? *relativeName : source, hooks);
  }
  std::fclose(in);
  // Buffered data reaches the disk only at the close: its failure counts.
  if (std::fclose(out) != 0 && r == kDone) r = kWriteFailed;
  if (r == kDone) return r;
  plat::RemoveFile(tempName);
  tempName.clear();
  switch (r) {
    case kWriteFailed:  // the local disk is full
      return StopRunWith(msg::kMsgTempFailedPack, r);
    case kReadFailed:
      return StopRunWith(Format(msg::kMsgReadFailed, source.c_str()), r);
    case kCannotStore:
      return StopRunWith(Format(msg::kMsgTooLarge, source.c_str()), r);
    case kNameRefused:  // the name does not fit the header
      return StopRunWith(msg::kMsgNameTooLong, r);
    default:  // empty, or aborted: nothing of the file reaches the disk
      return r;
  }
}

// The compressed file in tempName onto the disk: cut into pieces, or copied.
int FileOps::PlaceEncoded(const std::string& tempName, const std::string& destination,
                          const std::string& destinationRoot, const std::string& shownName,
                          int noSplit, int32_t* sizeOut) {
  NoteComeBackName(shownName);
  ++state.Tally.files;
  state.Tally.bytes += static_cast<uint64_t>(codec.header.original_size);
  *sizeOut = codec.header.packed_size + kHeaderSize;

  int r;
  if (noSplit == 0 && codec.header.packed_size >= kPieceStreamSize) {
    r = SplitPieces(ui, codec, *this, tempName, destination, destinationRoot);
    plat::RemoveFile(tempName);
    return r;
  }
  r = CopyWithRetry(tempName, destination, destinationRoot);
  if (r == kDone) r = AppendFileLine(destination);
  plat::RemoveFile(tempName);
  return r;
}
